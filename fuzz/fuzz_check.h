#pragma once

#include <cstdlib>

// A broken property is a finding: abort, so libFuzzer keeps the input.
inline void check(bool condition)
{
    if (!condition)
        std::abort();
}
