// An independent 3DS reader (assimp's command line tool) opens our files and
// finds the one triangle mesh in them.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>

#include "export_test_support.h"

namespace {

std::string run(const std::string& command) {
    std::string output;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return output;
    }
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        output.append(buffer, n);
    }
    const int status = ::pclose(pipe);
    if (status != 0) {
        output += "\n[exit status " + std::to_string(status) + "]";
    }
    return output;
}

// The value after "<label>:" on the line that starts with the label.
std::string field(const std::string& report, const std::string& label) {
    std::istringstream lines(report);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind(label + ":", 0) == 0) {
            const std::size_t start = line.find_first_not_of(' ', label.size() + 1);
            return start == std::string::npos ? std::string() : line.substr(start);
        }
    }
    return "<missing>";
}

TEST(ExternalReader, AssimpReadsOneTriangleMeshOf400VerticesAnd760Faces) {
    const std::string assimp = run("command -v assimp");
    ASSERT_NE(assimp.find("assimp"), std::string::npos)
        << "the 'assimp' command is not on PATH; install Debian's assimp-utils "
           "(scripts/install-deps does) to check the exported files with an independent reader";

    ScratchDirectory scratch;
    const struct {
        const char* name;
        EditorScene scene;
    } scenes[] = {{"initial.3ds", INITIAL_SCENE}, {"off_axis.3ds", off_axis_scene()}};
    for (const auto& s : scenes) {
        SCOPED_TRACE(s.name);
        export_scene(s.scene);
        std::filesystem::rename("object.3ds", s.name);
        const std::string report = run(std::string("assimp info ") + s.name + " 2>&1");
        EXPECT_EQ(field(report, "Meshes"), "1") << report;
        EXPECT_EQ(field(report, "Vertices"), "400") << report;
        EXPECT_EQ(field(report, "Faces"), "760") << report;
        EXPECT_EQ(field(report, "Primitive Types"), "triangles") << report;
    }
}

}  // namespace
