// fused_passes.cpp - the programs that fold blended passes into one.
#include "render/fused_passes.h"

namespace {

// Bytes as the frame buffer holds them: clamped, scaled and rounded to the
// nearest even, as a colour is stored; a product of two bytes worked as the
// blending works it, (t + (t >> 8) + 128) >> 8 (the nearest byte but for a
// few products, one below); a sum held at 255, as blending adds. Every step
// is an integer below 2^24, exact in a float. Where the blending read the
// pixel under the fragment, the program reads it too.
const char* const kByteArithmetic = R"(#version 130
#extension GL_EXT_shader_framebuffer_fetch : require
uniform sampler2D picture, second;
vec4 bytes(vec4 x) { return roundEven(clamp(x, 0.0, 1.0) * 255.0); }
vec4 times(vec4 a, vec4 b) {
    vec4 t = a * b;
    return floor((t + floor(t / 256.0) + 128.0) / 256.0);
}
vec4 timesColourPlusColour(vec4 under) {
    vec4 colour = bytes(gl_Color);
    return min(times(bytes(under), colour) + colour, 255.0) / 255.0;
}
// A decal of a picture without alpha shows the picture, over the colour's alpha.
vec4 decal(sampler2D picture) { return vec4(texture2DProj(picture, gl_TexCoord[0]).rgb, gl_Color.a); }
vec4 plusDecal(vec4 sum, sampler2D picture) { return min(sum + bytes(decal(picture)), 255.0); }
)";

// Each program's output (read too where the blending read the pixel) and
// its sum; the pictures are on units 0 and 1.
const char* const kBodies[kFusedPassPrograms] = {
    "inout vec4 pixel; void main() { pixel = timesColourPlusColour(texture2DProj(picture, gl_TexCoord[0])); }",
    "inout vec4 pixel; void main() { pixel = timesColourPlusColour(pixel); }",
    "out vec4 pixel; void main() { pixel = plusDecal(bytes(gl_Color), picture) / 255.0; }",
    "out vec4 pixel; void main() { pixel = plusDecal(plusDecal(bytes(gl_Color), picture), second) / 255.0; }",
    "inout vec4 pixel; void main() { pixel = plusDecal(bytes(pixel), picture) / 255.0; }",
    "inout vec4 pixel; void main() { pixel = plusDecal(plusDecal(bytes(pixel), picture), second) / 255.0; }",
    "out vec4 pixel; void main() { pixel = times(bytes(gl_Color), bytes(decal(picture))) / 255.0; }",
};

// Each program once built, or tried and found impossible.
struct FusedPassState {
    GLuint programs[kFusedPassPrograms] = {};
    bool tried[kFusedPassPrograms] = {};
};
FusedPassState fused;

GLuint build(const char* body) {
    if (epoxy_gl_version() < 30 || !epoxy_has_gl_extension("GL_EXT_shader_framebuffer_fetch")) return 0;
    const GLuint shader = glCreateShader(GL_FRAGMENT_SHADER);
    const char* sources[2] = {kByteArithmetic, body};
    glShaderSource(shader, 2, sources, nullptr);
    glCompileShader(shader);
    GLint ok = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        glDeleteShader(shader);
        return 0;
    }
    const GLuint program = glCreateProgram();
    glAttachShader(program, shader);
    glLinkProgram(program);
    glDeleteShader(shader);  // freed with the program
    glGetProgramiv(program, GL_LINK_STATUS, &ok);
    if (!ok) {
        glDeleteProgram(program);
        return 0;
    }
    glUseProgram(program);
    const GLint picture = glGetUniformLocation(program, "picture");
    if (picture >= 0) glUniform1i(picture, 0);  // texture unit 0
    const GLint second = glGetUniformLocation(program, "second");
    if (second >= 0) glUniform1i(second, 1);
    glUseProgram(0);  // the show draws with no program outside the folded passes
    return program;
}

}  // namespace

GLuint fusedPassProgram(FusedPasses which) {
    const int k = static_cast<int>(which);
    if (!fused.tried[k]) {
        fused.tried[k] = true;
        fused.programs[k] = build(kBodies[k]);
    }
    return fused.programs[k];
}

void buildFusedPassPrograms() {
    for (int k = 0; k < kFusedPassPrograms; ++k) fusedPassProgram(static_cast<FusedPasses>(k));
}
