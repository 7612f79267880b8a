// Files the run wants gone but could not delete yet (still held by the spooler): tried
// again later, and finally handed to Windows for deletion at the next reboot.
#pragma once

#include <windows.h>

struct InstallContext;

// One node of the list, newest first. A node owns its path and every node behind it.
struct DeferredFile {
    WCHAR* path; // GlobalAlloc copy, never null
    DeferredFile* next;
};

// Adds a copy of path at the head unless an equal path (case-sensitive) is listed.
void addDeferredFile(DeferredFile*& head, const WCHAR* path);
// Takes path off the list (a path is listed at most once): the file there now holds
// contents the run wants to keep.
void dropDeferredFile(DeferredFile*& head, const WCHAR* path);
// "DeleteFile-try": deletes every listed file and drops the nodes of files that are gone.
void deleteDeferredFiles(InstallContext& context);
// Frees the node's path, every node behind it, and the node; null does nothing.
void freeDeferredFiles(DeferredFile* node);
