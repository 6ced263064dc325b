// schedule.h - when everything in the show happens: the scene windows, the
// camera windows, the scripted moments inside them and the show's end, in
// milliseconds since the end of the start-up load. The timeline plays it,
// and the music is composed from it, so a scene that moves here moves in
// the picture and in the track alike.
//
// Windows are half-open [from, to). The finale's camera windows count from
// the time the closing pictures set as the finale's start.
#pragma once

#include <cstdint>

// The scene windows of the second pass, in show order.
enum class SceneWindow {
    Intro, Landscape, DrivenStrings, HangingBauble, SingleBauble1, SingleBauble2, Pictures, Finale
};

struct SceneRow {
    SceneWindow window;
    const char* name;
    uint32_t from, to;
};
inline constexpr SceneRow kSceneRows[] = {
    {SceneWindow::Intro, "intro", 0, 25000},
    {SceneWindow::Landscape, "landscape", 25000, 70000},
    {SceneWindow::DrivenStrings, "driven-strings", 70000, 97740},
    {SceneWindow::HangingBauble, "hanging-bauble", 97740, 120000},
    {SceneWindow::SingleBauble1, "single-bauble-1", 120000, 150000},
    {SceneWindow::SingleBauble2, "single-bauble-2", 150000, 200000},
    {SceneWindow::Pictures, "pictures", 200000, 220000},
    {SceneWindow::Finale, "finale", 220000, 300000},
};
inline constexpr int kSceneCount = sizeof(kSceneRows) / sizeof(kSceneRows[0]);

constexpr uint32_t sceneFrom(SceneWindow w) { return kSceneRows[static_cast<int>(w)].from; }
constexpr uint32_t sceneTo(SceneWindow w) { return kSceneRows[static_cast<int>(w)].to; }

// The show's length: its last frame is the first one past it.
inline constexpr uint32_t kShowLengthMs = sceneTo(SceneWindow::Finale);

// The camera windows of the first pass, in table order: ten up to the
// finale, then the finale's twenty-five.
enum class CameraWindow {
    Intro, Land1, Land2, Land3, Land4, Orbit1, Orbit2, Orbit3, Orbit4, Pictures,
    F1, F2, F3, F4, F5, F6, F7, F8, F9, F10, F11, F12, F13, F14, F15, F16, F17,
    F18, F19, F20, F21, F22, F23, F24, F25, None
};

// Where each camera window before the finale ends; the valley cuts its
// flight into four shots, the body scenes each orbit once.
inline constexpr uint32_t kCameraEnds[] = {
    sceneTo(SceneWindow::Intro),         36000, 48000, 56000, sceneTo(SceneWindow::Landscape),
    sceneTo(SceneWindow::DrivenStrings), sceneTo(SceneWindow::HangingBauble),
    sceneTo(SceneWindow::SingleBauble1), sceneTo(SceneWindow::SingleBauble2),
    sceneTo(SceneWindow::Pictures),
};

// How long the camera paths take to fly once round.
inline constexpr float kOrbitPathMs = 50000;    // the body scenes' orbit
inline constexpr float kFinalePathMs = 150000;  // the finale's three paths

struct Span {
    uint32_t from, to;
};
// The finale's camera windows F1..F25, from the finale's start.
inline constexpr Span kFinaleCameras[] = {
    {0, 1550},      {1550, 7000},   {7000, 15000},  {15000, 16000}, {16000, 16700},
    {16700, 21000}, {21000, 24000}, {24000, 24100}, {24100, 26200}, {26200, 26400},
    {26400, 26950}, {26950, 28000}, {28000, 42000}, {42000, 48000}, {48000, 48800},
    {48800, 51000}, {51000, 55000}, {55000, 55100}, {55100, 55150}, {55150, 55200},
    {55200, 55250}, {55250, 56000}, {56000, 61000}, {61000, 81000}, {81000, 100000},
};
inline constexpr int kFinaleCameraCount = sizeof(kFinaleCameras) / sizeof(kFinaleCameras[0]);

// Scripted moments inside the scenes.
inline constexpr uint32_t kIntroLogoFrom = 13000;        // the intro's logo starts to grow
inline constexpr uint32_t kTableclothFrom = 185000;      // the tablecloth comes in, the turning sheet fades
inline constexpr uint32_t kPicturesFadeInTo = 205000;    // the closing pictures have faded in
inline constexpr uint32_t kPicturesFadeOutFrom = 215000; // and start to fade out
inline constexpr uint32_t kFinaleFadeInTo = 225000;      // the finale has faded in
inline constexpr uint32_t kFinaleTilesTo = 250000;       // the finale's letter tiles are gone
inline constexpr uint32_t kClosingLogoFrom = 290000;     // the closing logo over the black
// From the finale's start.
inline constexpr uint32_t kLampRampAfter = 37000;        // the lamp's ramp kick may begin
inline constexpr uint32_t kFinaleFadeOutAfter = 66000;   // the long fade to the end
