#include "system/deferred_files.h"

#include "record/install_context.h"
#include "log/install_log.h"
#include "log/text_utils.h"

namespace {

bool isListed(const DeferredFile* node, const WCHAR* path) {
    for (; node != nullptr; node = node->next) {
        if (sameText(node->path, path)) {
            return true;
        }
    }
    return false;
}

// A file someone else removed meanwhile is as good as deleted. A missing directory is
// not: the path may sit on a volume that is not mounted yet, so the reboot gets to try.
bool isGone(const WCHAR* path) {
    return DeleteFileW(path) || GetLastError() == ERROR_FILE_NOT_FOUND;
}

} // namespace

// A node without a path could only hand a null path to DeleteFileW and to the reboot
// scheduling: an empty path names no file, and out of memory the file is not listed.
void addDeferredFile(DeferredFile*& head, const WCHAR* path) {
    if (textLength(path) == 0 || isListed(head, path)) {
        return;
    }
    WCHAR* copy = duplicateText(path);
    if (copy == nullptr) {
        return;
    }
    DeferredFile* node =
        static_cast<DeferredFile*>(GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, sizeof(DeferredFile)));
    if (node == nullptr) {
        GlobalFree(copy);
        return;
    }
    node->path = copy;
    node->next = head;
    head = node;
}

void dropDeferredFile(DeferredFile*& head, const WCHAR* path) {
    for (DeferredFile** link = &head; *link != nullptr; link = &(*link)->next) {
        DeferredFile* node = *link;
        if (sameText(node->path, path)) {
            *link = node->next;
            node->next = nullptr;
            freeDeferredFiles(node);
            return;
        }
    }
}

void deleteDeferredFiles(InstallContext& context) {
    logLine(context, L"DeleteFile-try");
    DeferredFile** link = &context.deferredFiles;
    while (*link != nullptr) {
        DeferredFile* node = *link;
        if (!isGone(node->path)) {
            link = &node->next;
            continue;
        }
        *link = node->next;
        node->next = nullptr;
        freeDeferredFiles(node);
    }
}

// Iterative, so a long list cannot exhaust the stack.
void freeDeferredFiles(DeferredFile* node) {
    while (node != nullptr) {
        DeferredFile* next = node->next;
        GlobalFree(node->path);
        GlobalFree(node);
        node = next;
    }
}
