// traced_ball.h - the intro's little ray-traced animation: a lit teal ball
// bouncing over a floor and casting a shadow, traced on the CPU into a
// 256 x 256 picture each intro frame and shown as a square in the middle of
// the screen. The ball moves by a tiny physics step of its own, one step per
// traced frame, so its speed follows the frame rate, not the clock.
#pragma once

#include <epoxy/gl.h>

#include <cstdint>

// Side of the traced picture in pixels.
constexpr int kBallPictureSide = 256;
// Bytes of one traced picture: RGB, rows bottom first, no padding.
constexpr int kBallPictureBytes = kBallPictureSide * kBallPictureSide * 3;

// The ball's motion; values at program start.
struct TracedBallState {
    float ballY = 0.0f;       // height of the ball centre
    float ballVelY = -40.0f;  // vertical velocity
    float ballX = 0.0f;       // horizontal position of the ball centre
    float ballVelX = 17.0f;   // horizontal velocity
};
extern TracedBallState tracedBall;
template <class Visit>
void forEachField(const TracedBallState& b, Visit&& visit) {
    visit(b.ballY);
    visit(b.ballVelY);
    visit(b.ballX);
    visit(b.ballVelX);
}
// The ball as the frame being drawn shows it: where it stood before the
// frame's step.
extern TracedBallState tracedBallShown;

// Puts the ball back where it is at program start (for tests).
void resetTracedBall();

// Advances the ball by one step: gravity and drag, bounces off the floor,
// the ceiling and the two side walls.
void advanceBall(TracedBallState& state);

// Traces the scene with the ball centre at the state's position truncated to
// whole units, into rgb (kBallPictureBytes, bottom row first).
void traceBallPicture(const TracedBallState& state, uint8_t* rgb);

// One intro frame on the CPU: traces the ball where it stands, then advances
// it. Returns the picture, which stays valid until the next call.
const uint8_t* traceNextBallFrame();

// One intro frame's state: remember the ball for the picture, then step it.
void advanceTracedBall();

// Traces the ball as this frame shows it, uploads it into texture name and
// draws it as the 460-unit square in the middle of the 640 x 480 screen space.
void drawBallSquare(GLuint name);
