// The solid export: the mesh and file image in memory, and the whole export
// with the write, flush and rename on disk.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "canvas/frame.h"
#include "canvas/scene.h"
#include "curve/sampler.h"
#include "export/file_3ds.h"
#include "export/mesh.h"
#include "tests/support/scene_reset.h"

namespace {

void record_initial_scene() {
    reset_editor_scene();
    render_frame();
    recording_flag = 1;
    sample_profile_curve();
}

// Axis, 20 rings, 760 faces and the complete file image, without the disk.
void BM_export_mesh(benchmark::State& state) {
    record_initial_scene();
    for (auto _ : state) {
        build_solid_mesh();
        // Not const: newer Google Benchmark deprecates DoNotOptimize of a const
        // value, which may not keep the computation.
        std::uint32_t size =
            assemble_3ds_image(MESH_VERTICES, ring_buffer.vertices, face_count, face_list.faces);
        benchmark::DoNotOptimize(size);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_export_mesh)
    ->Name("export_mesh")
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// The whole Tab export into a scratch directory: mesh, image, temporary file,
// write, flush and rename over the previous "object.3ds".
void BM_export_to_disk(benchmark::State& state) {
    record_initial_scene();
    const std::filesystem::path previous = std::filesystem::current_path();
    std::string pattern = std::filesystem::temp_directory_path() / "kestrovan-bench-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        state.SkipWithError("mkdtemp failed");
        return;
    }
    std::filesystem::current_path(pattern);
    for (auto _ : state) {
        export_solid();
        benchmark::ClobberMemory();
    }
    const bool written = std::filesystem::file_size("object.3ds") == 10921;
    std::filesystem::current_path(previous);
    std::filesystem::remove_all(pattern);
    if (!written) {
        state.SkipWithError("object.3ds was not written");
    }
}
BENCHMARK(BM_export_to_disk)
    ->Name("export_to_disk")
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

}  // namespace
