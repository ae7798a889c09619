#include "platform/standin/sdl/scaled_present.h"

#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

// The largest client this present holds, in fixed memory: 4096 pixels a side
// and 2 megapixels in all (a 1920 x 1080 screen).
constexpr int MAX_CLIENT_SIDE = 4096;
constexpr long long MAX_CLIENT_PIXELS = 1 << 21;
constexpr std::uint32_t COLOUR_BITS = 0x00FFFFFFu;
constexpr std::uint32_t OPAQUE = 0xFF000000u;
constexpr int BYTES_PER_WORD = 4;

// Tap weights are in 1/256ths of a line and sum to 256 for every output line.
constexpr int WEIGHT_ONE = 256;

// At a scale from 1/2 to 1 an output line covers at most three source lines,
// and a source line reaches at most two output lines.
struct OutputTaps {
    int first;
    int weight[3];
};
struct SourceSpread {
    int first;
    int weight[2];
};

// The geometry the tables below were built for.
struct Layout {
    SDL_Window* window = nullptr;
    SDL_Surface* surface = nullptr;
    int surface_width = 0;
    int surface_height = 0;
    int client_width = 0;
    int client_height = 0;
};

Layout layout;
OutputTaps row_taps[MAX_CLIENT_SIDE];
SourceSpread column_spread[MAX_CLIENT_SIDE];

// The client's picture as last shown, and which of its rows the present in
// progress changed.
std::uint32_t shown[MAX_CLIENT_PIXELS];
bool row_changed[MAX_CLIENT_SIDE];
bool holds_picture = false;  // shown is all zero until a picture is taken

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
bool tables_ready = false;

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
    tables_ready = true;
}

// The area weights of output line `out` over the source lines, for a source
// of `source` lines shown in `output` lines (output <= source <= 2 * output).
// In units of 1/output of a source line, the output line covers
// [out * source, (out + 1) * source) and source line i [i * output,
// (i + 1) * output); each weight is the overlap, rounded to 1/256ths so that
// the three always sum to exactly 256.
OutputTaps taps_of(int out, int source, int output) {
    const std::int64_t start = static_cast<std::int64_t>(out) * source;
    const std::int64_t end = start + source;
    const auto in_256ths = [source](std::int64_t units) {
        return static_cast<int>((units * WEIGHT_ONE + source / 2) / source);
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

void build_layout(SDL_Window* window, SDL_Surface* surface, int client_width, int client_height) {
    layout = Layout{window, surface, surface->w, surface->h, client_width, client_height};
    for (int y = 0; y < surface->h; ++y) {
        row_taps[y] = taps_of(y, client_height, surface->h);
    }
    for (int x = 0; x < client_width; ++x) {
        column_spread[x] = SourceSpread{-1, {0, 0}};
    }
    for (int out = 0; out < surface->w; ++out) {
        const OutputTaps taps = taps_of(out, client_width, surface->w);
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

// Adds one source row, weighted by row_weight, into the output row's sums.
// Black adds nothing, and most of the editor's picture is black: runs of it
// are passed over four words at a time.
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

// Composes output row y from the shown picture into output_row.
void scale_row(int y) {
    const OutputTaps& taps = row_taps[y];
    int touched_count = 0;
    for (int t = 0; t < 3; ++t) {
        if (taps.weight[t] != 0) {
            add_source_row(
                shown + static_cast<std::ptrdiff_t>(taps.first + t) * layout.client_width,
                layout.client_width, taps.weight[t], &touched_count);
        }
    }
    for (int x = 0; x < layout.surface_width; ++x) {
        output_row[x] = OPAQUE;
    }
    // Weights total 256 x 256, so the sums are 16-bit linear values shifted
    // up by 16 bits (at most 0xFFFF0000: rounding cannot overflow).
    for (int i = 0; i < touched_count; ++i) {
        const int x = touched_columns[i];
        std::uint32_t word = OPAQUE;
        for (int c = 0; c < 3; ++c) {
            word |= std::uint32_t{to_srgb[(sums[x][c] + 0x8000u) >> 16]} << (16 - 8 * c);
            sums[x][c] = 0;
        }
        touched[x] = false;
        output_row[x] = word;
    }
}

// Takes the image into the shown picture, noting the rows that changed.
// Returns whether any did.
bool take_image(const FrameImage& image) {
    holds_picture = true;
    bool any = false;
    const std::size_t row_bytes = static_cast<std::size_t>(image.width) * BYTES_PER_WORD;
    for (int y = 0; y < image.height; ++y) {
        const std::uint32_t* from =
            image.pixels + static_cast<std::ptrdiff_t>(y) * image.pitch_words;
        std::uint32_t* to = shown + static_cast<std::ptrdiff_t>(y) * layout.client_width;
        row_changed[y] = std::memcmp(from, to, row_bytes) != 0;
        if (row_changed[y]) {
            std::memcpy(to, from, row_bytes);
            any = true;
        }
    }
    for (int y = image.height; y < layout.client_height; ++y) {
        row_changed[y] = false;
    }
    return any;
}

bool output_row_changed(int y) {
    const OutputTaps& taps = row_taps[y];
    for (int t = 0; t < 3; ++t) {
        if (taps.weight[t] != 0 && row_changed[taps.first + t]) {
            return true;
        }
    }
    return false;
}

// Scales the rows marked (or all of them) into the surface. False if SDL fails.
bool scale_into(SDL_Surface* surface, bool all_rows) {
    if (SDL_MUSTLOCK(surface) && SDL_LockSurface(surface) != 0) {
        return false;
    }
    // The surface takes output rows as they are when it has their layout
    // (alpha, if it has one, opaque); any other layout is converted.
    const Uint32 format = surface->format->format;
    const bool same_layout = format == SDL_PIXELFORMAT_ARGB8888 || format == SDL_PIXELFORMAT_RGB888;
    const int row_bytes = surface->w * BYTES_PER_WORD;
    bool ok = true;
    for (int y = 0; y < surface->h && ok; ++y) {
        if (!all_rows && !output_row_changed(y)) {
            continue;
        }
        scale_row(y);
        auto* destination = static_cast<std::uint8_t*>(surface->pixels) +
                            static_cast<std::ptrdiff_t>(y) * surface->pitch;
        if (same_layout) {
            std::memcpy(destination, output_row, static_cast<std::size_t>(row_bytes));
        } else {
            ok = SDL_ConvertPixels(surface->w, 1, SDL_PIXELFORMAT_ARGB8888, output_row, row_bytes,
                                   format, destination, surface->pitch) == 0;
        }
    }
    if (SDL_MUSTLOCK(surface)) {
        SDL_UnlockSurface(surface);
    }
    return ok;
}

}  // namespace

bool shows_client_scaled(int window_width, int window_height, int client_width, int client_height) {
    const bool smaller = window_width < client_width || window_height < client_height;
    const bool within = window_width <= client_width && window_height <= client_height;
    const bool at_least_half =
        2 * window_width >= client_width && 2 * window_height >= client_height;
    const bool held = client_width <= MAX_CLIENT_SIDE && client_height <= MAX_CLIENT_SIDE &&
                      static_cast<long long>(client_width) * client_height <= MAX_CLIENT_PIXELS;
    return smaller && within && at_least_half && held && window_width > 0 && window_height > 0;
}

bool present_scaled(SDL_Window* window, const FrameImage& image, int client_width,
                    int client_height) {
    int width = 0;
    int height = 0;
    SDL_GetWindowSize(window, &width, &height);
    if (!shows_client_scaled(width, height, client_width, client_height) ||
        image.width > client_width || image.height > client_height) {
        return false;
    }
    SDL_Surface* surface = SDL_GetWindowSurface(window);
    if (surface == nullptr || surface->format->BytesPerPixel != BYTES_PER_WORD ||
        surface->w != width || surface->h != height) {
        return false;
    }
    if (!tables_ready) {
        build_tables();
    }
    // A new window or surface holds none of the picture: all of it is scaled.
    const bool all_rows =
        window != layout.window || surface != layout.surface ||
        surface->w != layout.surface_width || surface->h != layout.surface_height ||
        client_width != layout.client_width || client_height != layout.client_height;
    if (all_rows) {
        build_layout(window, surface, client_width, client_height);
    }
    const bool changed = take_image(image);
    if ((all_rows || changed) && !scale_into(surface, all_rows)) {
        layout = Layout{};  // the surface may be half written: start afresh
        return false;
    }
    return SDL_UpdateWindowSurface(window) == 0;
}

void forget_scaled_picture() {
    layout = Layout{};
    if (holds_picture) {
        std::memset(shown, 0, sizeof(shown));
        holds_picture = false;
    }
}
