// The scaling kernel without a display: its weights, then pictures scaled one
// after another into plain SDL surfaces, each window pixel checked against the
// area average worked out the plain way.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include <SDL.h>

#include "platform/standin/sdl/scale_kernel.h"
#include "platform/standin/sdl/sdl_present.h"

namespace {

TEST(ScaleKernel, EachTapWeighsTheShareOfItsSourceLineInTheWindowLine) {
    // 1366x768's fit (3/4), 1280x800's (where some lines reach three source
    // lines), half, and the test pictures' sizes below.
    const int sizes[][2] = {{1024, 768}, {1280, 1000}, {1024, 512}, {32, 24}, {32, 20}};
    for (const auto& size : sizes) {
        SCOPED_TRACE(testing::Message() << size[0] << " in " << size[1]);
        const double lines = static_cast<double>(size[0]) / size[1];  // under a window line
        int spanning_three = 0;
        for (int out = 0; out < size[1]; ++out) {
            const OutputTaps taps = taps_of(out, size[0], size[1]);
            EXPECT_EQ(taps.first, out * size[0] / size[1]) << out;
            for (int t = 0; t < 3; ++t) {
                const double covered = std::min((out + 1) * lines, taps.first + t + 1.0) -
                                       std::max(out * lines, taps.first + t + 0.0);
                // Rounded running totals keep each within a step of its share.
                EXPECT_LT(std::abs(taps.weight[t] - std::max(covered, 0.0) / lines * 256), 1.0)
                    << out;
            }
            spanning_three += taps.weight[2] != 0 ? 1 : 0;
        }
        EXPECT_EQ(spanning_three > 0, size[0] == 1280 || size[1] == 20);
    }
}

double to_linear(std::uint32_t byte) {
    const double v = byte / 255.0;
    return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}

std::uint32_t to_srgb(double linear) {
    const double v =
        linear <= 0.0031308 ? linear * 12.92 : 1.055 * std::pow(linear, 1 / 2.4) - 0.055;
    return static_cast<std::uint32_t>(std::lround(v * 255.0));
}

// Window pixel (x, y) of a client w x h shown at width x height: the average
// in linear light over the exact area it covers.
std::uint32_t area_average(const std::vector<std::uint32_t>& client, int w, int h, int width,
                           int height, int x, int y) {
    const double sx = static_cast<double>(w) / width;
    const double sy = static_cast<double>(h) / height;
    double sum[3] = {0, 0, 0};
    for (int v = static_cast<int>(y * sy); v < std::min<double>(h, (y + 1) * sy); ++v) {
        const double wy = std::min<double>(v + 1, (y + 1) * sy) - std::max<double>(v, y * sy);
        for (int u = static_cast<int>(x * sx); u < std::min<double>(w, (x + 1) * sx); ++u) {
            const double wx = std::min<double>(u + 1, (x + 1) * sx) - std::max<double>(u, x * sx);
            for (int c = 0; c < 3; ++c) {
                sum[c] += wx * wy * to_linear((client[v * w + u] >> (16 - 8 * c)) & 0xFFu);
            }
        }
    }
    std::uint32_t word = 0;
    for (int c = 0; c < 3; ++c) {
        word |= to_srgb(sum[c] / (sx * sy)) << (16 - 8 * c);
    }
    return word;
}

// Window pixels more than one level off the area average, in any channel.
int pixels_off(SDL_Surface* surface, const std::vector<std::uint32_t>& client, int w, int h) {
    int off = 0;
    for (int y = 0; y < surface->h; ++y) {
        for (int x = 0; x < surface->w; ++x) {
            const std::uint32_t want = area_average(client, w, h, surface->w, surface->h, x, y);
            const std::uint32_t got =
                static_cast<const std::uint32_t*>(surface->pixels)[y * surface->pitch / 4 + x];
            for (int c = 0; c < 24; c += 8) {
                const int diff =
                    static_cast<int>((got >> c) & 0xFFu) - static_cast<int>((want >> c) & 0xFFu);
                if (std::abs(diff) > 1) {
                    ++off;
                    break;
                }
            }
        }
    }
    return off;
}

TEST(ScaledPresent, EachPresentShowsTheLatestPictureAveragedInLinearLight) {
    constexpr int W = 32;
    constexpr int H = 32;
    // Half, 3/4 and 5/8 (where a window line can reach three client lines).
    const int windows[][2] = {{16, 16}, {24, 24}, {20, 20}};
    for (const auto& window : windows) {
        SCOPED_TRACE(testing::Message()
                     << W << "x" << H << " in " << window[0] << "x" << window[1]);
        const WindowSizes shown{W, H, window[0], window[1]};
        SDL_Surface* xrgb =
            SDL_CreateRGBSurfaceWithFormat(0, window[0], window[1], 32, SDL_PIXELFORMAT_RGB888);
        ASSERT_NE(xrgb, nullptr);
        forget_scaled_picture();
        // Black with a pick id in the top byte that must never show, all of
        // it painted over at first; then two bands of rows changed before each
        // present, which rescales only the window rows they reach.
        std::vector<std::uint32_t> client(W * H, 0xAB000000u);
        std::mt19937 random(static_cast<unsigned>(window[0]));
        for (int present = 0; present < 6; ++present) {
            SCOPED_TRACE(present);
            for (int band = 0; band < 2; ++band) {
                const int first = present == 0 ? 0 : static_cast<int>(random() % H);
                const int last = present == 0 ? H : std::min<int>(H, first + 1 + random() % 4);
                for (int i = first * W; i < last * W; ++i) {
                    const auto colour = random() % 3 == 0 ? 0 : random() & 0xFFFFFFu;
                    client[i] = static_cast<std::uint32_t>((random() << 24) | colour);
                }
            }
            ASSERT_TRUE(scale_into_surface(xrgb, {client.data(), W, W, H}, shown));
            EXPECT_EQ(pixels_off(xrgb, client, W, H), 0);
        }
        // Another layout, 2 bytes a pixel: the same picture, converted.
        SDL_Surface* rgb565 =
            SDL_CreateRGBSurfaceWithFormat(0, window[0], window[1], 16, SDL_PIXELFORMAT_RGB565);
        SDL_Surface* expected = SDL_ConvertSurfaceFormat(xrgb, SDL_PIXELFORMAT_RGB565, 0);
        ASSERT_NE(rgb565, nullptr);
        ASSERT_TRUE(scale_into_surface(rgb565, {client.data(), W, W, H}, shown));
        for (int y = 0; y < window[1]; ++y) {
            EXPECT_EQ(std::memcmp(static_cast<Uint8*>(rgb565->pixels) + y * rgb565->pitch,
                                  static_cast<Uint8*>(expected->pixels) + y * expected->pitch,
                                  static_cast<std::size_t>(window[0]) * 2),
                      0)
                << "row " << y;
        }
        SDL_FreeSurface(expected);
        SDL_FreeSurface(rgb565);
        SDL_FreeSurface(xrgb);
    }
    forget_scaled_picture();
}

}  // namespace
