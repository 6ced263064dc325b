// model.cpp - creating, appending and finding particles, springs and colliders.
#include "physics/model.h"

#include <cstdio>
#include <cstdlib>
#include <new>

#include "math/random.h"

RecordStore records;

RecordStore::RecordStore() : allocate(std::malloc), release(std::free) {}

namespace {

constexpr std::size_t kRecordsPerBlock = 256;

// Each block starts with a link to the previous one so all can be given back.
struct BlockHeader {
    void* previous;
    // Keeps the records that follow aligned for doubles and pointers.
    alignas(std::max_align_t) unsigned char pad[1];
};
constexpr std::size_t kHeaderBytes = offsetof(BlockHeader, pad);

// Ends the show: without its bodies there is nothing to show.
[[noreturn]] void outOfMemory() {
    std::fputs("baubles: out of memory while building the physical objects\n", stderr);
    std::exit(EXIT_FAILURE);
}

// Hands out room for one record of `size` bytes from the run of its kind.
void* takeRecord(RecordStore::Run& run, std::size_t size) {
    if (run.left == 0) {
        void* block = records.allocate(kHeaderBytes + size * kRecordsPerBlock);
        if (!block) outOfMemory();
        static_cast<BlockHeader*>(block)->previous = records.blocks;
        records.blocks = block;
        run.cursor = static_cast<unsigned char*>(block) + kHeaderBytes;
        run.left = kRecordsPerBlock;
    }
    void* at = run.cursor;
    run.cursor += size;
    --run.left;
    ++records.recordCount;
    return at;
}

// One value in [0, 1] from the show's sequence, as a float field stores it.
float drawUnitFloat() { return static_cast<float>(showRandUnit()); }

}  // namespace

void releaseAllRecords() {
    void* block = records.blocks;
    while (block) {
        void* previous = static_cast<BlockHeader*>(block)->previous;
        records.release(block);
        block = previous;
    }
    RecordStore fresh;
    fresh.allocate = records.allocate;
    fresh.release = records.release;
    records = fresh;
}

Particle* newParticle(float mass, int32_t flags, Vec3 position, Vec3 velocity, double radius) {
    Particle* p = new (takeRecord(records.particles, sizeof(Particle))) Particle();
    p->mass = mass;
    p->flags = flags;
    p->position = position;
    p->tickStart = position;
    p->velocity = velocity;
    p->radius = radius;
    p->randomValue = showRandUnit();
    p->next = nullptr;
    return p;
}

void addParticle(Particle* head, float mass, int32_t flags, Vec3 position, Vec3 velocity, double radius) {
    Particle* last = lastParticle(head);
    last->next = newParticle(mass, flags, position, velocity, radius);
}

Spring* newSpring(float damping, float restLength, float stiffness, Particle* a, Particle* b, int32_t flags) {
    Spring* s = new (takeRecord(records.springs, sizeof(Spring))) Spring();
    s->flags = flags;
    s->a = a;
    s->b = b;
    s->stiffness = stiffness;
    s->damping = damping;
    // Measured now, so builders place both ends first.
    s->restLength = restLength != 0.0f ? restLength : length(a->position - b->position);
    s->next = nullptr;
    return s;
}

// The last spring of a list.
static Spring* lastSpring(Spring* head) {
    while (head->next) head = head->next;
    return head;
}

Spring* addSpring(Spring* head, float damping, float restLength, float stiffness, Particle* a, Particle* b,
                  int32_t flags) {
    Spring* last = lastSpring(head);
    last->next = newSpring(damping, restLength, stiffness, a, b, flags);
    return last->next;
}

Spring* newSpringWithRest(float damping, float restLength, float stiffness, Particle* a, Particle* b) {
    Spring* s = new (takeRecord(records.springs, sizeof(Spring))) Spring();
    s->flags = 0;
    s->a = a;
    s->b = b;
    s->stiffness = stiffness;
    s->damping = damping;
    s->restLength = restLength;
    s->next = nullptr;
    return s;
}

Spring* addSpringWithRest(Spring* head, float damping, float restLength, float stiffness, Particle* a, Particle* b) {
    Spring* last = lastSpring(head);
    last->next = newSpringWithRest(damping, restLength, stiffness, a, b);
    return last->next;
}

Collider* newCollider(float radius, Vec3 centre, float factor, int32_t flags, Particle* particle) {
    Collider* c = new (takeRecord(records.colliders, sizeof(Collider))) Collider();
    c->flags = flags;
    c->particle = particle;
    c->centre = centre;
    c->radius = radius;
    c->factor = factor;
    // Three draws, in field order.
    c->random[0] = drawUnitFloat();
    c->random[1] = drawUnitFloat();
    c->random[2] = drawUnitFloat();
    c->next = nullptr;
    return c;
}

void addCollider(Collider* head, float radius, Vec3 centre, float factor, int32_t flags, Particle* particle) {
    Collider* last = lastCollider(head);
    last->next = newCollider(radius, centre, factor, flags, particle);
    if (particle) particle->flags |= PF_HAS_COLLIDER;
}

Particle* nthParticle(Particle* head, int n) {
    Particle* p = head;
    for (int i = 0; i < n; ++i) {
        if (!p->next) return head;
        p = p->next;
    }
    return p;
}

Particle* lastParticle(Particle* head) {
    while (head->next) head = head->next;
    return head;
}

Collider* lastCollider(Collider* head) {
    while (head->next) head = head->next;
    return head;
}
