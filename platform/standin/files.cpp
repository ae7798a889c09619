// The kernel file calls on POSIX, with the Windows behaviour the program
// relies on: create a new file for writing, write it whole, flush, close,
// replace a file by renaming over it, delete. A HANDLE carries a file
// descriptor; failures return the Windows failure value and leave a Windows
// error code for GetLastError(). Arguments the program never passes (other
// access modes or dispositions, a move that must not replace) fail with
// ERROR_INVALID_PARAMETER.
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/standin/backend.h"

namespace {

DWORD last_error = ERROR_SUCCESS;
FileMovedHandler file_moved_handler = nullptr;

// Handles are multiples of four from 4 on, like kernel handles on Windows, so
// neither 0 nor INVALID_HANDLE_VALUE ever names a descriptor.
HANDLE handle_from_fd(int fd) {
    const std::intptr_t value = (static_cast<std::intptr_t>(fd) + 1) * 4;
    return reinterpret_cast<HANDLE>(value);  // NOLINT(performance-no-int-to-ptr)
}

int fd_from_handle(HANDLE handle) {
    const std::intptr_t value = reinterpret_cast<std::intptr_t>(handle);
    if (value <= 0 || value % 4 != 0 || value / 4 - 1 > INT32_MAX) {
        return -1;
    }
    return static_cast<int>(value / 4 - 1);
}

// The Windows error for an errno value; anything else is a general failure.
struct ErrorPair {
    int posix;
    DWORD windows;
};
constexpr ErrorPair ERRORS[] = {{ENOENT, ERROR_FILE_NOT_FOUND},
                                {ENOTDIR, ERROR_PATH_NOT_FOUND},
                                {ENAMETOOLONG, ERROR_PATH_NOT_FOUND},
                                {ELOOP, ERROR_PATH_NOT_FOUND},
                                {EACCES, ERROR_ACCESS_DENIED},
                                {EPERM, ERROR_ACCESS_DENIED},
                                {EISDIR, ERROR_ACCESS_DENIED},
                                {EROFS, ERROR_ACCESS_DENIED},
                                {EBUSY, ERROR_ACCESS_DENIED},
                                {EXDEV, ERROR_ACCESS_DENIED},
                                {EEXIST, ERROR_FILE_EXISTS},
                                {ENOSPC, ERROR_DISK_FULL},
                                {EDQUOT, ERROR_DISK_FULL},
                                {EFBIG, ERROR_DISK_FULL},
                                {EIO, ERROR_WRITE_FAULT},
                                {EBADF, ERROR_INVALID_HANDLE}};

DWORD error_from_errno(int error) {
    for (const ErrorPair& pair : ERRORS) {
        if (pair.posix == error) {
            return pair.windows;
        }
    }
    return ERROR_GEN_FAILURE;
}

BOOL fail(DWORD error) {
    last_error = error;
    return FALSE;
}

HANDLE create_failed(DWORD error) {
    last_error = error;
    return INVALID_HANDLE_VALUE;  // NOLINT(performance-no-int-to-ptr)
}

bool is_directory(LPCSTR name) {
    struct stat target {};
    return ::lstat(name, &target) == 0 && S_ISDIR(target.st_mode);
}

// Makes a finished rename durable by flushing the directory entry itself.
// Best effort: some file systems refuse to sync a directory, and the move has
// happened by then.
void sync_parent_directory(LPCSTR path) {
    char directory[4096] = ".";  // a bare name lies in the current directory
    if (const char* slash = std::strrchr(path, '/'); slash != nullptr) {
        const auto length = std::max<std::size_t>(static_cast<std::size_t>(slash - path), 1);
        if (length >= sizeof directory) {
            return;
        }
        std::memcpy(directory, path, length);  // "/name" lies in "/"
        directory[length] = '\0';
    }
    const int fd = ::open(directory, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        (void)::fsync(fd);
        (void)::close(fd);
    }
}

}  // namespace

HANDLE CreateFileA(LPCSTR file_name, DWORD desired_access, DWORD /*share_mode*/,
                   LPSECURITY_ATTRIBUTES /*security*/, DWORD creation_disposition,
                   DWORD /*flags_and_attributes*/, HANDLE /*template_file*/) {
    if (file_name == nullptr || desired_access != GENERIC_WRITE ||
        creation_disposition != CREATE_NEW) {
        return create_failed(ERROR_INVALID_PARAMETER);
    }
    // Fails if the name exists, even as a dangling link.
    int fd = -1;
    do {
        fd = ::open(file_name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    return fd < 0 ? create_failed(error_from_errno(errno)) : handle_from_fd(fd);
}

BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD bytes_to_write, LPDWORD bytes_written,
               LPOVERLAPPED /*overlapped*/) {
    if (bytes_written != nullptr) {
        *bytes_written = 0;
    }
    const int fd = fd_from_handle(file);
    if (fd < 0) {
        return fail(ERROR_INVALID_HANDLE);
    }
    if (buffer == nullptr && bytes_to_write != 0) {
        return fail(ERROR_INVALID_PARAMETER);
    }
    // A write to a file on Windows completes whole or fails, so the kernel's
    // short writes are continued here.
    const auto* data = static_cast<const std::uint8_t*>(buffer);
    DWORD done = 0;
    int error = 0;
    while (done < bytes_to_write && error == 0) {
        const ssize_t n = ::write(fd, data + done, bytes_to_write - done);
        if (n > 0) {
            done += static_cast<DWORD>(n);
        } else if (n == 0 || errno != EINTR) {
            error = n == 0 ? ENOSPC : errno;  // no progress means no room
        }
    }
    if (bytes_written != nullptr) {
        *bytes_written = done;
    }
    return error == 0 ? TRUE : fail(error_from_errno(error));
}

BOOL FlushFileBuffers(HANDLE file) {
    const int fd = fd_from_handle(file);
    if (fd < 0) {
        return fail(ERROR_INVALID_HANDLE);
    }
    return ::fsync(fd) == 0 ? TRUE : fail(error_from_errno(errno));
}

BOOL CloseHandle(HANDLE object) {
    const int fd = fd_from_handle(object);
    if (fd < 0) {
        return fail(ERROR_INVALID_HANDLE);
    }
    // The descriptor is released even when close reports an error.
    if (::close(fd) != 0 && errno != EINTR) {
        return fail(error_from_errno(errno));
    }
    return TRUE;
}

BOOL MoveFileExA(LPCSTR existing_name, LPCSTR new_name, DWORD flags) {
    if (existing_name == nullptr || new_name == nullptr ||
        (flags & MOVEFILE_REPLACE_EXISTING) == 0) {
        return fail(ERROR_INVALID_PARAMETER);
    }
    // Windows refuses to replace a directory with a file; rename(2) swaps
    // the entry in one step otherwise.
    if (is_directory(new_name)) {
        return fail(ERROR_ACCESS_DENIED);
    }
    if (::rename(existing_name, new_name) != 0) {
        return fail(error_from_errno(errno));
    }
    if ((flags & MOVEFILE_WRITE_THROUGH) != 0) {
        sync_parent_directory(new_name);
    }
    if (file_moved_handler != nullptr) {
        file_moved_handler(new_name);
    }
    return TRUE;
}

BOOL DeleteFileA(LPCSTR file_name) {
    if (file_name == nullptr) {
        return fail(ERROR_INVALID_PARAMETER);
    }
    // DeleteFileA removes files only; unlink(2) of a directory is not refused
    // everywhere.
    if (is_directory(file_name)) {
        return fail(ERROR_ACCESS_DENIED);
    }
    return ::unlink(file_name) == 0 ? TRUE : fail(error_from_errno(errno));
}

DWORD GetCurrentProcessId() {
    return static_cast<DWORD>(::getpid());
}

DWORD GetLastError() {
    return last_error;
}

void SetLastError(DWORD error) {
    last_error = error;
}

void set_file_moved_handler(FileMovedHandler handler) {
    file_moved_handler = handler;
}
