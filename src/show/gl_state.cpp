// gl_state.cpp - the drawing's GL state, set in GL and kept here.
#include "show/gl_state.h"

#ifdef _WIN32
#include <windows.h>  // Windows' GL/glu.h needs its calling conventions
#endif
#include <GL/glu.h>

#include <cmath>

namespace glState {

void (*onRead)(const char* where) = nullptr;

namespace {

void identity(Matrix& a) {
    for (int i = 0; i < 16; ++i) a.m[i] = (i % 5 == 0) ? 1.0 : 0.0;
}

// a = a * b, as glMultMatrix does.
void multiply(Matrix& a, const double b[16]) {
    double r[16];
    for (int c = 0; c < 4; ++c)
        for (int row = 0; row < 4; ++row) {
            double sum = 0;
            for (int k = 0; k < 4; ++k) sum += a.m[k * 4 + row] * b[c * 4 + k];
            r[c * 4 + row] = sum;
        }
    for (int i = 0; i < 16; ++i) a.m[i] = r[i];
}

constexpr int kViews = 8;
constexpr int kAttributeStack = 4;
struct ViewRecord {
    OffscreenView* view = nullptr;
    Record record;
};
// The main context's record, one for each offscreen view met so far, which
// of them is current, and the attributes pushed.
struct Contexts {
    Record main;
    ViewRecord views[kViews];
    Record* current = &main;
    Record attributes[kAttributeStack];
    int attributeDepth = 0;
};
Contexts contexts;

Record& recordOf(OffscreenView* view) {
    for (ViewRecord& v : contexts.views)
        if (v.view == view) return v.record;
    for (ViewRecord& v : contexts.views)
        if (!v.view) {
            v.view = view;
            v.record = Record{};
            return v.record;
        }
    // More views than the show makes: the last one's record is shared.
    return contexts.views[kViews - 1].record;
}

Matrix& top() {
    Record& r = *contexts.current;
    return r.matrixMode == GL_PROJECTION ? r.projection[r.projectionTop] : r.modelview[r.modelviewTop];
}

bool* flagOf(GLenum cap) {
    switch (cap) {
        case GL_CULL_FACE: return &contexts.current->cullFace;
        case GL_DEPTH_TEST: return &contexts.current->depthTest;
        case GL_BLEND: return &contexts.current->blend;
        default: return nullptr;
    }
}

}  // namespace

Record::Record() {
    for (Matrix& a : projection) identity(a);
    for (Matrix& a : modelview) identity(a);
}

const Record& now(const char* where) {
    if (onRead && where) onRead(where);
    return *contexts.current;
}

void clipMatrix(double pm[16]) {
    if (onRead) onRead("the clip matrix");
    Matrix p = contexts.current->projection[contexts.current->projectionTop];
    multiply(p, contexts.current->modelview[contexts.current->modelviewTop].m);
    for (int i = 0; i < 16; ++i) pm[i] = p.m[i];
}

void viewCurrent(OffscreenView* view) {
    host.makeViewCurrent(view);
    contexts.current = &recordOf(view);
}

void mainCurrent() {
    host.makeMainCurrent();
    contexts.current = &contexts.main;
}

void enable(GLenum cap) {
    glEnable(cap);
    if (bool* f = flagOf(cap)) *f = true;
}

void disable(GLenum cap) {
    glDisable(cap);
    if (bool* f = flagOf(cap)) *f = false;
}

void frontFace(GLenum mode) {
    glFrontFace(mode);
    contexts.current->frontFace = mode;
}

void depthFunc(GLenum func) {
    glDepthFunc(func);
    contexts.current->depthFunc = func;
}

void depthMask(bool write) {
    glDepthMask(write ? GL_TRUE : GL_FALSE);
    contexts.current->depthMask = write;
}

void textureEnvMode(GLint mode) {
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, mode);
    contexts.current->textureEnv = mode;
}

void matrixMode(GLenum mode) {
    glMatrixMode(mode);
    if (mode == GL_PROJECTION || mode == GL_MODELVIEW) contexts.current->matrixMode = mode;
}

void loadIdentity() {
    glLoadIdentity();
    identity(top());
}

void rotate(float degrees, float x, float y, float z) {
    glRotatef(degrees, x, y, z);
    const double len = std::sqrt(double(x) * x + double(y) * y + double(z) * z);
    if (len == 0.0) return;
    const double ux = x / len, uy = y / len, uz = z / len;
    const double a = double(degrees) * M_PI / 180.0, c = std::cos(a), s = std::sin(a), k = 1.0 - c;
    const double r[16] = {ux * ux * k + c,      uy * ux * k + uz * s, ux * uz * k - uy * s, 0,
                          ux * uy * k - uz * s, uy * uy * k + c,      uy * uz * k + ux * s, 0,
                          ux * uz * k + uy * s, uy * uz * k - ux * s, uz * uz * k + c,      0,
                          0,                    0,                    0,                    1};
    multiply(top(), r);
}

void translate(float x, float y, float z) {
    glTranslatef(x, y, z);
    const double t[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, x, y, z, 1};
    multiply(top(), t);
}

void scale(float x, float y, float z) {
    glScalef(x, y, z);
    const double t[16] = {x, 0, 0, 0, 0, y, 0, 0, 0, 0, z, 0, 0, 0, 0, 1};
    multiply(top(), t);
}

void ortho(double left, double right, double bottom, double top_, double nearPlane, double farPlane) {
    glOrtho(left, right, bottom, top_, nearPlane, farPlane);
    const double w = right - left, h = top_ - bottom, d = farPlane - nearPlane;
    if (w == 0 || h == 0 || d == 0) return;  // GL refuses it too
    const double t[16] = {2 / w, 0, 0, 0, 0, 2 / h, 0, 0, 0, 0, -2 / d, 0,
                          -(right + left) / w, -(top_ + bottom) / h, -(farPlane + nearPlane) / d, 1};
    multiply(top(), t);
}

// GLU's own, and the matrix as GLU builds it: none where the frustum would
// be degenerate.
void perspective(double fovy, double aspect, double nearPlane, double farPlane) {
    gluPerspective(fovy, aspect, nearPlane, farPlane);
    const double radians = fovy / 2 * M_PI / 180;
    const double deltaZ = farPlane - nearPlane;
    const double sine = std::sin(radians);
    if (deltaZ == 0 || sine == 0 || aspect == 0) return;
    const double cotangent = std::cos(radians) / sine;
    const double t[16] = {cotangent / aspect, 0, 0, 0, 0, cotangent, 0, 0, 0, 0, -(farPlane + nearPlane) / deltaZ, -1,
                          0, 0, -2 * nearPlane * farPlane / deltaZ, 0};
    multiply(top(), t);
}

void pushMatrix() {
    glPushMatrix();
    Record& r = *contexts.current;
    int& depth = r.matrixMode == GL_PROJECTION ? r.projectionTop : r.modelviewTop;
    Matrix* stack = r.matrixMode == GL_PROJECTION ? r.projection : r.modelview;
    if (depth + 1 < Record::kStack) {
        stack[depth + 1] = stack[depth];
        ++depth;
    }
}

void popMatrix() {
    glPopMatrix();
    Record& r = *contexts.current;
    int& depth = r.matrixMode == GL_PROJECTION ? r.projectionTop : r.modelviewTop;
    if (depth > 0) --depth;
}

void pushAttributes() {
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    if (contexts.attributeDepth < kAttributeStack) contexts.attributes[contexts.attributeDepth] = *contexts.current;
    ++contexts.attributeDepth;
}

void popAttributes() {
    glPopAttrib();
    if (contexts.attributeDepth == 0) return;
    --contexts.attributeDepth;
    if (contexts.attributeDepth >= kAttributeStack) return;
    // The attributes come back; the matrices are no attribute.
    const Record& saved = contexts.attributes[contexts.attributeDepth];
    Record& r = *contexts.current;
    r.frontFace = saved.frontFace;
    r.cullFace = saved.cullFace;
    r.depthTest = saved.depthTest;
    r.blend = saved.blend;
    r.depthMask = saved.depthMask;
    r.depthFunc = saved.depthFunc;
    r.textureEnv = saved.textureEnv;
    r.matrixMode = saved.matrixMode;
}

}  // namespace glState
