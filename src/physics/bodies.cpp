// bodies.cpp - the show's soft bodies and the tile lookup of the letter cloths.
#include "physics/bodies.h"

ShowBodies showBodies;

Particle* tileFirstParticle(const LetterCloth& cloth, int k) { return nthParticle(cloth.body.particles, 2 + 6 * k); }
