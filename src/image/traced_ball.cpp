// traced_ball.cpp - the intro's ray-traced bouncing ball. All of the tracing
// is single-precision: every intermediate value is a float, so the picture is
// the same wherever the show runs (on x86-64 float arithmetic is SSE, with no
// wider intermediates and no fused multiply-adds unless asked for).
#include "image/traced_ball.h"

#include <cfloat>
#include <cmath>

#include "show/gl_state.h"
#include "image/texture.h"

#if defined(FLT_EVAL_METHOD) && FLT_EVAL_METHOD != 0
#error "the traced ball needs float arithmetic without wider intermediates (use SSE maths)"
#endif

TracedBallState tracedBall;
TracedBallState tracedBallShown;

namespace {

constexpr float kBallRadius = 30.0f;
constexpr float kBallDrag = 0.015f;
constexpr float kBallStep = 0.1f;
constexpr float kBallGravity = -9.8f;
constexpr int kFloorHeight = 0;
constexpr int kCeiling = 375;
constexpr int kLeftWall = -300;
constexpr int kRightWall = 300;
constexpr int kBallDepth = 80;
constexpr int kEyeX = 50, kEyeY = 56, kEyeZ = -256;
constexpr float kLightX = 50.0f, kLightY = 120.0f, kLightZ = -90.0f;
constexpr float kShadowShade = 0.1f;

// A float vector whose dot product adds x, y and z in that order.
struct V {
    float x, y, z;
};
inline V sub(V a, V b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline float dot(V a, V b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
// The point a + t * d.
inline V along(V a, float t, V d) { return {a.x + t * d.x, a.y + t * d.y, a.z + t * d.z}; }

// Truncates a non-negative shade to a byte.
inline uint8_t toByte(float v) { return v >= 255.0f ? 255 : static_cast<uint8_t>(v); }

// Writes the teal of brightness k (k > 0) into px.
inline void teal(uint8_t* px, float k) {
    px[0] = toByte(51.0f * k);
    px[1] = toByte(102.0f * k);
    px[2] = toByte(102.0f * k);
}

// Writes the floor's teal, k scaled by the shade s, into px.
inline void shadedTeal(uint8_t* px, float s, float k) {
    px[0] = toByte(51.0f * s * k);
    px[1] = toByte(102.0f * s * k);
    px[2] = toByte(102.0f * s * k);
}

// Keeps a coordinate between two walls, turning its velocity round at a wall.
void bounce(float& pos, float& vel, float low, float high) {
    if (low > pos) {
        pos = low;
        vel = -vel;
    }
    if (high < pos) {
        pos = high;
        vel = -vel;
    }
}

// One traced frame lives here: the show traces every intro frame, so the
// buffer is kept rather than allocated and freed each time.
uint8_t framePicture[kBallPictureBytes];

}  // namespace

// Puts the ball back where it is at program start.
void resetTracedBall() {
    tracedBall = TracedBallState{};
    tracedBallShown = TracedBallState{};
}

// Advances the ball by one step.
void advanceBall(TracedBallState& s) {
    s.ballVelY = s.ballVelY + (kBallGravity - kBallDrag * s.ballVelY) * kBallStep;
    s.ballY = s.ballY + s.ballVelY * kBallStep;
    bounce(s.ballY, s.ballVelY, kFloorHeight + kBallRadius, kCeiling - kBallRadius);

    s.ballVelX = s.ballVelX - kBallDrag * s.ballVelX * kBallStep;
    s.ballX = s.ballX + s.ballVelX * kBallStep;
    bounce(s.ballX, s.ballVelX, kLeftWall + kBallRadius, kRightWall - kBallRadius);
}

// Traces the scene with the ball at the state's truncated position.
void traceBallPicture(const TracedBallState& state, uint8_t* rgb) {
    const int cx = static_cast<int>(state.ballX);
    const int cy = static_cast<int>(state.ballY);
    const int cz = kBallDepth;
    const int r2 = static_cast<int>(kBallRadius * kBallRadius);

    // Eye-to-centre in whole units; with it the ray-independent terms.
    const int ecx = kEyeX - cx, ecy = kEyeY - cy, ecz = kEyeZ - cz;
    const V eye = {float(kEyeX), float(kEyeY), float(kEyeZ)};
    const V centre = {float(cx), float(cy), float(cz)};
    const V eyeToCentre = {float(ecx), float(ecy), float(ecz)};
    const float cq = float(ecx * ecx + ecy * ecy + ecz * ecz - r2);
    const float radiusSq = float(r2);
    const V light = {kLightX, kLightY, kLightZ};

    uint8_t* px = rgb;
    for (int j = 0; j < kBallPictureSide; ++j) {
        for (int i = 0; i < kBallPictureSide; ++i, px += 3) {
            const V d = {float(i - 128), float(j - 184), 256.0f};
            const float a = dot(d, d);
            const float b = dot(d, eyeToCentre);
            const float disc = b * b - cq * a;
            const bool sphereHit = disc > 0.0f;
            const bool floorHit = d.y < 0.0f;
            float tSphere = 0.0f, tFloor = 0.0f;
            if (sphereHit) tSphere = (-b - std::sqrt(disc)) / a;
            if (floorHit) tFloor = -56.0f / d.y;

            if (sphereHit && (!floorHit || tSphere < tFloor)) {
                const V hit = along(eye, tSphere, d);
                const V l = sub(light, hit);
                const V n = sub(hit, centre);
                const float k = dot(l, n) / (std::sqrt(dot(l, l)) * kBallRadius);
                if (k > 0.0f) {
                    teal(px, k);
                    continue;
                }
            } else if (floorHit) {
                const V f = along(eye, tFloor, d);
                const V l = sub(light, f);
                const V fc = sub(f, centre);
                const float lfc = dot(l, fc);
                const float ll = dot(l, l);
                // The light's line is taken as infinite: a ball behind the
                // floor point shades it too.
                const float shadow = lfc * lfc - (dot(fc, fc) - radiusSq) * ll;
                const float s = shadow > 0.0f ? kShadowShade : 1.0f;
                const float k = l.y / std::sqrt(ll);
                if (k > 0.0f) {
                    shadedTeal(px, s, k);
                    continue;
                }
            }
            px[0] = px[1] = px[2] = 0;
        }
    }
}

// Traces the ball where it stands, then advances it.
const uint8_t* traceNextBallFrame() {
    traceBallPicture(tracedBall, framePicture);
    advanceBall(tracedBall);
    return framePicture;
}

void advanceTracedBall() {
    tracedBallShown = tracedBall;
    advanceBall(tracedBall);
}

namespace {

void uploadBallPicture(GLuint name, const uint8_t* picture) {
    glBindTexture(GL_TEXTURE_2D, name);
    glState::textureEnvMode(GL_REPLACE);
    setTextureWrap(GL_REPEAT);
    // Rows of 768 bytes are 4-aligned, so the default unpack alignment fits.
    glTexImage2D(GL_TEXTURE_2D, 0, 3, kBallPictureSide, kBallPictureSide, 0, GL_RGB, GL_UNSIGNED_BYTE,
                 picture);
    setTextureFilter(GL_LINEAR);
}

}  // namespace

// Traces the ball of this frame and draws it as the square in the middle of the screen.
void drawBallSquare(GLuint name) {
    traceBallPicture(tracedBallShown, framePicture);
    uploadBallPicture(name, framePicture);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, name);
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0);
    glVertex2f(-230, -230);
    glTexCoord2f(0, 1);
    glVertex2f(-230, 230);
    glTexCoord2f(1, 1);
    glVertex2f(230, 230);
    glTexCoord2f(1, 0);
    glVertex2f(230, -230);
    glEnd();
    glDisable(GL_TEXTURE_2D);
}
