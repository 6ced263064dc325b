// scene_steps.cpp - update and draw steps of the bauble and body scenes.
#include "render/scene_steps.h"

#include "show/gl_state.h"
#include "physics/bodies.h"
#include "physics/drivers.h"
#include "render/cloth.h"
#include "render/shortcuts.h"

// The scene's two diffuse lights and its highlight, fresh from constants.
BaubleLights baubleLights(BaubleScene scene) {
    const bool driven = scene == BaubleScene::DrivenStrings;
    BaubleLights L;
    L.diffuse[0] = driven ? pointLight(Vec3(-2, -2, 2), Vec3(0.1f, 0.5f, 0.2f), 0.7f, 0.002f, 0.002f)
                          : pointLight(Vec3(-4, -4, 4), Vec3(0.7f, 0.7f, 0.7f), 0.7f, 0.002f, 0.002f);
    L.diffuse[1] = driven ? pointLight(Vec3(0, 20, 20), Vec3(0.1f, 0.4f, 0.2f), 0.8f, 0.001f, 0.001f)
                          : pointLight(Vec3(0, 20, 20), Vec3(0.6f, 0.6f, 0.6f), 0.8f, 0.001f, 0.001f);
    L.highlight = driven ? pointLight(Vec3(-1, 1, 1), Vec3(0.4f, 0.8f, 0.4f), 0.1f, 0.0001f, 0.0001f)
                         : pointLight(Vec3(-1, 1, 1), Vec3(2, 2, 2), 0.1f, 0.0001f, 0.0001f);
    return L;
}

// The hanging or the driven baubles' body.
const SoftBody& baubleBody(BaubleScene scene) {
    return scene == BaubleScene::DrivenStrings ? showBodies.drivenBaubles : showBodies.hangingBaubles;
}

// The falling or the turning sheet's body.
const SoftBody& singleBody(SingleBauble scene) {
    return scene == SingleBauble::First ? showBodies.single1 : showBodies.single2;
}

// Relights both arrays. The large bauble is lit with the upper light's red
// turned down to 0.3 and carries the highlight; once it is done, that red
// stays at full for every bauble after it, so bauble 0 alone keeps the
// scene's own red.
void lightBaubles(BaubleScene scene, Vertex camera, SphereMesh* detailed, SphereMesh* coarse) {
    BaubleLights L = baubleLights(scene);
    for (int k = 0; k < kSphereArray; ++k) {
        SphereMesh& s = detailed[k];
        Vertex* w = s.world.data();
        const int32_t count = s.vertexCount();
        for (int32_t v = 0; v < count; ++v) {
            if (k == 1) {
                L.diffuse[1].colour.x = 0.3f;
                lightVertex(w[v], L.diffuse, 2);
                addSpecular(w[v], &L.highlight, 1, camera);
                L.diffuse[1].colour.x = 1.0f;
            } else {
                lightVertex(w[v], L.diffuse, 2);
            }
        }
    }
    // The coarse baubles only appear in the reflection: no highlight.
    for (int k = 0; k < kSphereArray; ++k) {
        SphereMesh& s = coarse[k];
        Vertex* w = s.world.data();
        const int32_t count = s.vertexCount();
        for (int32_t v = 0; v < count; ++v) lightVertex(w[v], L.diffuse, 2);
    }
}

void advanceBaubleScene(BaubleScene scene, SphereMesh* detailed, SphereMesh* coarse) {
    if (scene == BaubleScene::DrivenStrings)
        stepDrivenBaubles();
    else
        stepHangingBaubles();
    const Collider* colliders = baubleBody(scene).colliders;
    moveSpheres(detailed, colliders);
    moveSpheres(coarse, colliders);
}

void lightBaubleScene(BaubleScene scene, Vertex camera, SphereMesh* detailed, SphereMesh* coarse) {
    for (int k = 0; k < kSphereArray; ++k) {
        standAtFrameStart(detailed[k]);
        standAtFrameStart(coarse[k]);
    }
    lightBaubles(scene, camera, detailed, coarse);
    for (int k = 0; k < kSphereArray; ++k) {
        standAtFrameEnd(detailed[k]);
        standAtFrameEnd(coarse[k]);
    }
}

void advanceSingleBauble(SingleBauble scene, SphereMesh& sphere) {
    if (scene == SingleBauble::First)
        stepSingle1();
    else
        stepSingle2();
    moveSingleSphere(sphere, singleBody(scene).colliders);
}

// The finale body moves by its driver alone; its drawing lights it.
void stepFinaleBodyScene() { stepFinaleBody(); }

bool largeBaubleDrawn(BaubleScene scene) {
    // The element count runs over the active colliders, as the drawing does.
    int k = 0;
    for (const Collider* c = baubleBody(scene).colliders; c && k < kSphereArray; c = c->next) {
        if (!(c->flags & CF_ACTIVE)) continue;
        if (k == 1) return c->particle != nullptr;
        ++k;
    }
    return false;
}

// Room, lit baubles, textures added where the baubles already are, strings.
void drawBaubleScene(BaubleScene scene, SphereMesh* array, const SceneTextures& textures, const RoomDrawing* room,
                     DrawTarget target) {
    const SoftBody& body = baubleBody(scene);
    drawRoom(room);
    const bool fold = target == DrawTarget::Picture && drawingChoices.foldBaublePasses;
    if (fold && drawSpheresInOnePass(array, body.colliders, textures.slot)) {
        glBlendFunc(GL_ONE, GL_ONE);  // as the texture pass leaves it
    } else {
        drawSpheresLit(array, body.colliders);
        glState::enable(GL_BLEND);
        glBlendFunc(GL_ONE, GL_ONE);
        glState::depthFunc(GL_EQUAL);
        glEnable(GL_TEXTURE_2D);
        drawSpheresTextured(array, body.colliders, textures.slot);
        glDisable(GL_TEXTURE_2D);
        glState::disable(GL_BLEND);
        glState::depthFunc(GL_LESS);
    }
    drawStrings(array, body.springs);
}

// Room, the cloth lit then multiplied by the environment picture, and the
// bauble showing the room around it (not in the finale).
void drawBodyScene(SphereMesh& sphere, const SceneTextures& textures, const RoomDrawing* room, ClothVariant variant,
                   DrawTarget target) {
    drawRoom(room);
    const bool fold = target == DrawTarget::Picture && drawingChoices.foldSheetPasses;
    const bool onePass = fold && drawSheetInOnePass(variant, textures.slot[kSlotEnvironment],
                                                                textures.slot[kSlotLamp], textures.slot);
    if (onePass) glBlendFunc(GL_DST_COLOR, GL_ZERO);  // as the picture pass leaves it
    if (!onePass || drawingChoices.everyWay) {
        drawCloth(variant, textures.slot[kSlotLamp], textures.slot);
        glState::enable(GL_BLEND);
        glBlendFunc(GL_DST_COLOR, GL_ZERO);
        glState::depthFunc(GL_EQUAL);
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, textures.slot[kSlotEnvironment]);
        // Where a sheet folds onto itself both layers pass the equal depth
        // test; in the show's picture its picture is multiplied in once per
        // pixel, as the folded pass does. (The finale body's glow adds up
        // its layers on purpose.)
        const bool sheet = variant == ClothVariant::FallingSheet || variant == ClothVariant::TurningSheet;
        const bool oncePerPixel = target == DrawTarget::Picture && sheet;
        if (oncePerPixel) {
            glClear(GL_STENCIL_BUFFER_BIT);
            glEnable(GL_STENCIL_TEST);
            glStencilFunc(GL_EQUAL, 0, 1);
            glStencilOp(GL_KEEP, GL_KEEP, GL_INCR);
        }
        drawCloth(variant, textures.slot[kSlotLamp], textures.slot);
        if (oncePerPixel) glDisable(GL_STENCIL_TEST);
        glDisable(GL_TEXTURE_2D);
        glState::disable(GL_BLEND);
        glState::depthFunc(GL_LESS);
    }
    if (variant == ClothVariant::FallingSheet || variant == ClothVariant::TurningSheet)
        drawSphereWithTextures(sphere, textures.slot);
}
