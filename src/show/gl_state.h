// gl_state.h - the pieces of GL state the drawing decides by, kept as the
// drawing sets them: which faces are culled, the depth test, blending, the
// texture environment and the two matrices. Asking the driver mid-frame
// (glGet*, glIsEnabled) waits, on a threaded driver, for everything queued
// before; so this state is set only through the functions below, which set
// it in GL too, and read back from the record of the context now current.
//
// The show's picture and each offscreen view have a context, and so a
// record, of their own; viewCurrent and mainCurrent switch both at once.
#pragma once

#include <epoxy/gl.h>

#include "show/host.h"

namespace glState {

// Column-major, as GL keeps it.
struct Matrix {
    double m[16];
};

struct Record {
    GLenum frontFace = GL_CCW;
    bool cullFace = false;
    bool depthTest = false;
    bool blend = false;
    bool depthMask = true;
    GLenum depthFunc = GL_LESS;
    GLint textureEnv = GL_MODULATE;
    GLenum matrixMode = GL_MODELVIEW;
    static constexpr int kStack = 8;  // deeper than the show ever pushes
    Matrix projection[kStack];
    Matrix modelview[kStack];
    int projectionTop = 0, modelviewTop = 0;
    Record();
};

// The record of the context now current, read where the drawing decides
// (where names the place, for onRead).
const Record& now(const char* where);
// The projection times the modelview, as GL transforms a vertex.
void clipMatrix(double pm[16]);

// Makes an offscreen view's context current, or the show's own.
void viewCurrent(OffscreenView* view);
void mainCurrent();

// glEnable and glDisable; GL_CULL_FACE, GL_DEPTH_TEST and GL_BLEND are kept.
void enable(GLenum cap);
void disable(GLenum cap);
void frontFace(GLenum mode);
void depthFunc(GLenum func);
void depthMask(bool write);
// The texture environment's mode (GL_REPLACE, GL_DECAL, GL_MODULATE).
void textureEnvMode(GLint mode);

void matrixMode(GLenum mode);
void loadIdentity();
void rotate(float degrees, float x, float y, float z);
void translate(float x, float y, float z);
void scale(float x, float y, float z);
void ortho(double left, double right, double bottom, double top, double nearPlane, double farPlane);
void perspective(double fovy, double aspect, double nearPlane, double farPlane);
void pushMatrix();
void popMatrix();
// glPushAttrib(GL_ALL_ATTRIB_BITS) and glPopAttrib, with the record.
void pushAttributes();
void popAttributes();

// Called, where set, each time the drawing decides by the record: a test
// compares the record with what GL holds there.
extern void (*onRead)(const char* where);

}  // namespace glState
