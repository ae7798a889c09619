// Runs the real program on the headless back end, each test in a fresh
// process state and a fresh working directory (Tab writes "object.3ds" there).
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "app/program.h"
#include "canvas/scene.h"
#include "platform/standin/headless/headless.h"
#include "tests/support/call_record.h"
#include "tests/support/scene_reset.h"

class AppTest : public ::testing::Test {
  protected:
    void SetUp() override {
        previous_directory_ = std::filesystem::current_path();
        std::string pattern = (std::filesystem::temp_directory_path() / "kestrovan-app-XXXXXX");
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        directory_ = pattern;
        std::filesystem::current_path(directory_);
        headless::reset();
        recorded::reset();
        reset_editor_scene();
    }

    void TearDown() override {
        headless::reset();
        reset_editor_scene();
        std::filesystem::current_path(previous_directory_);
        std::filesystem::remove_all(directory_);
    }

    static std::optional<UINT> run_program() { return headless::run_until_exit(start_program); }

    struct Input {
        UINT message;
        WPARAM wparam;
        LPARAM lparam;
    };

    // Gives the program one input after each present, as a user acting
    // slower than the frame rate would, then Escape.
    static void feed_one_per_frame(std::vector<Input> inputs) {
        inputs.push_back({WM_KEYDOWN, VK_ESCAPE, 0});
        headless::settings().present_hook = [inputs](const FrameImage&, std::uint64_t number) {
            if (number <= inputs.size()) {
                const Input& input = inputs[number - 1];
                headless::send_input(input.message, input.wparam, input.lparam);
            }
        };
    }

    static LPARAM at(int x, int y) {
        return static_cast<LPARAM>(static_cast<std::uint32_t>(make_screen_point(x, y)));
    }

    static std::vector<std::uint8_t> read_file(const std::string& name) {
        std::ifstream in(name, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    static std::vector<const recorded::Call*> calls_named(const std::string& name) {
        std::vector<const recorded::Call*> found;
        for (const recorded::Call& call : recorded::calls()) {
            if (call.name == name) {
                found.push_back(&call);
            }
        }
        return found;
    }

    std::filesystem::path directory_;

  private:
    std::filesystem::path previous_directory_;
};
