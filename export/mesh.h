// The solid of revolution: the recorded profile turned about the axis
// direction into rings of vertices, and the triangles that join neighbouring
// rings all the way round; and the export that writes it. All working areas
// are static.
#pragma once

#include <cstdint>
#include <numbers>

#include "canvas/scene.h"
#include "curve/sampler.h"

// Ring count and angle step. Every strip between neighbouring rings spans the
// same angle, the closing strip (last ring back to ring 0) included. The step
// is worked out in double and stored as a float.
constexpr int RING_COUNT = 20;
constexpr double RING_ANGLE_STEP_EXACT = 2.0 * std::numbers::pi / RING_COUNT;
constexpr float RING_ANGLE_STEP = static_cast<float>(RING_ANGLE_STEP_EXACT);

// Every ring holds one vertex per profile sample; vertex i of ring j has
// index j * RING_SAMPLES + i.
constexpr int RING_SAMPLES = CURVE_SAMPLES;
constexpr int MESH_VERTICES = RING_SAMPLES * RING_COUNT;
// Each pair of neighbouring rings, the closing pair included, is joined by
// RING_SAMPLES - 1 quads of two triangles.
constexpr int MESH_FACES = 2 * (RING_SAMPLES - 1) * RING_COUNT;

constexpr int RING_BUFFER_BYTES = 256 * 1024;
constexpr int RING_BUFFER_CAPACITY = RING_BUFFER_BYTES / static_cast<int>(sizeof(Vector3));

struct RingBuffer {
    Vector3 vertices[RING_BUFFER_CAPACITY];
};

// One triangle as three vertex indices; the order is its winding.
struct Face {
    std::uint16_t a;
    std::uint16_t b;
    std::uint16_t c;
};
static_assert(sizeof(Face) == 6, "faces are packed 6-byte records");

constexpr int FACE_LIST_BYTES = 256 * 1024;
constexpr int FACE_LIST_CAPACITY = FACE_LIST_BYTES / static_cast<int>(sizeof(Face));

struct FaceList {
    Face faces[FACE_LIST_CAPACITY];
};

static_assert(RING_COUNT >= 2, "the closing strip needs two distinct rings");
static_assert(MESH_VERTICES <= RING_BUFFER_CAPACITY, "the rings must fit the ring buffer");
static_assert(MESH_FACES <= FACE_LIST_CAPACITY, "the triangles must fit the face list");
static_assert(MESH_VERTICES <= 65535, "vertex indices and the vertex count are 16-bit");
static_assert(MESH_FACES <= 65535, "the face count is 16-bit");
static_assert(RING_SAMPLES <= PROFILE_STORE_CAPACITY, "a ring is one recorded profile");

extern RingBuffer ring_buffer;
extern FaceList face_list;
extern std::uint32_t face_count;

// Axis, rings and faces from axis_f and the recorded profile, in memory only.
void build_solid_mesh();

// The export behind the Tab key: builds the mesh, then writes it as
// "object.3ds" with write_3ds_image. Never fails loudly: a file that cannot be
// written is skipped and the previous one stays.
void export_solid();
