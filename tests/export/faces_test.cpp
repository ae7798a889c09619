// The triangles close the surface round the axis, all wound alike.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <utility>

#include "export/mesh.h"

// Found by argument-dependent lookup, so beside Face in the global namespace.
static bool operator==(const Face& p, const Face& q) {
    return p.a == q.a && p.b == q.b && p.c == q.c;
}

static void PrintTo(const Face& f, std::ostream* os) {
    *os << "(" << f.a << ", " << f.b << ", " << f.c << ")";
}

namespace {

TEST(Faces, EmissionOrderAtTheStartAndAroundTheClosingStrip) {
    build_solid_mesh();
    ASSERT_EQ(face_count, static_cast<std::uint32_t>(MESH_FACES));
    ASSERT_EQ(face_count, 760u);
    const Face* f = face_list.faces;
    EXPECT_EQ(f[0], (Face{0, 20, 1}));
    EXPECT_EQ(f[1], (Face{20, 21, 1}));
    // The closing strip comes last and joins ring 19 (base 380) to ring 0.
    const int closing = 2 * 19 * (RING_COUNT - 1);
    EXPECT_EQ(f[closing], (Face{0, 1, 380}));
    EXPECT_EQ(f[closing + 1], (Face{380, 1, 381}));
    EXPECT_EQ(f[758], (Face{18, 19, 398}));
    EXPECT_EQ(f[759], (Face{398, 19, 399}));
}

// Every edge inside the surface is walked once in each direction by its two
// triangles; only the edges along the first and the last profile sample (the
// open ends) belong to one triangle. A triangle wound the other way round
// would walk some edge twice in the same direction.
TEST(Faces, EveryInnerEdgeIsWalkedOnceEachWay) {
    build_solid_mesh();
    std::map<std::pair<int, int>, int> directed;
    for (std::uint32_t n = 0; n < face_count; ++n) {
        const Face& f = face_list.faces[n];
        ASSERT_LT(f.a, MESH_VERTICES);
        ASSERT_LT(f.b, MESH_VERTICES);
        ASSERT_LT(f.c, MESH_VERTICES);
        ASSERT_TRUE(f.a != f.b && f.b != f.c && f.a != f.c) << n;
        ++directed[{f.a, f.b}];
        ++directed[{f.b, f.c}];
        ++directed[{f.c, f.a}];
    }

    std::set<std::pair<int, int>> open_edges;
    for (const auto& [edge, count] : directed) {
        ASSERT_EQ(count, 1) << "edge " << edge.first << "->" << edge.second << " walked " << count
                            << " times";
        if (directed.find({edge.second, edge.first}) == directed.end()) {
            open_edges.insert(
                {std::min(edge.first, edge.second), std::max(edge.first, edge.second)});
        }
    }

    std::set<std::pair<int, int>> expected;
    for (int j = 0; j < RING_COUNT; ++j) {
        const int next = (j + 1) % RING_COUNT;
        for (int sample : {0, RING_SAMPLES - 1}) {
            const int u = j * RING_SAMPLES + sample;
            const int v = next * RING_SAMPLES + sample;
            expected.insert({std::min(u, v), std::max(u, v)});
        }
    }
    EXPECT_EQ(open_edges.size(), 40u);
    EXPECT_EQ(open_edges, expected);
}

}  // namespace
