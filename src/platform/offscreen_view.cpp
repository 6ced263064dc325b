// offscreen_view.cpp - a square GL target with a context of its own.
// Each view gets its own (unshared) context on the show's window, drawing
// into a framebuffer object: so its texture names, display lists and texture
// environment are its own, and its first texture name is 1 again.
#include <SDL.h>
#include <epoxy/gl.h>

#include "show/host.h"
#include "platform/platform_internal.h"

struct OffscreenView {
    SDL_GLContext context = nullptr;
    GLuint framebuffer = 0;
    GLuint colour = 0;
    GLuint depth = 0;
    int size = 0;
};

namespace {

void makeViewCurrent(OffscreenView* view) {
    if (!view || !platform.window) return;
    SDL_GL_MakeCurrent(platform.window, view->context);
    glBindFramebuffer(GL_FRAMEBUFFER, view->framebuffer);
}

OffscreenView* createView(int size) {
    if (!platform.window || size <= 0) return nullptr;
    SDL_GLContext previous = SDL_GL_GetCurrentContext();
    SDL_GL_SetAttribute(SDL_GL_SHARE_WITH_CURRENT_CONTEXT, 0);
    SDL_GLContext context = SDL_GL_CreateContext(platform.window);
    if (!context) {
        if (previous) SDL_GL_MakeCurrent(platform.window, previous);
        return nullptr;
    }
    auto* view = new OffscreenView;  // views live as long as the show
    view->context = context;
    view->size = size;
    SDL_GL_MakeCurrent(platform.window, context);
    glGenRenderbuffers(1, &view->colour);
    glBindRenderbuffer(GL_RENDERBUFFER, view->colour);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, size, size);
    glGenRenderbuffers(1, &view->depth);
    glBindRenderbuffer(GL_RENDERBUFFER, view->depth);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT16, size, size);
    glGenFramebuffers(1, &view->framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, view->framebuffer);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, view->colour);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, view->depth);
    glDrawBuffer(GL_COLOR_ATTACHMENT0);
    glReadBuffer(GL_COLOR_ATTACHMENT0);
    glViewport(0, 0, size, size);
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE)
        SDL_Log("offscreen view of %d: framebuffer incomplete", size);
    return view;
}

}  // namespace

void installViewHost() {
    host.createView = createView;
    host.makeViewCurrent = makeViewCurrent;
}
