// Presentation on a real X server (run by with_server.sh on a private Xvfb):
// the in-place shared image and the copy that stands in for it, read back
// from the window with XGetImage.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include <SDL.h>
#include <SDL_syswm.h>

#include "platform/standin/sdl/sdl_present.h"
#include "platform/standin/sdl/x11_shared_image.h"

// Xlib's short macros come last.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

constexpr int WIDTH = 640;
constexpr int HEIGHT = 512;

// Static, page-aligned, whole pages: the kind of image that is shared.
struct alignas(4096) StaticImage {
    std::uint32_t words[WIDTH * HEIGHT];
};
StaticImage static_image;
static_assert(sizeof(StaticImage) % 4096 == 0);

void fill(std::uint32_t* words, std::size_t count, std::uint32_t seed) {
    for (std::size_t i = 0; i < count; ++i) {
        // A top byte that must never show, over colours that change with seed.
        words[i] = (0xA5u << 24) | ((static_cast<std::uint32_t>(i) * 2654435761u + seed) >> 8);
    }
}

class X11Present : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "run me through with_server.sh";
        apply_sdl_hints();
        SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");
        ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
    }

    void SetUp() override { open_window(); }
    void TearDown() override { close_window(); }

    void open_window() {
        window = SDL_CreateWindow("present test", 0, 0, WIDTH, HEIGHT, SDL_WINDOW_SHOWN);
        ASSERT_NE(window, nullptr) << SDL_GetError();
        SDL_SysWMinfo info;
        SDL_VERSION(&info.version);
        ASSERT_EQ(SDL_GetWindowWMInfo(window, &info), SDL_TRUE);
        display = info.info.x11.display;
        x_window = info.info.x11.window;
        XSync(display, False);
    }

    void close_window() {
        if (window != nullptr) {
            forget_shared_image_window(window);
            SDL_DestroyWindow(window);
            window = nullptr;
        }
    }

    // Number of window pixels in the rectangle whose colour differs from the
    // image's low 24 bits (image pixel (x - left, y - top) + origin).
    int differences(const std::uint32_t* words, int pitch, int left, int top, int width,
                    int height) {
        XImage* shot = XGetImage(display, x_window, left, top, static_cast<unsigned>(width),
                                 static_cast<unsigned>(height), AllPlanes, ZPixmap);
        if (shot == nullptr) {
            ADD_FAILURE() << "XGetImage failed";
            return -1;
        }
        int wrong = 0;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const auto want = words[y * pitch + x] & 0xFFFFFFu;
                const auto got = static_cast<std::uint32_t>(XGetPixel(shot, x, y)) & 0xFFFFFFu;
                wrong += want != got ? 1 : 0;
            }
        }
        XDestroyImage(shot);
        return wrong;
    }

    SDL_Window* window = nullptr;
    Display* display = nullptr;
    ::Window x_window = 0;
};

TEST_F(X11Present, StaticImageIsShownInPlaceFrameAfterFrame) {
    ASSERT_TRUE(can_share_in_place(static_image.words, sizeof(static_image)));
    const FrameImage whole{static_image.words, WIDTH, WIDTH, HEIGHT};
    for (std::uint32_t frame = 1; frame <= 3; ++frame) {
        SCOPED_TRACE(frame);
        // Each frame is drawn into the image after the last present: a stale
        // copy anywhere would show the previous one.
        fill(static_image.words, WIDTH * HEIGHT, frame * 0x01020304u);
        ASSERT_TRUE(present_shared_image(window, whole));
        EXPECT_EQ(differences(static_image.words, WIDTH, 0, 0, WIDTH, HEIGHT), 0);
    }
    // A part of the image, from inside the shared pages.
    fill(static_image.words, WIDTH * HEIGHT, 77);
    const FrameImage part{static_image.words + 10 * WIDTH + 20, WIDTH, 100, 50};
    ASSERT_TRUE(present_to_window(window, part));
    EXPECT_EQ(differences(static_image.words + 10 * WIDTH + 20, WIDTH, 0, 0, 100, 50), 0);
}

TEST_F(X11Present, ANewWindowSharesTheSameImageAgain) {
    fill(static_image.words, WIDTH * HEIGHT, 5);
    const FrameImage whole{static_image.words, WIDTH, WIDTH, HEIGHT};
    ASSERT_TRUE(present_shared_image(window, whole));
    close_window();
    open_window();
    fill(static_image.words, WIDTH * HEIGHT, 6);
    ASSERT_TRUE(present_shared_image(window, whole));
    EXPECT_EQ(differences(static_image.words, WIDTH, 0, 0, WIDTH, HEIGHT), 0);
}

TEST_F(X11Present, OtherMemoryIsCopiedIntoTheWindowSurface) {
    // Heap memory may be freed and its pages reused: it is never shared.
    std::vector<std::uint32_t> heap(static_cast<std::size_t>(WIDTH) * HEIGHT);
    fill(heap.data(), heap.size(), 9);
    const FrameImage whole{heap.data(), WIDTH, WIDTH, HEIGHT};
    EXPECT_FALSE(present_shared_image(window, whole));
    ASSERT_TRUE(present_to_window(window, whole));
    XSync(display, False);
    EXPECT_EQ(differences(heap.data(), WIDTH, 0, 0, WIDTH, HEIGHT), 0);
}

TEST(SharedImageRules, OnlyWholePagesOfStaticStorageQualify) {
    EXPECT_TRUE(can_share_in_place(static_image.words, sizeof(static_image)));
    EXPECT_TRUE(can_share_in_place(static_image.words, 4096));
    EXPECT_FALSE(can_share_in_place(static_image.words + 16, 4096));  // not on a page boundary
    EXPECT_FALSE(can_share_in_place(static_image.words, 4096 + 64));  // a partial page
    EXPECT_FALSE(can_share_in_place(static_image.words, 0));
    int on_stack = 0;
    EXPECT_FALSE(can_share_in_place(&on_stack, 4096));
    std::unique_ptr<void, decltype(&std::free)> heap(std::aligned_alloc(4096, 4096 * 4),
                                                     &std::free);
    ASSERT_NE(heap, nullptr);
    EXPECT_FALSE(can_share_in_place(heap.get(), 4096 * 4));
}

}  // namespace
