// gl_state.cpp - the drawing's GL state, set in GL and kept here.
#include "show/gl_state.h"

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

// The main context's record, and one for each offscreen view it has met.
constexpr int kViews = 8;
Record mainRecord;
struct ViewRecord {
    OffscreenView* view = nullptr;
    Record record;
};
ViewRecord views[kViews];
Record* current = &mainRecord;

Record& recordOf(OffscreenView* view) {
    for (ViewRecord& v : views)
        if (v.view == view) return v.record;
    for (ViewRecord& v : views)
        if (!v.view) {
            v.view = view;
            v.record = Record{};
            return v.record;
        }
    // More views than the show makes: the last one's record is shared.
    return views[kViews - 1].record;
}

Matrix& top() {
    Record& r = *current;
    return r.matrixMode == GL_PROJECTION ? r.projection[r.projectionTop] : r.modelview[r.modelviewTop];
}

bool* flagOf(GLenum cap) {
    switch (cap) {
        case GL_CULL_FACE: return &current->cullFace;
        case GL_DEPTH_TEST: return &current->depthTest;
        case GL_BLEND: return &current->blend;
        default: return nullptr;
    }
}

constexpr int kAttributeStack = 4;
Record attributes[kAttributeStack];
int attributeDepth = 0;

}  // namespace

Record::Record() {
    for (Matrix& a : projection) identity(a);
    for (Matrix& a : modelview) identity(a);
}

const Record& now(const char* where) {
    if (onRead && where) onRead(where);
    return *current;
}

void clipMatrix(double pm[16]) {
    if (onRead) onRead("the clip matrix");
    Matrix p = current->projection[current->projectionTop];
    multiply(p, current->modelview[current->modelviewTop].m);
    for (int i = 0; i < 16; ++i) pm[i] = p.m[i];
}

void viewCurrent(OffscreenView* view) {
    host.makeViewCurrent(view);
    current = &recordOf(view);
}

void mainCurrent() {
    host.makeMainCurrent();
    current = &mainRecord;
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
    current->frontFace = mode;
}

void depthFunc(GLenum func) {
    glDepthFunc(func);
    current->depthFunc = func;
}

void depthMask(bool write) {
    glDepthMask(write ? GL_TRUE : GL_FALSE);
    current->depthMask = write;
}

void textureEnvMode(GLint mode) {
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, mode);
    current->textureEnv = mode;
}

void matrixMode(GLenum mode) {
    glMatrixMode(mode);
    if (mode == GL_PROJECTION || mode == GL_MODELVIEW) current->matrixMode = mode;
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
    Record& r = *current;
    int& depth = r.matrixMode == GL_PROJECTION ? r.projectionTop : r.modelviewTop;
    Matrix* stack = r.matrixMode == GL_PROJECTION ? r.projection : r.modelview;
    if (depth + 1 < Record::kStack) {
        stack[depth + 1] = stack[depth];
        ++depth;
    }
}

void popMatrix() {
    glPopMatrix();
    Record& r = *current;
    int& depth = r.matrixMode == GL_PROJECTION ? r.projectionTop : r.modelviewTop;
    if (depth > 0) --depth;
}

void pushAttributes() {
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    if (attributeDepth < kAttributeStack) attributes[attributeDepth] = *current;
    ++attributeDepth;
}

void popAttributes() {
    glPopAttrib();
    if (attributeDepth == 0) return;
    --attributeDepth;
    if (attributeDepth >= kAttributeStack) return;
    // The attributes come back; the matrices are no attribute.
    const Record& saved = attributes[attributeDepth];
    Record& r = *current;
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
