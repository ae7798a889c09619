// The in-place present on X11, and its stubs where there is no X11 shared
// memory.
#include "platform/standin/sdl/x11_shared_image.h"

#include <bit>
#include <cstdint>
#include <cstring>

#if KESTROVAN_SHARED_X11 && defined(__linux__)

#include <unistd.h>

#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/shm.h>

// Bounds the linker gives the executable: its initialised data and zeroed
// (bss) storage lie between the end of its code and `end`.
extern "C" char etext[];
extern "C" char end[];

namespace {

constexpr int BYTES_PER_WORD = 4;

// The one range of the caller's memory made shared, for the rest of the run.
struct SharedRange {
    const char* start = nullptr;
    std::size_t bytes = 0;
    int segment_id = -1;
    bool failed = false;  // sharing was tried and did not work: never again
};

// What the current window needs to show the shared range.
struct WindowSharing {
    SDL_Window* window = nullptr;
    Display* display = nullptr;
    ::Window x_window = 0;
    Visual* visual = nullptr;
    GC gc = nullptr;
    XShmSegmentInfo segment{};
    XImage* image = nullptr;  // the whole shared range, pitch_words wide
    int pitch_words = 0;
    bool attached = false;
    bool unusable = false;  // this window cannot take shared images
};

SharedRange shared;
WindowSharing sharing;
bool attach_failed = false;

int note_attach_error(Display*, XErrorEvent*) {
    attach_failed = true;
    return 0;
}

// Finds the X11 window behind an SDL window and checks that it shows 24-bit
// colour laid out as the image's low three bytes (blue lowest), with no alpha.
bool set_up_window(SDL_Window* window) {
    sharing = WindowSharing{};
    sharing.window = window;
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWindowWMInfo(window, &info) != SDL_TRUE || info.subsystem != SDL_SYSWM_X11) {
        return false;
    }
    sharing.display = info.info.x11.display;
    sharing.x_window = info.info.x11.window;
    if (XShmQueryExtension(sharing.display) == False) {
        return false;
    }
    XWindowAttributes attributes;
    if (XGetWindowAttributes(sharing.display, sharing.x_window, &attributes) == 0) {
        return false;
    }
    const Visual* visual = attributes.visual;
    if (attributes.depth != 24 || visual == nullptr || visual->red_mask != 0xFF0000u ||
        visual->green_mask != 0x00FF00u || visual->blue_mask != 0x0000FFu) {
        return false;
    }
    sharing.visual = attributes.visual;
    sharing.gc = XCreateGC(sharing.display, sharing.x_window, 0, nullptr);
    return sharing.gc != nullptr;
}

// Turns the range's pages into a shared segment with the same contents at the
// same address. The contents go into the segment through a second mapping
// first, so the range never reads as anything but its own contents.
bool share_range(const char* start, std::size_t bytes) {
    const int id = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    if (id < 0) {
        return false;
    }
    void* staging = shmat(id, nullptr, 0);
    if (reinterpret_cast<std::intptr_t>(staging) == -1) {
        shmctl(id, IPC_RMID, nullptr);
        return false;
    }
    std::memcpy(staging, start, bytes);
    const void* at = shmat(id, start, SHM_REMAP);
    shmdt(staging);
    if (at != start) {
        shmctl(id, IPC_RMID, nullptr);
        return false;
    }
    shared.start = start;
    shared.bytes = bytes;
    shared.segment_id = id;
    return true;
}

// Lets the X server attach the segment and describes the range as one image.
bool attach_window(int pitch_words) {
    sharing.segment.shmid = shared.segment_id;
    // Xlib's records name the memory without const; the server only reads it.
    auto* shared_bytes = const_cast<char*>(shared.start);
    sharing.segment.shmaddr = shared_bytes;
    sharing.segment.readOnly = True;  // the server only reads it
    attach_failed = false;
    XErrorHandler previous = XSetErrorHandler(note_attach_error);
    const Status status = XShmAttach(sharing.display, &sharing.segment);
    XSync(sharing.display, False);
    XSetErrorHandler(previous);
    // Marked for removal once both sides have attached: the segment goes away
    // with the process however it ends. Later windows may still attach it.
    shmctl(shared.segment_id, IPC_RMID, nullptr);
    if (status == 0 || attach_failed) {
        return false;
    }
    sharing.attached = true;
    const std::size_t row_bytes = static_cast<std::size_t>(pitch_words) * BYTES_PER_WORD;
    sharing.image = XShmCreateImage(sharing.display, sharing.visual, 24, ZPixmap, shared_bytes,
                                    &sharing.segment, static_cast<unsigned>(pitch_words),
                                    static_cast<unsigned>(shared.bytes / row_bytes));
    if (sharing.image == nullptr) {
        return false;
    }
    const int host_order = std::endian::native == std::endian::little ? LSBFirst : MSBFirst;
    if (sharing.image->bits_per_pixel != 32 ||
        sharing.image->bytes_per_line != static_cast<int>(row_bytes) ||
        sharing.image->byte_order != host_order) {
        return false;
    }
    sharing.pitch_words = pitch_words;
    return true;
}

void release_window() {
    if (sharing.image != nullptr) {
        sharing.image->data = nullptr;  // the caller's memory, not Xlib's
        XDestroyImage(sharing.image);
    }
    if (sharing.attached) {
        XShmDetach(sharing.display, &sharing.segment);
    }
    if (sharing.gc != nullptr) {
        XFreeGC(sharing.display, sharing.gc);
    }
    if (sharing.display != nullptr) {
        XSync(sharing.display, False);
    }
    sharing = WindowSharing{};
}

}  // namespace

bool can_share_in_place(const void* first, std::size_t bytes) {
    const auto start = reinterpret_cast<std::uintptr_t>(first);
    const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    const auto storage_first = reinterpret_cast<std::uintptr_t>(etext);
    const auto storage_end = reinterpret_cast<std::uintptr_t>(end);
    return bytes > 0 && start % page == 0 && bytes % page == 0 && start >= storage_first &&
           start < storage_end && bytes <= storage_end - start;
}

bool present_shared_image(SDL_Window* window, const FrameImage& image) {
    // The first image shown decides the range shared; later ones must start
    // where it starts and lie inside it, as the program's one buffer does.
    if (shared.failed || image.width <= 0 || image.height <= 0) {
        return false;
    }
    const auto* first = reinterpret_cast<const char*>(image.pixels);
    const std::size_t bytes = static_cast<std::size_t>(image.pitch_words) * BYTES_PER_WORD *
                              static_cast<std::size_t>(image.height);
    if (shared.segment_id < 0 ? !can_share_in_place(first, bytes)
                              : first != shared.start || bytes > shared.bytes) {
        return false;
    }
    if (sharing.window != window) {
        release_window();
        sharing.unusable = !set_up_window(window);
    }
    if (sharing.unusable) {
        return false;
    }
    if (shared.segment_id < 0 && !share_range(first, bytes)) {
        shared.failed = true;
        return false;
    }
    if (sharing.image == nullptr && !attach_window(image.pitch_words)) {
        sharing.unusable = true;
        return false;
    }
    if (image.pitch_words != sharing.pitch_words) {
        return false;
    }
    XShmPutImage(sharing.display, sharing.x_window, sharing.gc, sharing.image, 0, 0, 0, 0,
                 static_cast<unsigned>(image.width), static_cast<unsigned>(image.height), False);
    // Done reading before the caller draws the next frame into the image.
    XSync(sharing.display, False);
    return true;
}

void forget_shared_image_window(SDL_Window* window) {
    if (sharing.window == window) {
        release_window();
    }
}

#else  // no X11 shared memory: every present copies

bool can_share_in_place(const void*, std::size_t) {
    return false;
}
bool present_shared_image(SDL_Window*, const FrameImage&) {
    return false;
}
void forget_shared_image_window(SDL_Window*) {}

#endif
