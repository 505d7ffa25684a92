/* file.cpp - kernel file handles and read-only file mappings on POSIX
 * descriptors and mmap. A handle is checked against the live set before use,
 * so a stale or foreign handle fails cleanly; a view outlives the handles it
 * was made from, as on the device. The last error follows errno. */
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>
#include <unordered_map>
#include <unordered_set>

#include "platform/platform_internal.h"
#include "winapi.h"

namespace kesra::platform {
namespace {

struct FileObject {
    int fd = -1;
};

/* A mapping keeps its own descriptor, so that closing the file handle first
 * (as the library does) leaves the mapping usable. */
struct MappingObject {
    int fd = -1;
    uint64_t size = 0;
};

struct Kernel {
    std::mutex mutex;
    std::unordered_set<void*> files;
    std::unordered_set<void*> mappings;
    std::unordered_map<const void*, size_t> views;  // address -> mapped length
};

Kernel& kernel() {
    static Kernel k;
    return k;
}

FileObject* as_file(HANDLE handle) {
    Kernel& k = kernel();
    std::lock_guard<std::mutex> lock(k.mutex);
    return k.files.count(handle) ? static_cast<FileObject*>(handle) : nullptr;
}

MappingObject* as_mapping(HANDLE handle) {
    Kernel& k = kernel();
    std::lock_guard<std::mutex> lock(k.mutex);
    return k.mappings.count(handle) ? static_cast<MappingObject*>(handle) : nullptr;
}

DWORD error_from_errno(int e) {
    switch (e) {
        case 0:
            return ERROR_SUCCESS;
        case ENOENT:
            return ERROR_FILE_NOT_FOUND;
        case ENOTDIR:
            return ERROR_PATH_NOT_FOUND;
        case EACCES:
        case EPERM:
        case EROFS:
            return ERROR_ACCESS_DENIED;
        case EBADF:
            return ERROR_INVALID_HANDLE;
        case ENOMEM:
            return ERROR_NOT_ENOUGH_MEMORY;
        default:
            return ERROR_INVALID_PARAMETER;
    }
}

int errno_from_error(DWORD code) {
    switch (code) {
        case ERROR_SUCCESS:
            return 0;
        case ERROR_FILE_NOT_FOUND:
            return ENOENT;
        case ERROR_PATH_NOT_FOUND:
            return ENOTDIR;
        case ERROR_ACCESS_DENIED:
            return EACCES;
        case ERROR_INVALID_HANDLE:
            return EBADF;
        case ERROR_NOT_ENOUGH_MEMORY:
            return ENOMEM;
        default:
            return EINVAL;
    }
}

/* SetLastError's code, valid while errno still holds the value it set. */
thread_local DWORD t_set_code = 0;
thread_local int t_set_errno = -1;

void fail_with(DWORD code) { SetLastError(code); }

}  // namespace

bool close_file_object(HANDLE handle) {
    Kernel& k = kernel();
    int fd = -1;
    {
        std::lock_guard<std::mutex> lock(k.mutex);
        if (k.files.erase(handle)) {
            auto* file = static_cast<FileObject*>(handle);
            fd = file->fd;
            delete file;
        } else if (k.mappings.erase(handle)) {
            auto* mapping = static_cast<MappingObject*>(handle);
            fd = mapping->fd;
            delete mapping;
        } else {
            return false;
        }
    }
    if (fd >= 0) ::close(fd);
    return true;
}

}  // namespace kesra::platform

using namespace kesra::platform;

extern "C" DWORD GetLastError(void) {
    const int e = errno;
    if (e == t_set_errno) return t_set_code;
    return error_from_errno(e);
}

extern "C" void SetLastError(DWORD code) {
    t_set_code = code;
    t_set_errno = errno_from_error(code);
    errno = t_set_errno;
}

/* Only reading is offered: the library opens existing files for reading. */
extern "C" HANDLE CreateFileW(LPCWSTR path, DWORD access, DWORD, void*, DWORD creation, DWORD, HANDLE) {
    if (!path || !*path || access != GENERIC_READ || creation != OPEN_EXISTING) {
        fail_with(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    const int fd = ::open(native_path(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        fail_with(error_from_errno(errno));
        return INVALID_HANDLE_VALUE;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        fail_with(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    auto* file = new FileObject{fd};
    Kernel& k = kernel();
    std::lock_guard<std::mutex> lock(k.mutex);
    k.files.insert(file);
    return file;
}

extern "C" BOOL DeleteFileW(LPCWSTR path) {
    if (!path || !*path) {
        fail_with(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (::unlink(native_path(path).c_str()) != 0) {
        fail_with(error_from_errno(errno));
        return FALSE;
    }
    return TRUE;
}

extern "C" BOOL ReadFile(HANDLE handle, void* buffer, DWORD bytes, DWORD* bytes_read, void*) {
    if (bytes_read) *bytes_read = 0;
    FileObject* file = as_file(handle);
    if (!file) {
        fail_with(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!buffer && bytes) {
        fail_with(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    DWORD total = 0;
    auto* out = static_cast<uint8_t*>(buffer);
    while (total < bytes) {
        const ssize_t n = ::read(file->fd, out + total, bytes - total);
        if (n < 0) {
            if (errno == EINTR) continue;
            fail_with(error_from_errno(errno));
            if (bytes_read) *bytes_read = total;
            return FALSE;
        }
        if (n == 0) break;  // end of file: a short read succeeds
        total += static_cast<DWORD>(n);
    }
    if (bytes_read) *bytes_read = total;
    return TRUE;
}

extern "C" DWORD GetFileSize(HANDLE handle, DWORD* size_high) {
    FileObject* file = as_file(handle);
    struct stat st;
    if (!file || ::fstat(file->fd, &st) != 0) {
        fail_with(ERROR_INVALID_HANDLE);
        return INVALID_FILE_SIZE;
    }
    const uint64_t size = static_cast<uint64_t>(st.st_size);
    if (size_high) *size_high = static_cast<DWORD>(size >> 32);
    return static_cast<DWORD>(size);
}

extern "C" DWORD SetFilePointer(HANDLE handle, LONG distance, LONG* distance_high, DWORD method) {
    FileObject* file = as_file(handle);
    if (!file || method > FILE_END) {
        fail_with(file ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
        return INVALID_SET_FILE_POINTER;
    }
    /* Without a high part the distance is a signed 32-bit value. */
    int64_t offset = distance;
    if (distance_high)
        offset = static_cast<int64_t>((static_cast<uint64_t>(static_cast<uint32_t>(*distance_high)) << 32) |
                                      static_cast<uint32_t>(distance));
    const int whence = method == FILE_BEGIN ? SEEK_SET : method == FILE_CURRENT ? SEEK_CUR : SEEK_END;
    const off_t at = ::lseek(file->fd, static_cast<off_t>(offset), whence);
    if (at < 0) {
        fail_with(ERROR_INVALID_PARAMETER);
        return INVALID_SET_FILE_POINTER;
    }
    if (distance_high) *distance_high = static_cast<LONG>(static_cast<uint64_t>(at) >> 32);
    return static_cast<DWORD>(at);
}

/* The mapping covers the whole file (size 0/0) or the size asked, which may
 * not exceed the file: a read-only mapping cannot grow it. An empty file
 * cannot be mapped, as on the system. */
extern "C" HANDLE CreateFileMappingW(HANDLE handle, void*, DWORD protect, DWORD size_high, DWORD size_low,
                                     LPCWSTR) {
    FileObject* file = as_file(handle);
    if (!file) {
        fail_with(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (protect != PAGE_READONLY) {
        fail_with(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    struct stat st;
    if (::fstat(file->fd, &st) != 0) {
        fail_with(error_from_errno(errno));
        return nullptr;
    }
    const uint64_t file_size = static_cast<uint64_t>(st.st_size);
    uint64_t size = (static_cast<uint64_t>(size_high) << 32) | size_low;
    if (size == 0) size = file_size;
    if (size == 0 || size > file_size) {
        fail_with(size == 0 ? ERROR_FILE_INVALID : ERROR_ACCESS_DENIED);
        return nullptr;
    }
    const int fd = ::fcntl(file->fd, F_DUPFD_CLOEXEC, 0);
    if (fd < 0) {
        fail_with(error_from_errno(errno));
        return nullptr;
    }
    auto* mapping = new MappingObject{fd, size};
    Kernel& k = kernel();
    std::lock_guard<std::mutex> lock(k.mutex);
    k.mappings.insert(mapping);
    return mapping;
}

extern "C" void* MapViewOfFile(HANDLE handle, DWORD access, DWORD offset_high, DWORD offset_low,
                               size_t bytes) {
    MappingObject* mapping = as_mapping(handle);
    if (!mapping) {
        fail_with(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    const uint64_t offset = (static_cast<uint64_t>(offset_high) << 32) | offset_low;
    const uint64_t page = static_cast<uint64_t>(::sysconf(_SC_PAGESIZE));
    if (access != FILE_MAP_READ || offset % page != 0 || offset >= mapping->size ||
        bytes > mapping->size - offset) {
        fail_with(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const size_t length = bytes ? bytes : static_cast<size_t>(mapping->size - offset);
    void* view = ::mmap(nullptr, length, PROT_READ, MAP_PRIVATE, mapping->fd, static_cast<off_t>(offset));
    if (view == MAP_FAILED) {
        fail_with(error_from_errno(errno));
        return nullptr;
    }
    Kernel& k = kernel();
    std::lock_guard<std::mutex> lock(k.mutex);
    k.views[view] = length;
    return view;
}

namespace kesra::platform {

size_t view_bytes_from(const void* p) {
    const auto at = reinterpret_cast<uintptr_t>(p);
    Kernel& k = kernel();
    std::lock_guard<std::mutex> lock(k.mutex);
    for (const auto& [view, length] : k.views) {
        const auto start = reinterpret_cast<uintptr_t>(view);
        if (at >= start && at - start < length) return length - (at - start);
    }
    return 0;
}

}  // namespace kesra::platform

extern "C" BOOL UnmapViewOfFile(const void* view) {
    size_t length = 0;
    {
        Kernel& k = kernel();
        std::lock_guard<std::mutex> lock(k.mutex);
        auto it = k.views.find(view);
        if (it == k.views.end()) {
            fail_with(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        length = it->second;
        k.views.erase(it);
    }
    ::munmap(const_cast<void*>(view), length);
    return TRUE;
}
