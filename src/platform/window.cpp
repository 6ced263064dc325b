// window.cpp - SDL window, main GL context, events, clock and message boxes.
#include <SDL.h>
#include <epoxy/gl.h>

#ifndef _WIN32
#include <dlfcn.h>
#include <link.h>
#include <sys/resource.h>
#endif
#include <time.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <string>

#include "show/host.h"
#include "platform/files.h"
#include "platform/platform.h"
#include "platform/platform_internal.h"

#if defined(__SANITIZE_ADDRESS__)
#define BAUBLES_LEAK_CHECKED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define BAUBLES_LEAK_CHECKED 1
#endif
#endif

PlatformState platform;

namespace {

void messageBox(const char* caption, const char* text) {
    std::fprintf(stderr, "%s: %s\n", caption, text);
    // Only a real display can show a box; with none, stderr is the message.
    if (platform.config.mode != VideoMode::Offscreen)
        SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, caption, text, nullptr);
}

void drawableSize(int* w, int* h) {
    *w = platform.config.width;
    *h = platform.config.height;
    if (platform.window) SDL_GL_GetDrawableSize(platform.window, w, h);
}

bool makeFrame(int w, int h);

// Whether the window and the render size asked for are at most twice the
// largest display's sides: past that nothing more of them can be seen.
bool withinDisplays(std::string& reason) {
    int most_w = 0, most_h = 0;
    for (int i = 0; i < SDL_GetNumVideoDisplays(); ++i) {
        SDL_Rect r{};
        if (SDL_GetDisplayBounds(i, &r) != 0) continue;
        most_w = std::max(most_w, r.w);
        most_h = std::max(most_h, r.h);
    }
    if (most_w <= 0 || most_h <= 0) return true;
    auto size = [](int w, int h) { return std::to_string(w) + "x" + std::to_string(h); };
    const std::string limit = "at most " + size(2 * most_w, 2 * most_h) + ", twice the largest display (" +
                              size(most_w, most_h) + ")";
    const PlatformConfig& c = platform.config;
    if (c.mode == VideoMode::Window && (c.width > 2 * most_w || c.height > 2 * most_h)) {
        reason = "the window of " + size(c.width, c.height) + " is larger than can be shown: " + limit;
        return false;
    }
    if (c.renderWidth > 2 * most_w || c.renderHeight > 2 * most_h) {
        reason = "the render size " + size(c.renderWidth, c.renderHeight) + " is larger than can be shown: " + limit;
        return false;
    }
    return true;
}

// A memory limit can keep the GL driver from loading at all: named then.
std::string memoryLimitNote() {
#ifdef _WIN32
    return "";
#else
    struct rlimit as{};
    if (getrlimit(RLIMIT_AS, &as) != 0 || as.rlim_cur == RLIM_INFINITY) return "";
    return " (the memory limit, ulimit -v, is " + std::to_string(as.rlim_cur >> 20) + " MB)";
#endif
}

// The show draws into its own picture when there is one, else straight into
// the window's 4:3 area.
void makeMainCurrent() {
    if (!platform.window || !platform.context) return;
    SDL_GL_MakeCurrent(platform.window, platform.context);
    if (platform.wantFrame && !platform.frame && platform.loaded &&
        !makeFrame(platform.renderWidth, platform.renderHeight)) {
        platform.wantFrame = platform.followDrawable = false;
    }
    if (platform.frame) {
        glBindFramebuffer(GL_FRAMEBUFFER, platform.frame);
        glViewport(0, 0, platform.renderWidth, platform.renderHeight);
    } else {
        int w = 0, h = 0;
        drawableSize(&w, &h);
        const FrameArea a = frameArea(w, h);
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        glViewport(a.x, a.y, a.width, a.height);
    }
}

// Where the show's picture goes in a w x h window. A whole multiple of the
// render size that fills at least 4/5 of the window's 4:3 area is shown
// with the nearest texel: every pixel of the picture the same square, and
// on software GL half the fill of a filtered scale. Below twice the render
// size, or where a whole multiple would leave wider bars, the picture is
// filtered into the whole 4:3 area.
FrameArea pictureArea(int w, int h, bool* whole) {
    const FrameArea a = frameArea(w, h);
    *whole = false;
    const int rw = platform.renderWidth, rh = platform.renderHeight;
    if (rw <= 0 || rh <= 0) return a;
    const int k = std::min(a.width / rw, a.height / rh);
    const bool exact = k >= 1 && k * rw == a.width && k * rh == a.height;
    if (!exact && (k < 2 || 5 * k * rw < 4 * a.width)) return a;
    *whole = true;
    FrameArea p;
    p.width = k * rw;
    p.height = k * rh;
    p.x = (w - p.width) / 2;
    p.y = (h - p.height) / 2;
    return p;
}

// The show's picture copied into the window by one blit, scaled as
// pictureArea says, between black bars; blitting changes none of the GL
// state the show keeps. The window stays bound, with the picture's area as
// the viewport for anything drawn over it.
void composeFrame() {
    if (!platform.frame) return;
    if (platform.config.mode == VideoMode::Offscreen) {
        // Nothing is seen: the picture is read back where it was drawn.
        glBindFramebuffer(GL_FRAMEBUFFER, platform.frame);
        glViewport(0, 0, platform.renderWidth, platform.renderHeight);
        return;
    }
    int w = 0, h = 0;
    drawableSize(&w, &h);
    bool whole = false;
    const FrameArea a = pictureArea(w, h, &whole);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, platform.frame);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    // The bars stay black once cleared in every buffer of the window.
    if (platform.barFrames > 0) {
        --platform.barFrames;
        // Black, as every frame of the show clears to.
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
    }
    glBlitFramebuffer(0, 0, platform.renderWidth, platform.renderHeight, a.x, a.y, a.x + a.width, a.y + a.height,
                      GL_COLOR_BUFFER_BIT, whole ? GL_NEAREST : GL_LINEAR);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glViewport(a.x, a.y, a.width, a.height);
}

// What composeFrame leaves to read back: the window, or the picture itself
// where no window is seen.
void outputSize(int* w, int* h) {
    if (platform.config.mode == VideoMode::Offscreen && platform.frame) {
        *w = platform.renderWidth;
        *h = platform.renderHeight;
        return;
    }
    drawableSize(w, h);
}

void swapBuffers() {
    if (platform.window) SDL_GL_SwapWindow(platform.window);
}

// The software rasterizer builds the code for a blit the first time it
// blits: built here for both ways of scaling, while the window is still
// hidden, so the first pictures shown do not wait for it.
void buildBlits() {
    int w = 0, h = 0;
    drawableSize(&w, &h);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, platform.frame);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    for (GLenum filter : {GL_NEAREST, GL_LINEAR})
        glBlitFramebuffer(0, 0, platform.renderWidth, platform.renderHeight, 0, 0, w, h, GL_COLOR_BUFFER_BIT, filter);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glFinish();
}

// Makes, or remakes at a new size, the picture the show draws into: an RGBA
// colour (the software rasterizer writes it faster than RGB; nothing reads
// its alpha) and a 24-bit depth (with a stencil where the separate passes
// need one), both renderbuffers,
// so the picture takes none of the texture names the show counts from 1
// and can be made before the load. False if GL refuses it.
bool makeFrame(int w, int h) {
    if (w <= 0 || h <= 0) return false;
    if (!platform.frame) {
        glGenFramebuffers(1, &platform.frame);
        glGenRenderbuffers(1, &platform.frameColour);
        glGenRenderbuffers(1, &platform.frameDepth);
    }
    glBindRenderbuffer(GL_RENDERBUFFER, platform.frameColour);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, w, h);
    glBindRenderbuffer(GL_RENDERBUFFER, platform.frameDepth);
    // The stencil only where it is used: with it the software rasterizer's
    // depth test takes a slower path in every scene.
    glRenderbufferStorage(GL_RENDERBUFFER, platform.frameStencil ? GL_DEPTH24_STENCIL8 : GL_DEPTH_COMPONENT24, w, h);
    glBindRenderbuffer(GL_RENDERBUFFER, 0);
    glBindFramebuffer(GL_FRAMEBUFFER, platform.frame);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, platform.frameColour);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, platform.frameStencil ? GL_DEPTH_STENCIL_ATTACHMENT : GL_DEPTH_ATTACHMENT,
                              GL_RENDERBUFFER, platform.frameDepth);
    const bool complete = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    if (!complete) {
        glDeleteFramebuffers(1, &platform.frame);
        glDeleteRenderbuffers(1, &platform.frameColour);
        glDeleteRenderbuffers(1, &platform.frameDepth);
        platform.frame = platform.frameColour = platform.frameDepth = 0;
        return false;
    }
    platform.renderWidth = w;
    platform.renderHeight = h;
    return true;
}

bool softwareGl() {
    const char* r = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    const std::string renderer = r ? r : "";
    return renderer.find("llvmpipe") != std::string::npos || renderer.find("softpipe") != std::string::npos ||
           renderer.find("swrast") != std::string::npos;
}

// Software GL pays for every pixel: it draws at 640x480 on any screen.
// Hardware GL draws at the window's own 4:3 area, for a sharp picture.
void chooseRenderSize() {
    int w = 0, h = 0;
    drawableSize(&w, &h);
    const FrameArea a = frameArea(w, h);
    int rw = a.width, rh = a.height;
    // With no window to be seen, the show always draws into a picture of
    // its own: both ways of drawing the passes rasterize into the same kind
    // of target (the stencil the separate passes need is only ever one of
    // its own), and on Linux as on Windows, which keeps no pixels of a
    // hidden window.
    const bool ownPicture = platform.config.mode == VideoMode::Offscreen;
    if (platform.config.renderWidth > 0) {
        rw = platform.config.renderWidth;
        rh = platform.config.renderHeight;
    } else if (ownPicture) {
        // the window's 4:3 area
    } else if (softwareGl()) {
        rw = 640;
        rh = 480;
    } else {
        platform.followDrawable = true;
    }
    // Made now, so the load already draws where every frame will: the
    // rasterizer's code for a way of drawing is built for one target. A
    // window whose area is the render size needs no picture of its own.
    platform.wantFrame =
        rw > 0 && rh > 0 && (ownPicture || !(rw == a.width && rh == a.height && !platform.followDrawable));
    platform.barFrames = 3;
    platform.renderWidth = rw;
    platform.renderHeight = rh;
    if (platform.wantFrame && makeFrame(rw, rh)) buildBlits();
}

// The window's size changed: a render size that follows it follows it, and
// a fixed one is scaled from now on if it no longer fits the area exactly.
void windowResized() {
    platform.barFrames = 3;
    if (!platform.followDrawable) {
        int w = 0, h = 0;
        drawableSize(&w, &h);
        const FrameArea a = frameArea(w, h);
        if (!platform.wantFrame && platform.renderWidth > 0 &&
            (a.width != platform.renderWidth || a.height != platform.renderHeight))
            platform.wantFrame = true;
        return;
    }
    if (!platform.frame) {
        int w = 0, h = 0;
        drawableSize(&w, &h);
        const FrameArea a = frameArea(w, h);
        platform.renderWidth = a.width;
        platform.renderHeight = a.height;
        return;
    }
    int w = 0, h = 0;
    drawableSize(&w, &h);
    const FrameArea a = frameArea(w, h);
    if (a.width > 0 && a.height > 0) makeFrame(a.width, a.height);
}

// Full screen at the desktop's mode and a window, in turn. A show started
// full screen leaves it for a window of the asked size (640x480 unless
// --window said otherwise), shrunk to fit the screen's usable area, centred.
void toggleFullscreen() {
    const bool full = (SDL_GetWindowFlags(platform.window) & SDL_WINDOW_FULLSCREEN) != 0;
    if (!full) {
        SDL_SetWindowFullscreen(platform.window, SDL_WINDOW_FULLSCREEN_DESKTOP);
        return;
    }
    SDL_SetWindowFullscreen(platform.window, 0);
    SDL_SetWindowBordered(platform.window, SDL_TRUE);
    int w = 0, h = 0;
    SDL_GetWindowSize(platform.window, &w, &h);
    const int display = SDL_GetWindowDisplayIndex(platform.window);
    SDL_Rect usable{};
    if (SDL_GetDisplayUsableBounds(display < 0 ? 0 : display, &usable) != 0) return;
    if (platform.config.mode == VideoMode::Fullscreen) w = platform.config.width, h = platform.config.height;
    // Room for the window manager's frame around it.
    const int top = 40, side = 8;
    const int maxW = usable.w - 2 * side, maxH = usable.h - top - side;
    if (maxW > 0 && maxH > 0 && (w > maxW || h > maxH)) {
        const double scale = std::min(static_cast<double>(maxW) / w, static_cast<double>(maxH) / h);
        w = static_cast<int>(w * scale), h = static_cast<int>(h * scale);
    }
    SDL_SetWindowSize(platform.window, w, h);
    SDL_SetWindowPosition(platform.window, usable.x + (usable.w - w) / 2, usable.y + top + (usable.h - top - side - h) / 2);
}

// Releasing would cost a context switch per frame for nothing: the main
// context is the only one ever made current between frames.
void releaseContext() {}

void screenSize(int* w, int* h) {
    if (platform.wantFrame) {
        *w = platform.renderWidth;
        *h = platform.renderHeight;
        return;
    }
    drawableSize(w, h);
    const FrameArea a = frameArea(*w, *h);
    *w = a.width;
    *h = a.height;
}

void postQuit(int code) {
    platform.quit = true;
    platform.exitCode = code;
}

// Every landscape frame makes the software GL driver take and give back a
// few megabytes of scratch memory. Handed back to the system each time, it
// returns as fresh pages, each one faulted in and zeroed: that cost more than
// the valley's drawing itself. Freed memory stays in the process instead.
void keepScratchMemory() {
#ifdef __GLIBC__
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
#endif
}

#ifdef BAUBLES_LEAK_CHECKED
// The leak check runs after main returns. The GL driver keeps a few bytes
// until then, and the check can only match them to the driver (and leave
// them out) while the driver is still loaded: so nothing is unloaded.
int keepLoaded(dl_phdr_info* info, size_t, void*) {
    if (info->dlpi_name && info->dlpi_name[0]) dlopen(info->dlpi_name, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
    return 0;
}
void keepLibrariesLoaded() { dl_iterate_phdr(keepLoaded, nullptr); }
#else
void keepLibrariesLoaded() {}
#endif

}  // namespace

FrameArea frameArea(int width, int height) {
    FrameArea a;
    if (width <= 0 || height <= 0) return a;
    if (int64_t{width} * 3 >= int64_t{height} * 4) {
        a.height = height;
        a.width = static_cast<int>(int64_t{height} * 4 / 3);
    } else {
        a.width = width;
        a.height = static_cast<int>(int64_t{width} * 3 / 4);
    }
    a.x = (width - a.width) / 2;
    a.y = (height - a.height) / 2;
    return a;
}

void platformWantStencil() {
    if (platform.frameStencil) return;
    platform.frameStencil = true;
    if (!platform.window || !platform.context) return;
    if (!platform.wantFrame) {
        // The window itself has no stencil: the separate passes draw into a
        // picture of their own, the size of the window's 4:3 area.
        int w = 0, h = 0;
        drawableSize(&w, &h);
        const FrameArea a = frameArea(w, h);
        if (platform.renderWidth <= 0) platform.renderWidth = a.width, platform.renderHeight = a.height;
        platform.wantFrame = true;
    }
    if (makeFrame(platform.renderWidth, platform.renderHeight)) {
        buildBlits();
        makeMainCurrent();
    }
}

void platformShowLoaded() {
    platform.loaded = true;
    makeMainCurrent();
}

bool platformInit(const PlatformConfig& config, std::string& error) {
    keepScratchMemory();
    platform.config = config;
    // The offscreen modes need no display, whatever SDL_VIDEODRIVER says. On
    // Windows SDL's offscreen driver needs an EGL there is not: a window that
    // is never shown does instead.
    if (config.mode == VideoMode::Offscreen) {
#ifdef _WIN32
        SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, "windows", SDL_HINT_OVERRIDE);
#else
        SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, "offscreen", SDL_HINT_OVERRIDE);
#endif
    }
    // Stop signals are ours (platform/signals.h), not SDL's quit event.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    bool up;
    {
        const LibraryChatter quiet("SDL video");
        up = SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS | SDL_INIT_TIMER) == 0;
    }
    if (!up) {
        error = SDL_GetError();
        return false;
    }
    // SDL falls back to its offscreen driver when no display answers; a live
    // show has nothing to show on then.
    const std::string driver = SDL_GetCurrentVideoDriver() ? SDL_GetCurrentVideoDriver() : "";
    if (config.mode != VideoMode::Offscreen && (driver == "offscreen" || driver == "dummy")) {
        error = "no display found";
        SDL_Quit();
        return false;
    }
    host.messageBox = messageBox;
    host.makeMainCurrent = makeMainCurrent;
    host.swapBuffers = swapBuffers;
    host.releaseContext = releaseContext;
    host.screenSize = screenSize;
    host.composeFrame = composeFrame;
    host.outputSize = outputSize;
    host.postQuit = postQuit;
    host.readFile = platformReadFile;
    installViewHost();
    installAudioHost();
    return true;
}

bool platformOpenWindow(std::string& error) {
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 2);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 1);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
    // No stencil: with one, the software rasterizer's depth test takes a
    // slower path in every scene; the separate passes get a picture of
    // their own that has one.
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_SHARE_WITH_CURRENT_CONTEXT, 0);

    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN;
    if (platform.config.mode != VideoMode::Offscreen) flags |= SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI;
    int w = platform.config.width, h = platform.config.height;
    int x = SDL_WINDOWPOS_CENTERED, y = SDL_WINDOWPOS_CENTERED;
    SDL_DisplayMode mode{};
    bool haveMode = false;
    const bool fullscreen = platform.config.mode == VideoMode::Fullscreen;
    if (fullscreen && !platform.config.modeSwitch) {
        // The desktop's own mode: no switch, the picture scaled into it.
        if (SDL_GetDesktopDisplayMode(0, &mode) == 0) {
            w = mode.w;
            h = mode.h;
        }
        x = y = 0;
        flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
    } else if (fullscreen) {
        // The closest mode to 640x480 at 120 Hz; the desktop's mode if refused.
        SDL_DisplayMode want{SDL_PIXELFORMAT_UNKNOWN, 640, 480, 120, nullptr};
        haveMode = SDL_GetClosestDisplayMode(0, &want, &mode) != nullptr;
        if (!haveMode && SDL_GetDesktopDisplayMode(0, &mode) == 0) haveMode = true;
        if (haveMode) {
            w = mode.w;
            h = mode.h;
        }
        x = y = 0;
        flags |= SDL_WINDOW_BORDERLESS;
    }
    // A window or picture far larger than any display is not made at all:
    // it would only fill memory, and every frame, and a stop, would wait on it.
    if (platform.config.mode != VideoMode::Offscreen && !withinDisplays(platform.sizeRefusal)) return true;
    // The window and the context: where the GL loader and driver have their say.
    const LibraryChatter quiet("GL driver");
    platform.window = SDL_CreateWindow("Hello", x, y, w, h, flags);
    if (!platform.window) {
        error = SDL_GetError() + memoryLimitNote();
        return false;
    }
    if (fullscreen && platform.config.modeSwitch) {
        if (!haveMode || SDL_SetWindowDisplayMode(platform.window, &mode) != 0 ||
            SDL_SetWindowFullscreen(platform.window, SDL_WINDOW_FULLSCREEN) != 0)
            SDL_SetWindowFullscreen(platform.window, SDL_WINDOW_FULLSCREEN_DESKTOP);
    }
    platform.context = SDL_GL_CreateContext(platform.window);
    if (!platform.context) {
        SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
        SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
        platform.context = SDL_GL_CreateContext(platform.window);
    }
    if (!platform.context) {
        error = SDL_GetError() + memoryLimitNote();
        SDL_DestroyWindow(platform.window);
        platform.window = nullptr;
        return false;
    }
    SDL_GL_MakeCurrent(platform.window, platform.context);
    if (platform.config.mode != VideoMode::Offscreen)
        SDL_GL_SetSwapInterval(platform.config.vsync ? 1 : 0);
    chooseRenderSize();
    makeMainCurrent();
    return true;
}

bool platformCheckSizes(std::string& reason) {
    if (!platform.sizeRefusal.empty()) {
        reason = platform.sizeRefusal;
        return false;
    }
    if (!platform.context) return true;
    GLint viewport[2] = {0, 0}, renderbuffer = 0;
    glGetIntegerv(GL_MAX_VIEWPORT_DIMS, viewport);
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &renderbuffer);
    auto size = [](int w, int h) { return std::to_string(w) + "x" + std::to_string(h); };
    int w = 0, h = 0;
    drawableSize(&w, &h);
    const char* what = platform.config.mode == VideoMode::Offscreen ? "the picture" : "the window";
    if (viewport[0] > 0 && viewport[1] > 0 && (w > viewport[0] || h > viewport[1])) {
        reason = std::string(what) + " of " + size(w, h) + " is larger than GL draws into here: at most " +
                 size(viewport[0], viewport[1]) + " (GL_MAX_VIEWPORT_DIMS)";
        return false;
    }
    if (platform.wantFrame) {
        const int rw = platform.renderWidth, rh = platform.renderHeight;
        const int most = std::min<int>(renderbuffer > 0 ? renderbuffer : INT32_MAX,
                                       viewport[0] > 0 ? std::min(viewport[0], viewport[1]) : INT32_MAX);
        if (rw > most || rh > most) {
            reason = "the render size " + size(rw, rh) + " is larger than GL draws into here: at most " +
                     size(most, most) + " (GL_MAX_RENDERBUFFER_SIZE)";
            return false;
        }
    }
    return true;
}

void platformShowWindow() {
    if (!platform.window) return;
    if (platform.config.mode != VideoMode::Offscreen) SDL_ShowCursor(SDL_DISABLE);
    SDL_ShowWindow(platform.window);
    SDL_RaiseWindow(platform.window);
}

namespace {
// SDL's key codes as the player knows them.
int showKey(SDL_Keycode k) {
    switch (k) {
        case SDLK_ESCAPE: return kKeyEscape;
        case SDLK_LEFT: return kKeyLeft;
        case SDLK_RIGHT: return kKeyRight;
        case SDLK_UP: return kKeyUp;
        case SDLK_DOWN: return kKeyDown;
        case SDLK_HOME: return kKeyHome;
        default: return k < 0x80 ? static_cast<int>(k) : kKeyOther;
    }
}
}  // namespace

bool platformPollEvent(PlatformEvent& event) {
    SDL_Event e;
    // A still mouse goes out of sight after a second.
    if (platform.cursorShownAt >= 0 && platformSeconds() - platform.cursorShownAt > 1.0) {
        SDL_ShowCursor(SDL_DISABLE);
        platform.cursorShownAt = -1;
    }
    while (SDL_PollEvent(&e)) {
        event = PlatformEvent();
        switch (e.type) {
            case SDL_QUIT:
                event.kind = PlatformEventKind::Quit;
                return true;
            case SDL_MOUSEMOTION:
                if (platform.cursorShownAt < 0) SDL_ShowCursor(SDL_ENABLE);
                platform.cursorShownAt = platformSeconds();
                break;
            case SDL_MOUSEBUTTONDOWN:
                if (e.button.button == SDL_BUTTON_LEFT && e.button.clicks == 2) toggleFullscreen();
                break;
            case SDL_KEYDOWN:
                // The window's own business: the show never sees these keys.
                if (e.key.keysym.sym == SDLK_F11 ||
                    (e.key.keysym.sym == SDLK_f && !(e.key.keysym.mod & (KMOD_CTRL | KMOD_ALT | KMOD_GUI))) ||
                    (e.key.keysym.sym == SDLK_RETURN && (e.key.keysym.mod & KMOD_ALT))) {
                    if (!e.key.repeat) toggleFullscreen();
                    break;
                }
                event.kind = PlatformEventKind::Key;
                event.key = showKey(e.key.keysym.sym);
                event.repeat = e.key.repeat != 0;
                return true;
            case SDL_WINDOWEVENT:
                if (e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
                    windowResized();
                    event.kind = PlatformEventKind::Resize;
                    screenSize(&event.width, &event.height);
                    return true;
                }
                if (e.window.event == SDL_WINDOWEVENT_CLOSE) {
                    event.kind = PlatformEventKind::Close;
                    return true;
                }
                if (e.window.event == SDL_WINDOWEVENT_EXPOSED) {
                    platform.barFrames = 3;  // the bars went with the rest
                    event.kind = PlatformEventKind::Expose;
                    return true;
                }
                if (e.window.event == SDL_WINDOWEVENT_MINIMIZED || e.window.event == SDL_WINDOWEVENT_HIDDEN) {
                    event.kind = PlatformEventKind::Hidden;
                    return true;
                }
                if (e.window.event == SDL_WINDOWEVENT_RESTORED || e.window.event == SDL_WINDOWEVENT_SHOWN ||
                    e.window.event == SDL_WINDOWEVENT_MAXIMIZED) {
                    event.kind = PlatformEventKind::Shown;
                    return true;
                }
                break;
            default:
                break;
        }
    }
    return false;
}

bool platformQuitRequested(int* exitCode) {
    if (platform.quit && exitCode) *exitCode = platform.exitCode;
    return platform.quit;
}

ShowTicks platformTicks() { return static_cast<ShowTicks>(SDL_GetTicks()); }

double platformSeconds() {
    return static_cast<double>(SDL_GetPerformanceCounter()) / static_cast<double>(SDL_GetPerformanceFrequency());
}

double platformCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

void platformSleep(double seconds) {
    if (seconds > 0) SDL_Delay(static_cast<Uint32>(seconds * 1000.0));
}

int platformRefreshRate() {
    SDL_DisplayMode mode;
    if (!platform.window) return 0;
    if (SDL_GetWindowDisplayMode(platform.window, &mode) != 0) return 0;
    return mode.refresh_rate;
}

void platformShutdown() {
    keepLibrariesLoaded();
    shutdownAudio();
    platform.frame = platform.frameColour = platform.frameDepth = 0;  // they go with the context
    if (platform.context) SDL_GL_DeleteContext(platform.context);
    if (platform.window) SDL_DestroyWindow(platform.window);
    platform.context = nullptr;
    platform.window = nullptr;
    SDL_Quit();
}
