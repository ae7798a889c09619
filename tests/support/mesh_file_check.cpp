#include "tests/support/mesh_file_check.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "export/file_3ds.h"
#include "tests/export/export_test_support.h"

namespace {

bool is_container(std::uint16_t id) {
    return id == CHUNK_MAIN || id == CHUNK_EDITOR || id == CHUNK_OBJECT ||
           id == CHUNK_TRIANGLE_MESH;
}

}  // namespace

std::string describe_chunks(const std::vector<std::uint8_t>& bytes, std::size_t begin,
                            std::size_t end) {
    std::ostringstream out;
    out << std::hex;
    for (std::size_t at = begin; at < end;) {
        if (at != begin) {
            out << ' ';
        }
        const std::uint32_t length = end - at < 6 ? 0 : u32_at(bytes, at + 2);
        if (length < 6 || length > end - at) {
            return out.str() + "<bad chunk at " + std::to_string(at) + ">";
        }
        out << u16_at(bytes, at) << '@' << std::dec << at << '+' << length << std::hex;
        if (is_container(u16_at(bytes, at))) {
            std::size_t data = at + 6;
            if (u16_at(bytes, at) == CHUNK_OBJECT) {
                while (data < at + length && bytes[data] != 0) {
                    ++data;
                }
                ++data;  // the name's terminator
            }
            out << '[' << describe_chunks(bytes, data, at + length) << ']';
        }
        at += length;
    }
    return out.str();
}

void expect_mesh_file(const std::vector<std::uint8_t>& bytes, std::uint32_t v, std::uint32_t f) {
    const std::uint32_t total = 41 + 12 * v + 8 * f;
    ASSERT_EQ(bytes.size(), total);
    std::ostringstream shape;
    shape << "4d4d@0+" << total << "[3d3d@6+" << total - 6 << "[4000@12+" << total - 12
          << "[4100@19+" << total - 19 << "[4110@25+" << 8 + 12 * v << " 4120@" << 33 + 12 * v
          << '+' << 8 + 8 * f << "]]]]";
    ASSERT_EQ(describe_chunks(bytes, 0, bytes.size()), shape.str());
    EXPECT_EQ(bytes[18], 0) << "the object's name is empty";
    ASSERT_EQ(bytes[0] | bytes[1] << 8, 0x4D4D);
    ASSERT_EQ(u16_at(bytes, 31), v);
    ASSERT_EQ(u16_at(bytes, 39 + 12 * v), f);
    for (std::size_t at = 33; at < 33 + 12 * v; at += 4) {
        ASSERT_TRUE(std::isfinite(float_at(bytes, at))) << "at " << at;
    }
    for (std::size_t at = 41 + 12 * v; at < total; at += 8) {
        for (int k = 0; k < 3; ++k) {
            ASSERT_LT(u16_at(bytes, at + 2 * k), v) << "at " << at;
        }
        ASSERT_EQ(u16_at(bytes, at + 6), 0) << "flags at " << at;
    }
}
