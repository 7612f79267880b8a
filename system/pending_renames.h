// The session manager's queue of boot-time file operations ("PendingFileRenameOperations"):
// read, delete at once what is only queued for deletion, and tell whether a product DLL is
// still waiting for a reboot. Nothing here writes the registry.
#pragma once

#include <windows.h>

// A snapshot of the queue: names[2k] is the source and names[2k + 1] the target of pair k,
// as stored (prefix kept), null when empty. exists[i] is 1 when names[i] names an existing
// file that is not a directory. count 0: both arrays are null.
struct PendingRenameList {
    WCHAR** names;
    LONG* exists;
    LONG count;
};

PendingRenameList readPendingRenames();
// Deletes each existing source queued for deletion (empty target) and clears its flag.
void deletePendingDeletions(PendingRenameList& list);
void releasePendingRenames(PendingRenameList& list);

// True when, after deleting what can be deleted and restarting the spooler twice, a source
// of the queue still names one of the product's DLLs. Writes no log.
bool productFilesPendingRename();
