#include <sys/stat.h>
#include <unistd.h>

#include "machine.h"

namespace {

BOOL fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

// A medium with a bad spot: a read that reaches past the first `afterBytes` bytes fails
// whole, as a read that hits an unreadable sector does.
DWORD readFault(const winsim::OpenFile& file, off_t position, size_t count) {
    const auto& faults = winsim::machine().files.readFaults;
    auto it = faults.find(file.key);
    if (it == faults.end() || count == 0) {
        return 0;
    }
    return static_cast<uint64_t>(position) + count > it->second.afterBytes ? it->second.error : 0;
}

size_t bytesLeft(int fd, off_t position) {
    struct stat st;
    if (fstat(fd, &st) != 0 || st.st_size <= position) {
        return 0;
    }
    return static_cast<size_t>(st.st_size - position);
}

// How many bytes past the end of the file a write would add.
uint64_t growth(int fd, size_t count) {
    struct stat st;
    const off_t position = lseek(fd, 0, SEEK_CUR);
    if (fstat(fd, &st) != 0 || position < 0) {
        return 0;
    }
    const uint64_t end = static_cast<uint64_t>(position) + count;
    return end > static_cast<uint64_t>(st.st_size) ? end - st.st_size : 0;
}

} // namespace

// Both calls zero the count before doing anything else, so a failed call reports 0 bytes.
BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
                     LPDWORD lpNumberOfBytesRead, LPOVERLAPPED lpOverlapped) {
    (void)lpOverlapped;
    if (lpNumberOfBytesRead) {
        *lpNumberOfBytesRead = 0;
    }
    winsim::OpenFile* file = winsim::machine().files.file(hFile);
    if (!file) {
        return fail(ERROR_INVALID_HANDLE);
    }
    if (!winsim::readsData(file->use.access)) {
        return fail(ERROR_ACCESS_DENIED);
    }
    const off_t position = lseek(file->fd, 0, SEEK_CUR);
    const size_t available = std::min<size_t>(nNumberOfBytesToRead, bytesLeft(file->fd, position));
    if (DWORD error = readFault(*file, position, available)) {
        return fail(error);
    }
    const ssize_t n = ::read(file->fd, lpBuffer, available);
    if (n < 0) {
        return fail(ERROR_READ_FAULT);
    }
    if (lpNumberOfBytesRead) {
        *lpNumberOfBytesRead = static_cast<DWORD>(n);
    }
    return TRUE;
}

// On a full disk NTFS refuses a write whose new clusters it cannot reserve before it copies
// anything: the call fails with ERROR_DISK_FULL and writes nothing (Windows does not report
// a short count with TRUE on a local disk).
BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
                      LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped) {
    (void)lpOverlapped;
    if (lpNumberOfBytesWritten) {
        *lpNumberOfBytesWritten = 0;
    }
    winsim::FileSystem& fs = winsim::machine().files;
    winsim::OpenFile* file = fs.file(hFile);
    if (!file) {
        return fail(ERROR_INVALID_HANDLE);
    }
    if (!winsim::writesData(file->use.access)) {
        return fail(ERROR_ACCESS_DENIED);
    }
    const uint64_t added = growth(file->fd, nNumberOfBytesToWrite);
    if (fs.diskLimited && added > fs.diskFreeBytes) {
        return fail(ERROR_DISK_FULL);
    }
    const ssize_t n = ::write(file->fd, lpBuffer, nNumberOfBytesToWrite);
    if (n < 0) {
        return fail(ERROR_WRITE_FAULT);
    }
    if (fs.diskLimited) {
        fs.diskFreeBytes -= added;
    }
    if (lpNumberOfBytesWritten) {
        *lpNumberOfBytesWritten = static_cast<DWORD>(n);
    }
    return TRUE;
}
