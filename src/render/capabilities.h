// capabilities.h - what the GL the show draws with can do, read once when
// its context opens (before the load), and the way of drawing chosen from
// it: blended passes folded into fragment programs where the context can
// read the pixel under a fragment (GL_EXT_shader_framebuffer_fetch with
// GLSL 1.30), else drawn as separate blended passes.
#pragma once

#include <string>

enum class PassPath { Folded, Separate };

struct GlCapabilities {
    std::string renderer, version, glsl;
    bool software = false;          // a software rasterizer (llvmpipe, softpipe, swrast)
    bool framebufferFetch = false;  // with GLSL 1.30: the folded passes can be built
    float maxLineWidth = 1;         // widest aliased line
    PassPath path = PassPath::Folded;  // folded wherever the programs build, until read
};
extern GlCapabilities glCapabilities;

// Reads the current context into glCapabilities and chooses the path:
// wanted ("folded", "separate", or empty for the best there is). False,
// with why, where the folded path is asked for and cannot be had. Sets the
// drawing's folding choices to match.
bool readGlCapabilities(const std::string& wanted, std::string& why);
// The record as lines "name: value", for --gl-info and the head of --bench.
std::string describeGlCapabilities();

// The width of the show's lines for a picture this tall: as thick against
// the picture as one pixel at 480 lines (render/lines.h draws them so where
// the driver's lines are not that wide).
float lineWidthFor(int pictureHeight);
