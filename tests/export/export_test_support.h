// Scenes, scratch directories and a little-endian reader for the export tests.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "canvas/scene.h"

// The initial scene with the axis moved off the diagonal: A = (700, 150),
// B = (1000, 250). The rotation line (through the pixel origin, parallel to
// A->B) then differs from the handles' segment and runs clear of the profile.
EditorScene off_axis_scene();

// Everything the Tab key does before the export: the scene is composed (which
// refreshes the float copies) and the profile is recorded.
void record_scene(const EditorScene& scene);

// record_scene followed by the export.
void export_scene(const EditorScene& scene);

// A fresh directory made with mkdtemp that the test works in: the constructor
// enters it, the destructor goes back and removes it with all it holds.
class ScratchDirectory {
  public:
    ScratchDirectory();
    ~ScratchDirectory();
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;
    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path previous_;
    std::filesystem::path path_;
};

std::vector<std::uint8_t> read_bytes(const std::string& file_name);
void write_bytes(const std::string& file_name, const std::vector<std::uint8_t>& bytes);
// Names in the current directory, sorted.
std::vector<std::string> directory_names();

std::uint16_t u16_at(const std::vector<std::uint8_t>& bytes, std::size_t offset);
std::uint32_t u32_at(const std::vector<std::uint8_t>& bytes, std::size_t offset);
float float_at(const std::vector<std::uint8_t>& bytes, std::size_t offset);
std::uint32_t float_bits(float value);
