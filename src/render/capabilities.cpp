// capabilities.cpp - the GL's abilities and the path chosen, read once.
#include "render/capabilities.h"

#include <epoxy/gl.h>

#include <algorithm>
#include <cstdio>

#include "render/shortcuts.h"

GlCapabilities glCapabilities;

namespace {

std::string glString(GLenum name) {
    const GLubyte* s = glGetString(name);
    return s ? reinterpret_cast<const char*>(s) : "";
}

}  // namespace

bool readGlCapabilities(const std::string& wanted, std::string& why) {
    GlCapabilities& c = glCapabilities;
    c = GlCapabilities{};
    c.renderer = glString(GL_RENDERER);
    c.version = glString(GL_VERSION);
    c.glsl = epoxy_gl_version() >= 20 ? glString(GL_SHADING_LANGUAGE_VERSION) : "";
    for (const char* soft : {"llvmpipe", "softpipe", "swrast", "Software"})
        if (c.renderer.find(soft) != std::string::npos) c.software = true;
    c.framebufferFetch =
        epoxy_gl_version() >= 30 && epoxy_has_gl_extension("GL_EXT_shader_framebuffer_fetch");
    GLfloat range[2] = {1, 1};
    glGetFloatv(GL_ALIASED_LINE_WIDTH_RANGE, range);
    c.maxLineWidth = std::max(1.0f, range[1]);

    if (wanted == "folded" && !c.framebufferFetch) {
        why = "--passes folded needs GL 3.0 and GL_EXT_shader_framebuffer_fetch, which " +
              (c.renderer.empty() ? std::string("this GL") : c.renderer) + " does not have";
        return false;
    }
    c.path = wanted == "separate" || !c.framebufferFetch ? PassPath::Separate : PassPath::Folded;
    const bool fold = c.path == PassPath::Folded;
    drawingChoices.foldBaublePasses = drawingChoices.foldSheetPasses = drawingChoices.foldTerrainPasses = fold;
    return true;
}

std::string describeGlCapabilities() {
    const GlCapabilities& c = glCapabilities;
    char width[32];
    std::snprintf(width, sizeof width, "%g", c.maxLineWidth);
    return "renderer: " + c.renderer + (c.software ? " (software)" : "") + "\n" + "gl: " + c.version + "\n" +
           "glsl: " + (c.glsl.empty() ? "none" : c.glsl) + "\n" +
           "framebuffer fetch: " + (c.framebufferFetch ? "yes" : "no") + "\n" + "widest line: " + width + "\n" +
           "passes: " + (c.path == PassPath::Folded ? "folded" : "separate") + "\n";
}

float lineWidthFor(int pictureHeight) { return std::max(1.0f, static_cast<float>(pictureHeight) / 480.0f); }
