// A test that cannot run is not a pass under CI: without a tool it needs, it
// skips a local run but fails when the environment sets CI.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>

#define SKIP_OR_FAIL_UNDER_CI(reason)                                                              \
    do {                                                                                           \
        if (std::getenv("CI")) FAIL() << (reason) << " (required when CI is set)";                 \
        GTEST_SKIP() << (reason);                                                                  \
    } while (0)
