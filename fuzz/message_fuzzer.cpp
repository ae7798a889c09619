// libFuzzer target: the input bytes become a sequence of window messages fed
// through the real start-up, frame loop and window procedure on the headless
// back end, each input in a fresh program state.
//
// Input layout: records, each an opcode byte (taken modulo 16) and its
// operands, little-endian; a record cut short ends the sequence.
//    0 press          lparam:4     1 move        lparam:4
//    2 release        lparam:4     3 press on a handle  b:1 (point b%6, place b/6)
//    4 move over the window  x:2 y:2 (taken modulo the window size)
//    5 key down       vk:1         6 key up      vk:1
//    7 character      code:1       8 Tab
//    9 idle           n:1 (1 + n%8 frames without input)
//   10 together       n:1 (the next 2 + n%8 messages arrive in one frame)
//   11 close request                12 system key down  vk:1
//   13 any message    id:2 wparam:4 lparam:4 (the quit message becomes WM_NULL)
//   14 Escape
//   15 file fault     b:1 partial:2 (the next export's call b%5 - create, write,
//                     flush, close or rename - fails, a write after `partial` bytes)
// Once a message ends the program (close request, Escape, destroy), nothing
// after it is sent; without one, a close request ends the sequence.
//
// Checks beyond the sanitizers: the program always ends through ExitProcess
// with code 0 within a bounded number of frames; after every Tab
// "object.3ds" is the complete new file, or, when a file fault was armed,
// possibly byte for byte the file from before; no temporary file remains.
#include <stdlib.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "app/program.h"
#include "canvas/pixel_buffer.h"
#include "canvas/scene.h"
#include "curve/sampler.h"
#include "export/file_3ds.h"
#include "export/mesh.h"
#include "platform/standin/headless/headless.h"
#include "tests/support/file_faults.h"
#include "tests/support/scene_reset.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t MAX_STEPS = 256;
constexpr char EXPORT_NAME[] = "object.3ds";
constexpr std::uint32_t EXPORT_BYTES = image_size_3ds(MESH_VERTICES, MESH_FACES);

struct Step {
    enum class Kind : std::uint8_t { message, idle, fault } kind;
    UINT message;
    WPARAM wparam;
    LPARAM lparam;
    std::uint32_t frames;  // idle
    FileCall call;         // fault
    DWORD partial;         // fault
    bool joins_previous;   // arrives in the same frame as the step before
};

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "message fuzzer: %s\n", what);
    std::abort();
}

class Reader {
  public:
    Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool more() const { return at_ < size_; }
    bool take(std::size_t count, std::uint64_t& value) {
        if (size_ - at_ < count) {
            at_ = size_;
            return false;
        }
        value = 0;
        for (std::size_t i = 0; i < count; ++i) {
            value |= static_cast<std::uint64_t>(data_[at_ + i]) << (8 * i);
        }
        at_ += count;
        return true;
    }

  private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

Step message_step(UINT message, WPARAM wparam, LPARAM lparam) {
    return Step{Step::Kind::message, message, wparam, lparam, 0, FileCall::any, 0, false};
}

bool ends_program(const Step& step) {
    if (step.kind != Step::Kind::message) {
        return false;
    }
    return step.message == WM_CLOSE || step.message == WM_DESTROY ||
           (step.message == WM_KEYDOWN && step.wparam == VK_ESCAPE);
}

LPARAM packed(int x, int y) {
    return static_cast<LPARAM>(make_screen_point(x, y));
}

// Where the square of a point sits (columns x-5..x-1, rows y-2..y+2) is
// known only when the press is sent, so it is worked out then.
constexpr UINT PRESS_ON_HANDLE = 0xFFFF0000u;

std::vector<Step> decode(const std::uint8_t* data, std::size_t size) {
    std::vector<Step> steps;
    Reader in(data, size);
    std::uint64_t joining = 0;
    std::uint64_t a = 0;
    std::uint64_t b = 0;
    std::uint64_t c = 0;
    while (in.more() && steps.size() < MAX_STEPS) {
        std::uint64_t op = 0;
        in.take(1, op);
        std::optional<Step> step;
        switch (op % 16) {
            case 0:
            case 1:
            case 2:
                if (in.take(4, a)) {
                    constexpr UINT MOUSE[] = {WM_LBUTTONDOWN, WM_MOUSEMOVE, WM_LBUTTONUP};
                    step = message_step(MOUSE[op % 16], 0, static_cast<LPARAM>(a));
                }
                break;
            case 3:
                if (in.take(1, a)) {
                    step = message_step(PRESS_ON_HANDLE, a, 0);
                }
                break;
            case 4:
                if (in.take(2, a) && in.take(2, b)) {
                    step = message_step(WM_MOUSEMOVE, 0,
                                        packed(static_cast<int>(a % FRAME_WIDTH),
                                               static_cast<int>(b % FRAME_HEIGHT)));
                }
                break;
            case 5:
            case 6:
            case 7:
            case 12:
                if (in.take(1, a)) {
                    const UINT message = op % 16 == 5   ? WM_KEYDOWN
                                         : op % 16 == 6 ? WM_KEYUP
                                         : op % 16 == 7 ? WM_CHAR
                                                        : WM_SYSKEYDOWN;
                    step = message_step(message, static_cast<WPARAM>(a), 0x00000001);
                }
                break;
            case 8:
                step = message_step(WM_KEYDOWN, VK_TAB, 0x000F0001);
                break;
            case 9:
                if (in.take(1, a)) {
                    step = Step{
                        Step::Kind::idle, WM_NULL, 0,    0, static_cast<std::uint32_t>(1 + a % 8),
                        FileCall::any,    0,       false};
                }
                break;
            case 10:
                if (in.take(1, a)) {
                    joining = 2 + a % 8;
                }
                continue;
            case 11:
                step = message_step(WM_CLOSE, 0, 0);
                break;
            case 13:
                if (in.take(2, a) && in.take(4, b) && in.take(4, c)) {
                    const auto id = static_cast<UINT>(a);
                    step = message_step(id == WM_QUIT ? WM_NULL : id, static_cast<WPARAM>(b),
                                        static_cast<LPARAM>(c));
                }
                break;
            case 14:
                step = message_step(WM_KEYDOWN, VK_ESCAPE, 0x00010001);
                break;
            default:
                if (in.take(1, a) && in.take(2, b)) {
                    constexpr FileCall CALLS[] = {FileCall::create, FileCall::write,
                                                  FileCall::flush, FileCall::close, FileCall::move};
                    step = Step{Step::Kind::fault,     WM_NULL, 0, 0, 0, CALLS[a % 5],
                                static_cast<DWORD>(b), false};
                }
                break;
        }
        if (!step) {
            break;
        }
        if (joining > 0 && step->kind == Step::Kind::message) {
            step->joins_previous = !steps.empty();
            --joining;
        }
        steps.push_back(*step);
        if (ends_program(*step)) {
            return steps;
        }
    }
    steps.push_back(message_step(WM_CLOSE, 0, 0));
    return steps;
}

// ---- Checking the exported file ---------------------------------------------

std::optional<Bytes> read_export() {
    std::ifstream in(EXPORT_NAME, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    return Bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::uint32_t u32_at(const Bytes& bytes, std::size_t at) {
    return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
           static_cast<std::uint32_t>(bytes[at + 2]) << 16 |
           static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}
std::uint16_t u16_at(const Bytes& bytes, std::size_t at) {
    return static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

// The whole file: every chunk where it belongs with the length that nests it
// in its parent, the counts, indices in range, coordinates finite.
bool is_complete_export(const Bytes& bytes) {
    constexpr std::uint32_t V = MESH_VERTICES;
    constexpr std::uint32_t F = MESH_FACES;
    if (bytes.size() != EXPORT_BYTES) {
        return false;
    }
    struct Chunk {
        std::size_t at;
        std::uint16_t id;
        std::uint32_t length;
    };
    const Chunk chunks[] = {
        {0, CHUNK_MAIN, EXPORT_BYTES},         {6, CHUNK_EDITOR, EXPORT_BYTES - 6},
        {12, CHUNK_OBJECT, EXPORT_BYTES - 12}, {19, CHUNK_TRIANGLE_MESH, EXPORT_BYTES - 19},
        {25, CHUNK_VERTEX_LIST, 8 + 12 * V},   {33 + 12 * V, CHUNK_FACE_LIST, 8 + 8 * F},
    };
    for (const Chunk& chunk : chunks) {
        if (u16_at(bytes, chunk.at) != chunk.id || u32_at(bytes, chunk.at + 2) != chunk.length) {
            return false;
        }
    }
    if (bytes[18] != 0 || u16_at(bytes, 31) != V || u16_at(bytes, 39 + 12 * V) != F) {
        return false;
    }
    for (std::size_t at = 33; at < 33 + 12 * V; at += 4) {
        float value = 0.0f;
        std::memcpy(&value, bytes.data() + at, sizeof value);
        if (!std::isfinite(value)) {
            return false;
        }
    }
    for (std::size_t at = 41 + 12 * V; at < EXPORT_BYTES; at += 8) {
        if (u16_at(bytes, at) >= V || u16_at(bytes, at + 2) >= V || u16_at(bytes, at + 4) >= V ||
            u16_at(bytes, at + 6) != 0) {
            return false;
        }
    }
    return true;
}

bool only_the_export_is_left() {
    for (const auto& entry : std::filesystem::directory_iterator(".")) {
        if (entry.path().filename() != EXPORT_NAME) {
            return false;
        }
    }
    return true;
}

// ---- Feeding the program ---------------------------------------------------------

class Feeder {
  public:
    explicit Feeder(const std::vector<Step>& steps) : steps_(steps) {}

    // After every present: once all input sent before is worked off, the
    // next step (or group of steps arriving together).
    void on_present() {
        if (queued_message_count() != 0 || headless::pending_input_count() != 0) {
            return;
        }
        check_export();
        if (idle_frames_ > 0) {
            --idle_frames_;
            return;
        }
        while (next_ < steps_.size()) {
            const Step& step = steps_[next_++];
            if (step.kind == Step::Kind::idle) {
                idle_frames_ = step.frames;
                return;
            }
            if (step.kind == Step::Kind::fault) {
                (void)file_fault_arm(step.call, 1, ERROR_DISK_FULL, step.partial);
                continue;
            }
            send(step);
            if (next_ >= steps_.size() || !steps_[next_].joins_previous) {
                return;
            }
        }
    }

    // After the program has ended: the last Tab's file.
    void finish() { check_export(); }

  private:
    void send(const Step& step) {
        if (step.message == PRESS_ON_HANDLE) {
            const std::uint64_t which = step.wparam % 6;
            const std::uint64_t place = step.wparam / 6;
            const ScreenPoint p =
                which < 4 ? editor_scene.control[which] : editor_scene.axis[which - 4];
            const int x = screen_x(p) - 1 - static_cast<int>(place % 5);
            const int y = screen_y(p) - 2 + static_cast<int>(place / 5 % 5);
            headless::send_input(WM_LBUTTONDOWN, 0, packed(x, y));
            return;
        }
        if (step.message == WM_KEYDOWN && step.wparam == VK_TAB) {
            if (tabs_due_ == 0) {
                previous_ = read_export();
                fault_armed_ = false;
            }
            ++tabs_due_;
            fault_armed_ = fault_armed_ || file_faults_pending() > 0;
        }
        headless::send_input(step.message, step.wparam, step.lparam);
    }

    // Several Tabs arriving together with a fault among them may leave the
    // file of any one of them: then any complete file will do.
    void check_export() {
        if (tabs_due_ == 0) {
            return;
        }
        const bool several = tabs_due_ > 1;
        tabs_due_ = 0;
        const std::optional<Bytes> now = read_export();
        const bool complete = now && is_complete_export(*now);
        const bool is_new =
            complete && std::memcmp(now->data(), file_image.bytes, EXPORT_BYTES) == 0;
        const bool kept = fault_armed_ && (now == previous_ || (several && complete));
        if (!is_new && !kept) {
            fail("after a Tab, object.3ds is neither the complete new file nor the one before");
        }
        if (!only_the_export_is_left()) {
            fail("an export left a temporary file behind");
        }
    }

    const std::vector<Step>& steps_;
    std::size_t next_ = 0;
    std::uint32_t idle_frames_ = 0;
    std::uint32_t tabs_due_ = 0;
    bool fault_armed_ = false;
    std::optional<Bytes> previous_;
};

// Everything a fresh process would start with. The pixel buffer is left:
// the first frame composes all of it before anything reads it. The name
// counter of temporary files keeps counting; it only picks fresh names.
void reset_program_state() {
    headless::reset();
    reset_editor_scene();
    file_fault_reset();
    profile_store = ProfileStore{};
    recorded_count = 0;
    ring_buffer = RingBuffer{};
    face_list = FaceList{};
    face_count = 0;
    file_image = FileImage{};
    std::filesystem::remove(EXPORT_NAME);
}

std::filesystem::path work_directory;

void remove_work_directory() {
    std::error_code ignored;
    std::filesystem::current_path("/", ignored);
    std::filesystem::remove_all(work_directory, ignored);
}

// Paths on the command line (corpus directories, files to run, artifact
// and dictionary paths) made absolute, so they still mean the same once the
// fuzzer works in its own directory; crash reports go where it was started.
void make_paths_absolute(int* argc, char*** argv, const std::filesystem::path& started_in) {
    static std::vector<std::string> arguments;
    static std::vector<char*> pointers;
    bool artifact_prefix_given = false;
    for (int i = 0; i < *argc; ++i) {
        std::string argument = (*argv)[i];
        if (i > 0 && !argument.empty() && argument[0] != '-') {
            argument = (started_in / argument).string();
        }
        for (const std::string flag : {"-artifact_prefix=", "-exact_artifact_path=", "-dict="}) {
            if (argument.rfind(flag, 0) == 0 && argument.size() > flag.size() &&
                argument[flag.size()] != '/') {
                argument = flag + (started_in / argument.substr(flag.size())).string();
            }
        }
        artifact_prefix_given =
            artifact_prefix_given || argument.rfind("-artifact_prefix=", 0) == 0;
        arguments.push_back(argument);
    }
    if (!artifact_prefix_given) {
        arguments.push_back("-artifact_prefix=" + started_in.string() + "/");
    }
    for (std::string& argument : arguments) {
        pointers.push_back(argument.data());
    }
    pointers.push_back(nullptr);
    *argc = static_cast<int>(arguments.size());
    *argv = pointers.data();
}

}  // namespace

// Tab writes "object.3ds" into the current directory: every input runs in a
// private one, removed at exit.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    const std::filesystem::path started_in = std::filesystem::current_path();
    make_paths_absolute(argc, argv, started_in);
    std::string pattern = (std::filesystem::temp_directory_path() / "kestrovan-fuzz-XXXXXX");
    if (::mkdtemp(pattern.data()) == nullptr) {
        fail("cannot make a work directory");
    }
    work_directory = pattern;
    std::filesystem::current_path(work_directory);
    std::atexit(remove_work_directory);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<Step> steps = decode(data, size);
    reset_program_state();
    // Every step takes at most nine frames; a character key adds one more.
    headless::settings().frame_limit = 10 * steps.size() + 100;
    Feeder feeder(steps);
    headless::settings().present_hook = [&feeder](const FrameImage&, std::uint64_t) {
        feeder.on_present();
    };

    // ExitProcess hands control back here instead of ending the fuzzer; a
    // run that never gets there (waits forever, or runs past the frame
    // limit) throws HeadlessStop, which nothing catches: a crash.
    const std::optional<UINT> exit_code = headless::run_until_exit(start_program);
    if (exit_code != std::optional<UINT>(0u)) {
        fail("the program did not end with exit code 0");
    }
    feeder.finish();
    headless::reset();
    return 0;
}
