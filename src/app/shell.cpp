// shell.cpp - the window's event handlers.
#include "app/shell.h"

#include <epoxy/gl.h>

#include "show/gl_state.h"
#include "show/host.h"
#include "app/music.h"
#include "app/show_state.h"
#include "app/startup.h"
#include "app/timeline.h"

void shellCreate() {
    glState::mainCurrent();
    loadShow();
}

void shellStart(void (*loaded)()) {
    shellCreate();
    loaded();
    int w = 0, h = 0;
    host.screenSize(&w, &h);
    shellSize(w, h);
    startPlayer();
}

void shellSize(int width, int height) {
    glState::mainCurrent();
    glViewport(0, 0, width, height);
    glState::matrixMode(GL_PROJECTION);
    glState::loadIdentity();
    // A zero height (a minimised window) would divide by zero.
    glState::perspective(60.0, static_cast<double>(width) / static_cast<double>(height > 0 ? height : 1), 0.1, 40.0);
    glState::rotate(0, 1, 0, 0);
    glState::translate(0, 0, -0.5f);
    host.releaseContext();
}

void shellKey(int key) {
    if (key == 27) host.postQuit(0);
}

void shellDestroy() {
    shutdownMusic();
    host.postQuit(0);
}
