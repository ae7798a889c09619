#include "platform/standin/sdl/scale_kernel.h"

#include <cmath>
#include <cstring>

namespace {

constexpr int MAX_CLIENT_SIDE = 4096;
constexpr long long MAX_CLIENT_PIXELS = 1 << 21;
constexpr std::uint32_t COLOUR_BITS = 0x00FFFFFFu;
constexpr int BYTES_PER_WORD = 4;

// At a scale from 1/2 to 1 a source line reaches at most two output lines.
struct SourceSpread {
    int first;
    int weight[2];
};

OutputTaps row_taps[MAX_CLIENT_SIDE];
SourceSpread column_spread[MAX_CLIENT_SIDE];

// The client's picture as last taken, and which of its rows that take changed.
std::uint32_t picture[MAX_CLIENT_PIXELS];
bool row_changed[MAX_CLIENT_SIDE];

// One output row being summed, per colour channel in linear light, and the
// columns that received anything; every other column stays black.
std::uint32_t sums[MAX_CLIENT_SIDE][3];
bool touched[MAX_CLIENT_SIDE];
int touched_columns[MAX_CLIENT_SIDE];
std::uint32_t output_row[MAX_CLIENT_SIDE];

// sRGB bytes to linear light in 16 bits, and back with the byte nearest on the
// sRGB curve.
std::uint16_t to_linear[256];
std::uint8_t to_srgb[65536];

double srgb_to_linear(double value) {
    return value <= 0.04045 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
}

void build_tables() {
    for (int byte = 0; byte < 256; ++byte) {
        to_linear[byte] = static_cast<std::uint16_t>(
            std::lround(srgb_to_linear(static_cast<double>(byte) / 255.0) * 65535.0));
    }
    // A linear value encodes to byte b from the linear point halfway (on the
    // sRGB curve) between b - 1 and b up to the one between b and b + 1.
    int value = 0;
    for (int byte = 0; byte < 256; ++byte) {
        const int next_start =
            byte == 255 ? 65536
                        : static_cast<int>(std::ceil(
                              srgb_to_linear((static_cast<double>(byte) + 0.5) / 255.0) * 65535.0));
        for (; value < next_start && value < 65536; ++value) {
            to_srgb[value] = static_cast<std::uint8_t>(byte);
        }
    }
}

// Adds one source row, `width` words, weighted by row_weight, into the output
// row's sums. Black adds nothing, and most of the editor's picture is black:
// runs of it are passed over four words at a time.
void add_source_row(const std::uint32_t* row, int width, int row_weight, int* touched_count) {
    for (int x = 0; x < width; ++x) {
        while (x + 4 <= width &&
               ((row[x] | row[x + 1] | row[x + 2] | row[x + 3]) & COLOUR_BITS) == 0) {
            x += 4;
        }
        if (x >= width || (row[x] & COLOUR_BITS) == 0) {
            continue;
        }
        const std::uint32_t word = row[x];
        const std::uint32_t linear[3] = {to_linear[(word >> 16) & 0xFFu],
                                         to_linear[(word >> 8) & 0xFFu], to_linear[word & 0xFFu]};
        const SourceSpread& spread = column_spread[x];
        for (int j = 0; j < 2; ++j) {
            if (spread.weight[j] == 0) {
                continue;
            }
            const int out = spread.first + j;
            if (!touched[out]) {
                touched[out] = true;
                touched_columns[(*touched_count)++] = out;
            }
            const auto weight = static_cast<std::uint32_t>(row_weight * spread.weight[j]);
            for (int c = 0; c < 3; ++c) {
                sums[out][c] += weight * linear[c];
            }
        }
    }
}

}  // namespace

// In units of 1/output of a source line, the output line covers
// [out * source, (out + 1) * source) and source line i [i * output,
// (i + 1) * output); each weight is the overlap, its running total rounded to
// 1/256ths, so that the three always sum to exactly 256.
OutputTaps taps_of(int out, int source, int output) {
    const std::int64_t start = static_cast<std::int64_t>(out) * source;
    const std::int64_t end = start + source;
    const auto in_256ths = [source](std::int64_t units) {
        return static_cast<int>((units * 256 + source / 2) / source);
    };
    OutputTaps taps{static_cast<int>(start / output), {0, 0, 0}};
    for (int t = 0; t < 3; ++t) {
        const std::int64_t line_start = static_cast<std::int64_t>(taps.first + t) * output;
        const std::int64_t low = line_start > start ? line_start : start;
        const std::int64_t high = line_start + output < end ? line_start + output : end;
        if (high > low) {
            taps.weight[t] = in_256ths(high - start) - in_256ths(low - start);
        }
    }
    return taps;
}

bool scale_kernel_holds(int width, int height) {
    return width > 0 && height > 0 && width <= MAX_CLIENT_SIDE && height <= MAX_CLIENT_SIDE &&
           static_cast<long long>(width) * height <= MAX_CLIENT_PIXELS;
}

void set_scaled_sizes(const WindowSizes& sizes) {
    build_tables();  // well under a millisecond, with each new window surface
    std::memset(picture, 0, sizeof(picture));
    for (int y = 0; y < sizes.height; ++y) {
        row_taps[y] = taps_of(y, sizes.client_height, sizes.height);
    }
    for (int x = 0; x < sizes.client_width; ++x) {
        column_spread[x] = SourceSpread{-1, {0, 0}};
    }
    for (int out = 0; out < sizes.width; ++out) {
        const OutputTaps taps = taps_of(out, sizes.client_width, sizes.width);
        for (int t = 0; t < 3; ++t) {
            if (taps.weight[t] == 0) {
                continue;
            }
            SourceSpread& spread = column_spread[taps.first + t];
            if (spread.first < 0) {
                spread.first = out;
            }
            spread.weight[out - spread.first] = taps.weight[t];
        }
    }
}

bool take_picture(const WindowSizes& sizes, const FrameImage& image) {
    bool any = false;
    const std::size_t row_bytes = static_cast<std::size_t>(image.width) * BYTES_PER_WORD;
    for (int y = 0; y < image.height; ++y) {
        const std::uint32_t* from =
            image.pixels + static_cast<std::ptrdiff_t>(y) * image.pitch_words;
        std::uint32_t* to = picture + static_cast<std::ptrdiff_t>(y) * sizes.client_width;
        row_changed[y] = std::memcmp(from, to, row_bytes) != 0;
        if (row_changed[y]) {
            std::memcpy(to, from, row_bytes);
            any = true;
        }
    }
    for (int y = image.height; y < sizes.client_height; ++y) {
        row_changed[y] = false;
    }
    return any;
}

bool scaled_row_changed(int y) {
    const OutputTaps& taps = row_taps[y];
    for (int t = 0; t < 3; ++t) {
        if (taps.weight[t] != 0 && row_changed[taps.first + t]) {
            return true;
        }
    }
    return false;
}

const std::uint32_t* scaled_row(const WindowSizes& sizes, int y) {
    const OutputTaps& taps = row_taps[y];
    int touched_count = 0;
    for (int t = 0; t < 3; ++t) {
        if (taps.weight[t] != 0) {
            add_source_row(
                picture + static_cast<std::ptrdiff_t>(taps.first + t) * sizes.client_width,
                sizes.client_width, taps.weight[t], &touched_count);
        }
    }
    std::memset(output_row, 0, static_cast<std::size_t>(sizes.width) * BYTES_PER_WORD);
    // Weights total 256 x 256, so the sums are 16-bit linear values shifted
    // up by 16 bits (at most 0xFFFF0000: rounding cannot overflow).
    for (int i = 0; i < touched_count; ++i) {
        const int x = touched_columns[i];
        std::uint32_t word = 0;
        for (int c = 0; c < 3; ++c) {
            word |= std::uint32_t{to_srgb[(sums[x][c] + 0x8000u) >> 16]} << (16 - 8 * c);
            sums[x][c] = 0;
        }
        touched[x] = false;
        output_row[x] = word;
    }
    return output_row;
}
