// The session manager's queue of boot-time file operations: the REG_MULTI_SZ value
// HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\PendingFileRenameOperations,
// pairs of NT paths (source, then target; an empty target deletes, a "!" before the target
// replaces an existing file).
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace winsim {

using BootOperation = std::pair<std::u16string, std::u16string>; // source, target

// Appends one pair after those already queued, keeping duplicates, creating the value
// when it is missing.
void queueBootOperation(const BootOperation& operation);
std::vector<BootOperation> queuedBootOperations();
void clearBootOperations();

} // namespace winsim
