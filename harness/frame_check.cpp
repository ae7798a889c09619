// Composes the editor's frame in-process and checks screenshots against it.
//
//   frame_check write OUT.ppm [POINT ...]
//       writes the frame's colours (the low 24 bits of each word) as a binary
//       PPM of 1280 x 1024
//   frame_check compare SHOT.ppm LEFT TOP [POINT ...]
//       compares the 1280 x 1024 region of SHOT whose top-left pixel is
//       (LEFT, TOP) with the frame; exit 0 on a match, 1 on a mismatch (with
//       the count and the first differing pixels on standard error)
//   frame_check locate SHOT.ppm [POINT ...]
//       prints "LEFT TOP" of the first place where the whole frame appears in
//       SHOT; exit 1 if it appears nowhere
//   frame_check export DIR [POINT ...]
//       writes DIR/object.3ds as the Tab key does for that scene; exit 1 if
//       the file is not there afterwards
//
// A POINT moves a scene point before composing: P0=X,Y .. P3=X,Y, A=X,Y or
// B=X,Y, in client pixels. Exit 2 on a usage or file error.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <unistd.h>

#include "canvas/frame.h"
#include "canvas/pixel_buffer.h"
#include "canvas/scene.h"
#include "curve/sampler.h"
#include "export/mesh.h"

namespace {

struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;  // rows top-down, three bytes a pixel
};

[[noreturn]] void fail_usage(const char* why) {
    std::fprintf(stderr, "frame_check: %s\n", why);
    std::exit(2);
}

bool parse_point(const char* arg) {
    static const struct {
        const char* name;
        std::uint32_t id;
    } names[] = {{"P0", PICK_P0}, {"P1", PICK_P1},    {"P2", PICK_P2},
                 {"P3", PICK_P3}, {"A", PICK_AXIS_A}, {"B", PICK_AXIS_B}};
    const char* eq = std::strchr(arg, '=');
    if (eq == nullptr) {
        return false;
    }
    const std::string name(arg, eq);
    int x = 0;
    int y = 0;
    char tail = 0;
    if (std::sscanf(eq + 1, "%d,%d%c", &x, &y, &tail) != 2) {
        return false;
    }
    for (const auto& entry : names) {
        if (name == entry.name) {
            set_point_by_id(entry.id, make_screen_point(x, y));
            return true;
        }
    }
    return false;
}

void compose(int argc, char** argv, int first_point) {
    for (int i = first_point; i < argc; ++i) {
        if (!parse_point(argv[i])) {
            fail_usage("a point is NAME=X,Y with NAME one of P0 P1 P2 P3 A B");
        }
    }
    render_frame();
}

std::uint32_t frame_colour(int x, int y) {
    return pixel_at(x, y) & 0x00FFFFFFu;
}

// Skips white space and '#' comments between PPM header fields.
int read_header_number(std::FILE* file) {
    int c = std::fgetc(file);
    for (;;) {
        if (c == '#') {
            while (c != '\n' && c != EOF) {
                c = std::fgetc(file);
            }
        } else if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            c = std::fgetc(file);
        } else {
            break;
        }
    }
    int value = 0;
    int digits = 0;
    while (c >= '0' && c <= '9' && digits < 9) {
        value = value * 10 + (c - '0');
        ++digits;
        c = std::fgetc(file);
    }
    return digits == 0 ? -1 : value;  // the one separator after it is consumed
}

Image read_ppm(const char* path) {
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) {
        fail_usage("cannot open the screenshot");
    }
    Image image;
    if (std::fgetc(file) != 'P' || std::fgetc(file) != '6') {
        std::fclose(file);
        fail_usage("the screenshot is not a binary PPM (P6)");
    }
    image.width = read_header_number(file);
    image.height = read_header_number(file);
    const int max_value = read_header_number(file);
    if (image.width <= 0 || image.height <= 0 || max_value != 255) {
        std::fclose(file);
        fail_usage("the screenshot's PPM header is not 8-bit RGB");
    }
    image.rgb.resize(static_cast<std::size_t>(image.width) * image.height * 3);
    const std::size_t got = std::fread(image.rgb.data(), 1, image.rgb.size(), file);
    std::fclose(file);
    if (got != image.rgb.size()) {
        fail_usage("the screenshot's PPM data is short");
    }
    return image;
}

std::uint32_t image_colour(const Image& image, int x, int y) {
    const std::uint8_t* p = &image.rgb[(static_cast<std::size_t>(y) * image.width + x) * 3];
    return (std::uint32_t{p[0]} << 16) | (std::uint32_t{p[1]} << 8) | p[2];
}

bool fits(const Image& image, int left, int top) {
    return left >= 0 && top >= 0 && left + FRAME_WIDTH <= image.width &&
           top + FRAME_HEIGHT <= image.height;
}

// Number of pixels that differ; reports the first few when `report` is set.
long count_differences(const Image& image, int left, int top, bool report) {
    long differences = 0;
    for (int y = 0; y < FRAME_HEIGHT; ++y) {
        for (int x = 0; x < FRAME_WIDTH; ++x) {
            const std::uint32_t want = frame_colour(x, y);
            const std::uint32_t got = image_colour(image, left + x, top + y);
            if (want != got) {
                if (report && differences < 5) {
                    std::fprintf(stderr, "  client pixel (%d, %d): expected #%06X, screen #%06X\n",
                                 x, y, static_cast<unsigned>(want), static_cast<unsigned>(got));
                }
                ++differences;
                if (!report) {
                    return differences;
                }
            }
        }
    }
    return differences;
}

int write_command(int argc, char** argv) {
    compose(argc, argv, 3);
    std::FILE* file = std::fopen(argv[2], "wb");
    if (file == nullptr) {
        fail_usage("cannot create the output file");
    }
    std::fprintf(file, "P6\n%d %d\n255\n", FRAME_WIDTH, FRAME_HEIGHT);
    std::vector<std::uint8_t> row(static_cast<std::size_t>(FRAME_WIDTH) * 3);
    bool ok = true;
    for (int y = 0; y < FRAME_HEIGHT && ok; ++y) {
        for (int x = 0; x < FRAME_WIDTH; ++x) {
            const std::uint32_t c = frame_colour(x, y);
            row[x * 3 + 0] = static_cast<std::uint8_t>(c >> 16);
            row[x * 3 + 1] = static_cast<std::uint8_t>(c >> 8);
            row[x * 3 + 2] = static_cast<std::uint8_t>(c);
        }
        ok = std::fwrite(row.data(), 1, row.size(), file) == row.size();
    }
    ok = std::fclose(file) == 0 && ok;
    if (!ok) {
        fail_usage("writing the output file failed");
    }
    return 0;
}

int compare_command(int argc, char** argv) {
    const Image image = read_ppm(argv[2]);
    const int left = std::atoi(argv[3]);
    const int top = std::atoi(argv[4]);
    compose(argc, argv, 5);
    if (!fits(image, left, top)) {
        std::fprintf(stderr, "frame_check: a %dx%d screenshot cannot hold the frame at (%d, %d)\n",
                     image.width, image.height, left, top);
        return 1;
    }
    const long differences = count_differences(image, left, top, true);
    if (differences != 0) {
        std::fprintf(stderr, "frame_check: %ld of %d pixels differ\n", differences, FRAME_PIXELS);
        return 1;
    }
    return 0;
}

int locate_command(int argc, char** argv) {
    const Image image = read_ppm(argv[2]);
    compose(argc, argv, 3);
    // Drawn pixels tell places apart far sooner than the black background:
    // try a spread of them at each place before the whole frame.
    std::vector<int> drawn;
    for (int i = 0; i < FRAME_PIXELS; ++i) {
        if ((pixel_buffer.words[i] & 0x00FFFFFFu) != 0) {
            drawn.push_back(i);
        }
    }
    std::vector<int> probes;
    const std::size_t step = drawn.size() / 64 + 1;
    for (std::size_t i = 0; i < drawn.size(); i += step) {
        probes.push_back(drawn[i]);
    }
    for (int top = 0; top + FRAME_HEIGHT <= image.height; ++top) {
        for (int left = 0; left + FRAME_WIDTH <= image.width; ++left) {
            bool candidate = true;
            for (const int i : probes) {
                const int x = i % FRAME_WIDTH;
                const int y = i / FRAME_WIDTH;
                if (image_colour(image, left + x, top + y) != frame_colour(x, y)) {
                    candidate = false;
                    break;
                }
            }
            if (candidate && count_differences(image, left, top, false) == 0) {
                std::printf("%d %d\n", left, top);
                return 0;
            }
        }
    }
    std::fprintf(stderr, "frame_check: the frame appears nowhere in the %dx%d screenshot\n",
                 image.width, image.height);
    return 1;
}

int export_command(int argc, char** argv) {
    if (chdir(argv[2]) != 0) {
        fail_usage("cannot enter the export directory");
    }
    compose(argc, argv, 3);
    recording_flag = 1;
    sample_profile_curve();
    export_solid();
    if (access("object.3ds", F_OK) != 0) {
        std::fprintf(stderr, "frame_check: the export wrote no object.3ds\n");
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::strcmp(argv[1], "write") == 0) {
        return write_command(argc, argv);
    }
    if (argc >= 5 && std::strcmp(argv[1], "compare") == 0) {
        return compare_command(argc, argv);
    }
    if (argc >= 3 && std::strcmp(argv[1], "locate") == 0) {
        return locate_command(argc, argv);
    }
    if (argc >= 3 && std::strcmp(argv[1], "export") == 0) {
        return export_command(argc, argv);
    }
    fail_usage(
        "usage: frame_check write OUT.ppm [POINT...] | compare SHOT.ppm LEFT TOP [POINT...] | "
        "locate SHOT.ppm [POINT...] | export DIR [POINT...]");
}
