// The files of the simulated machine. Contents live on the host under <machine>/drive_c;
// this model keeps what the host cannot: attributes such as read-only, the handles the
// program has open, files held open or mapped by other processes, delete-pending files,
// and the faults of the medium that tests switch on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include <windows.h>

namespace winsim {

// What one opener (a handle of this process or a hold of another) does with a file and
// what it lets others do: the two halves of the share check.
struct FileUse {
    DWORD access = 0; // desired access as passed to CreateFileW
    DWORD share = 0;  // FILE_SHARE_* bits
};

struct OpenFile {
    std::string key;  // case-folded Windows path
    std::string host; // host path of the open file
    FileUse use;
    int fd = -1;
};

// A file that another process has open (or mapped as a loaded image) from the machine's
// point of view; untilMs 0 holds it until released.
struct FileHold {
    std::string path;
    std::string key;
    std::string owner;
    FileUse use;
    bool image = false;
    uint64_t untilMs = 0;
    unsigned refusalsLeft = 0; // deletions to refuse before letting go; 0: no such limit
};

struct ReadFault {
    uint64_t afterBytes = 0;
    DWORD error = ERROR_READ_FAULT;
};

bool readsData(DWORD access);
bool writesData(DWORD access);
bool deletes(DWORD access);

class FileSystem {
  public:
    FileSystem() = default;
    FileSystem(const FileSystem&) = delete;
    FileSystem& operator=(const FileSystem&) = delete;
    ~FileSystem();

    // Handles of the installer's process. file() is the one place that decides whether a
    // HANDLE is an open file handle.
    HANDLE addHandle(OpenFile file);
    OpenFile* file(HANDLE handle);
    bool closeHandle(HANDLE handle);
    size_t openHandles() const { return handles_.size(); }

    // Other processes. The spooler holds monitor and driver DLLs while it runs; the
    // services model lets them go (releaseHolds("spooler")) when it stops.
    void holdFile(const std::string& path, const std::string& owner, DWORD access, DWORD share,
                  bool image, uint64_t forMs = 0, unsigned refusals = 0);
    void releaseHolds(const std::string& owner);
    // The owner lets go of one file (the spooler unloading one DLL).
    void releaseHold(const std::string& path, const std::string& owner);
    void releaseAllHolds();
    // A deletion of the file was refused: holds that let go after so many refusals count it.
    void deleteRefused(const std::string& key);

    // 0 when a new opener with `use` may open the file `key`, else ERROR_SHARING_VIOLATION.
    DWORD shareConflict(const std::string& key, const FileUse& use);
    bool isImageMapped(const std::string& key);
    bool hasOpeners(const std::string& key);

    // Attributes beyond directory/archive, by key; kept with the path as written.
    DWORD extraAttributes(const std::string& key) const;
    void setExtraAttributes(const std::string& path, DWORD attributes);
    void forgetAttributes(const std::string& key);

    // DeleteFileW while others have the file open with FILE_SHARE_DELETE: the name stays
    // until the last opener lets go.
    void markDeletePending(const std::string& key, const std::string& host);
    bool isDeletePending(const std::string& key) const;
    // Removes the file from the host and the model; a full disk gets its space back.
    void removeFile(const std::string& key, const std::string& host);

    // Faults of the medium.
    uint64_t failingOpenCostMs = 0;
    bool diskLimited = false;
    uint64_t diskFreeBytes = 0;
    std::map<std::string, ReadFault> readFaults; // by key
    // Programs that open a file as soon as someone has written it (an on-access scanner),
    // by key: the Windows path and the program. Not saved with the machine.
    std::map<std::string, std::pair<std::string, std::string>> holdAfterWrite;

    // A fresh drive C: with the Windows and product directories, empty.
    void reset();
    bool save(const std::string& dir) const;
    bool load(const std::string& dir);

    // Holds whose time is up go, and delete-pending files nobody opens any more vanish.
    // Every call that looks a file up first brings the model up to the clock.
    void settle();

  private:
    void closeAll();

    std::map<uintptr_t, OpenFile> handles_;
    std::vector<FileHold> holds_;
    std::map<std::string, std::pair<std::string, DWORD>> attributes_; // key -> path, bits
    std::map<std::string, std::string> deletePending_;                // key -> host path
};

} // namespace winsim
