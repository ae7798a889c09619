#include "export_test_support.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "canvas/frame.h"
#include "curve/sampler.h"
#include "export/mesh.h"

EditorScene off_axis_scene() {
    EditorScene scene = INITIAL_SCENE;
    scene.axis[0] = make_screen_point(700, 150);
    scene.axis[1] = make_screen_point(1000, 250);
    return scene;
}

void record_scene(const EditorScene& scene) {
    editor_scene = scene;
    render_frame();
    recording_flag = 1;
    sample_profile_curve();
}

void export_scene(const EditorScene& scene) {
    record_scene(scene);
    export_solid();
}

ScratchDirectory::ScratchDirectory() : previous_(std::filesystem::current_path()) {
    std::string pattern = (std::filesystem::temp_directory_path() / "kestrovan-export-XXXXXX");
    if (::mkdtemp(pattern.data()) == nullptr) {
        ADD_FAILURE() << "mkdtemp failed for " << pattern;
        return;
    }
    path_ = pattern;
    std::filesystem::current_path(path_);
}

ScratchDirectory::~ScratchDirectory() {
    std::error_code ignored;
    std::filesystem::current_path(previous_, ignored);
    if (!path_.empty()) {
        std::filesystem::remove_all(path_, ignored);
    }
}

std::vector<std::uint8_t> read_bytes(const std::string& file_name) {
    std::ifstream in(file_name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void write_bytes(const std::string& file_name, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(file_name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::string> directory_names() {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(".")) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::uint16_t u16_at(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
    return static_cast<std::uint16_t>(bytes.at(offset) | bytes.at(offset + 1) << 8);
}

std::uint32_t u32_at(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
    return static_cast<std::uint32_t>(u16_at(bytes, offset)) |
           static_cast<std::uint32_t>(u16_at(bytes, offset + 2)) << 16;
}

float float_at(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
    return std::bit_cast<float>(u32_at(bytes, offset));
}

std::uint32_t float_bits(float value) {
    return std::bit_cast<std::uint32_t>(value);
}
