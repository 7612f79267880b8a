// The handle of a growable wide string (its operations are in log/wide_text.h): one
// runtime-heap block laid out as [u64 character count][characters][NUL]. A null handle is
// the empty string, and a block never holds length 0.
#pragma once

#include <cstdint>

struct WideTextBlock {
    uint64_t length;
};
typedef WideTextBlock* WideText;
