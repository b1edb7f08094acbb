// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A property every input must keep: a failure stops the fuzzer with the input
// that broke it, like a sanitizer report.

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "check failed: %s (%s:%d)\n", #condition, __FILE__, __LINE__);    \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)
