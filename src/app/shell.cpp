// shell.cpp - the window's event handlers.
#include "app/shell.h"

#include <epoxy/gl.h>
#include <GL/glu.h>

#include "show/host.h"
#include "app/music.h"
#include "app/startup.h"
#include "app/timeline.h"

void shellCreate() {
    host.makeMainCurrent();
    loadShow();
}

void shellSize(int width, int height) {
    host.makeMainCurrent();
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    // A zero height (a minimised window) would divide by zero.
    gluPerspective(60.0, static_cast<double>(width) / static_cast<double>(height > 0 ? height : 1), 0.1, 40.0);
    glRotatef(0, 1, 0, 0);
    glTranslatef(0, 0, -0.5f);
    host.releaseContext();
}

void shellKey(int key) {
    if (key == 27) host.postQuit(0);
}

void shellDestroy() {
    shutdownMusic();
    host.postQuit(0);
}
