// scene_steps.h - the update and draw steps of the bauble and body scenes.
// An update step runs the scene's physics driver, relights what is lit in
// software and moves the meshes onto the simulated balls; a draw step sends
// the geometry twice, the second time with depth GL_EQUAL so a texture lands
// only on the surface already drawn. Every draw step leaves blending and
// texturing off and the depth function at GL_LESS.
#pragma once

#include <epoxy/gl.h>

#include <cstdint>

#include "image/texture.h"
#include "math/vec3.h"
#include "physics/model.h"
#include "render/cloth.h"
#include "render/lighting.h"
#include "render/room_drawing.h"
#include "render/shortcuts.h"
#include "render/sphere.h"

// The two nine-bauble scenes: baubles on swinging pins around the standing
// ball, then the nine hanging from one point with the heavy one flying free.
enum class BaubleScene { DrivenStrings, HangingBauble };
// The two single-bauble scenes: the sheet falling onto the large ball, and
// the sheet turning from its first row over the middle ball.
enum class SingleBauble { First, Second };

// The lights of a nine-bauble scene: two diffuse lights and the highlight.
struct BaubleLights {
    Light diffuse[2];
    Light highlight;
};
BaubleLights baubleLights(BaubleScene scene);

// The soft body a scene steps and draws.
const SoftBody& baubleBody(BaubleScene scene);
const SoftBody& singleBody(SingleBauble scene);

// A bauble scene's update comes in two halves. Advancing: the driver, and
// where the spheres move.
void advanceBaubleScene(BaubleScene scene, SphereMesh* detailed, SphereMesh* coarse);
// Drawing: light both arrays where the frame found them (so colours trail
// the motion by one frame), then put them where it leaves them.
void lightBaubleScene(BaubleScene scene, Vertex camera, SphereMesh* detailed, SphereMesh* coarse);
// Lights one array as the bauble scene does: the large bauble (element 1)
// with the dimmed red light and the highlight, the others plain.
void lightBaubles(BaubleScene scene, Vertex camera, SphereMesh* detailed, SphereMesh* coarse);
// A single bauble's advancing: the driver, and where the bauble moves onto
// its ball. Single baubles are not lit: they show only the reflection.
void advanceSingleBauble(SingleBauble scene, SphereMesh& sphere);
// Update of the finale body: its driver and nothing else.
void stepFinaleBodyScene();

// True when the scene's large bauble (element 1) is drawn: its ball follows
// a particle. The driven-strings scene's standing ball does not.
bool largeBaubleDrawn(BaubleScene scene);
// Draw: the room (0 for none), lit baubles, their textures added, strings.
void drawBaubleScene(BaubleScene scene, SphereMesh* array, const SceneTextures& textures, const RoomDrawing* room,
                     DrawTarget target);
// Draw: the room, the cloth (a single-bauble scene's sheet or the finale
// body) with the environment picture multiplied on, then for the sheets the
// bauble with the six reflection views.
void drawBodyScene(SphereMesh& sphere, const SceneTextures& textures, const RoomDrawing* room, ClothVariant variant,
                   DrawTarget target);
