// The kernel file calls on POSIX, with the Windows behaviour the program
// relies on. A HANDLE carries a file descriptor; failures return the Windows
// failure value and leave a Windows error code for GetLastError().
#include <cerrno>
#include <cstdint>
#include <cstdio>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/standin/backend.h"

namespace {

DWORD last_error = ERROR_SUCCESS;
FileMovedHandler file_moved_handler = nullptr;

constexpr DWORD GENERIC_READ_BIT = 0x80000000;

// Handles are multiples of four starting at 4, like kernel handles on
// Windows, so neither 0 nor INVALID_HANDLE_VALUE ever names a descriptor.
HANDLE handle_from_fd(int fd) {
    const std::intptr_t value = (static_cast<std::intptr_t>(fd) + 1) * 4;
    return reinterpret_cast<HANDLE>(value);  // NOLINT(performance-no-int-to-ptr)
}

// A failed create: the error for GetLastError() and the "no file" handle.
HANDLE create_failed(DWORD error) {
    last_error = error;
    return INVALID_HANDLE_VALUE;  // NOLINT(performance-no-int-to-ptr)
}

int fd_from_handle(HANDLE handle) {
    const std::intptr_t value = reinterpret_cast<std::intptr_t>(handle);
    if (value <= 0 || value % 4 != 0 || value / 4 - 1 > INT32_MAX)
        return -1;
    return static_cast<int>(value / 4 - 1);
}

DWORD error_from_errno(int error) {
    switch (error) {
        case ENOENT:
            return ERROR_FILE_NOT_FOUND;
        case ENOTDIR:
        case ENAMETOOLONG:
        case ELOOP:
            return ERROR_PATH_NOT_FOUND;
        case EACCES:
        case EPERM:
        case EISDIR:
        case EROFS:
        case ETXTBSY:
        case EBUSY:
        case ENOTEMPTY:
        case EXDEV:
            return ERROR_ACCESS_DENIED;
        case EEXIST:
            return ERROR_FILE_EXISTS;
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            return ERROR_DISK_FULL;
        case EIO:
            return ERROR_WRITE_FAULT;
        case EBADF:
            return ERROR_INVALID_HANDLE;
        case EINVAL:
            return ERROR_INVALID_PARAMETER;
        default:
            return ERROR_GEN_FAILURE;
    }
}

BOOL fail(DWORD error) {
    last_error = error;
    return FALSE;
}

BOOL fail_errno() {
    return fail(error_from_errno(errno));
}

// Writes all `size` bytes unless an error stops it; returns the count written.
DWORD write_all(int fd, const std::uint8_t* data, DWORD size, int* error) {
    DWORD done = 0;
    *error = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, data + done, size - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            *error = errno;
            break;
        }
        if (n == 0) {
            *error = ENOSPC;
            break;
        }
        done += static_cast<DWORD>(n);
    }
    return done;
}

// Makes a finished rename durable: the directory entry itself is flushed.
// Best effort, since some file systems refuse to sync a directory; the move
// has already happened by then.
void sync_parent_directory(LPCSTR path) {
    char directory[4096];
    int slash = -1;
    int length = 0;
    for (; path[length] != '\0'; ++length) {
        if (length + 1 >= static_cast<int>(sizeof directory))
            return;
        directory[length] = path[length];
        if (path[length] == '/')
            slash = length;
    }
    if (slash < 0) {
        directory[0] = '.';
        directory[1] = '\0';
    } else {
        directory[slash == 0 ? 1 : slash] = '\0';
    }
    const int fd = ::open(directory, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    (void)::fsync(fd);
    (void)::close(fd);
}

}  // namespace

HANDLE CreateFileA(LPCSTR file_name, DWORD desired_access, DWORD /*share_mode*/,
                   LPSECURITY_ATTRIBUTES /*security*/, DWORD creation_disposition,
                   DWORD /*flags_and_attributes*/, HANDLE /*template_file*/) {
    if (file_name == nullptr)
        return create_failed(ERROR_INVALID_PARAMETER);
    int flags = O_CLOEXEC;
    const bool reads = (desired_access & GENERIC_READ_BIT) != 0;
    const bool writes = (desired_access & GENERIC_WRITE) != 0;
    flags |= reads && writes ? O_RDWR : writes ? O_WRONLY : O_RDONLY;
    switch (creation_disposition) {
        case CREATE_NEW:  // fails if the name exists, even as a dangling link
            flags |= O_CREAT | O_EXCL;
            break;
        case CREATE_ALWAYS:  // creates, or truncates an existing file
            flags |= O_CREAT | O_TRUNC;
            break;
        default:
            return create_failed(ERROR_INVALID_PARAMETER);
    }
    int fd;
    do {
        fd = ::open(file_name, flags, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return create_failed(error_from_errno(errno));
    return handle_from_fd(fd);
}

BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD bytes_to_write, LPDWORD bytes_written,
               LPOVERLAPPED /*overlapped*/) {
    if (bytes_written != nullptr)
        *bytes_written = 0;
    const int fd = fd_from_handle(file);
    if (fd < 0)
        return fail(ERROR_INVALID_HANDLE);
    if (buffer == nullptr && bytes_to_write != 0)
        return fail(ERROR_INVALID_PARAMETER);
    // A write to a file on Windows completes whole or fails, so short writes
    // of the kernel are continued here.
    int error = 0;
    const DWORD done =
        write_all(fd, static_cast<const std::uint8_t*>(buffer), bytes_to_write, &error);
    if (bytes_written != nullptr)
        *bytes_written = done;
    if (error != 0)
        return fail(error_from_errno(error));
    return TRUE;
}

BOOL FlushFileBuffers(HANDLE file) {
    const int fd = fd_from_handle(file);
    if (fd < 0)
        return fail(ERROR_INVALID_HANDLE);
    if (::fsync(fd) != 0)
        return fail_errno();
    return TRUE;
}

BOOL CloseHandle(HANDLE object) {
    const int fd = fd_from_handle(object);
    if (fd < 0)
        return fail(ERROR_INVALID_HANDLE);
    // The descriptor is released even when close reports an error, so a
    // failed close never leaks it.
    const int result = ::close(fd);
    if (result != 0 && errno != EINTR)
        return fail_errno();
    return TRUE;
}

BOOL MoveFileExA(LPCSTR existing_name, LPCSTR new_name, DWORD flags) {
    if (existing_name == nullptr || new_name == nullptr)
        return fail(ERROR_INVALID_PARAMETER);
    if ((flags & MOVEFILE_REPLACE_EXISTING) != 0) {
        // Replacing a directory with a file fails on Windows; rename(2)
        // refuses it too (EISDIR), and swaps the entry in one step otherwise.
        struct stat target {};
        if (::lstat(new_name, &target) == 0 && S_ISDIR(target.st_mode)) {
            return fail(ERROR_ACCESS_DENIED);
        }
        if (::rename(existing_name, new_name) != 0)
            return fail_errno();
    } else {
        // Without the replace flag an existing target makes the move fail:
        // link(2) refuses an existing name, then the old name goes.
        if (::link(existing_name, new_name) != 0)
            return fail_errno();
        if (::unlink(existing_name) != 0) {
            const int error = errno;
            (void)::unlink(new_name);
            return fail(error_from_errno(error));
        }
    }
    if ((flags & MOVEFILE_WRITE_THROUGH) != 0)
        sync_parent_directory(new_name);
    if (file_moved_handler != nullptr)
        file_moved_handler(new_name);
    return TRUE;
}

BOOL DeleteFileA(LPCSTR file_name) {
    if (file_name == nullptr)
        return fail(ERROR_INVALID_PARAMETER);
    // DeleteFileA removes files only; unlink(2) on a directory fails with
    // EISDIR on Linux but not everywhere, so check first.
    struct stat target {};
    if (::lstat(file_name, &target) == 0 && S_ISDIR(target.st_mode)) {
        return fail(ERROR_ACCESS_DENIED);
    }
    if (::unlink(file_name) != 0)
        return fail_errno();
    return TRUE;
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
