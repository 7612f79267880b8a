// The spooler's two-call protocol for answers of variable size: a probe with no buffer
// learns the size, a second call fills a zero-filled global block of that size.
#pragma once

#include <windows.h>

enum class ProbeRule {
    // Enumerations: a successful probe means there is nothing to list.
    successMeansEmpty,
    // Single-object queries: only the probe's last error is looked at.
    errorOnly,
};

enum class QueryOutcome {
    filled,
    nothingToList,
    probeFailed, // any error but ERROR_INSUFFICIENT_BUFFER; last error as the spooler set it
    noMemory,    // last error E_OUTOFMEMORY
    fillFailed,  // last error as the spooler set it
};

// A zero-filled GMEM_FIXED block of needed + slack bytes, or null with the last error
// E_OUTOFMEMORY.
BYTE* allocateQueryBuffer(DWORD needed, SIZE_T slack);
// GlobalFree that leaves the last error of the failed call before it alone.
void freeQueryBuffer(BYTE* buffer);

// call(buffer, size, needed) makes the spooler call once; the probe passes a null buffer
// and size 0. On every outcome but `filled`, buffer comes back null.
template <typename Call>
QueryOutcome probeAndFill(Call call, ProbeRule rule, SIZE_T slack, BYTE*& buffer, DWORD& needed) {
    buffer = nullptr;
    needed = 0;
    BOOL probed = call(nullptr, 0, needed);
    if (rule == ProbeRule::successMeansEmpty && probed) {
        return QueryOutcome::nothingToList;
    }
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
        return QueryOutcome::probeFailed;
    }
    BYTE* block = allocateQueryBuffer(needed, slack);
    if (block == nullptr) {
        return QueryOutcome::noMemory;
    }
    // The answer is asked for exactly the size the spooler named, even when the block
    // is larger.
    if (!call(block, needed, needed)) {
        freeQueryBuffer(block);
        return QueryOutcome::fillFailed;
    }
    buffer = block;
    return QueryOutcome::filled;
}
