// Tests that need an outside program (s3270, Hercules, stunnel, openssl) or
// the recordings of real sessions. On a developer's machine without them such
// a test skips; in CI (CI set) or with CEDAR_REQUIRE_ORACLES=1 it fails and
// names what is missing, so a broken install step cannot leave CI green.
#pragma once

#include <gtest/gtest.h>

namespace cedar::test {

// True when a missing oracle or fixture must fail the test.
bool oraclesRequired();

}  // namespace cedar::test

// Use at the top of a test (or a fixture's SetUp): returns from it with a
// failure or a skip when `present` is false.
#define CEDAR_REQUIRE_ORACLE(present, what)                                             \
    do {                                                                                \
        if (!(present)) {                                                               \
            if (::cedar::test::oraclesRequired()) {                                     \
                FAIL() << "missing: " << what                                           \
                       << " (required in CI and with CEDAR_REQUIRE_ORACLES=1; install " \
                          "it with scripts/install-deps.sh, or put the recordings in "  \
                          "../shared/fixtures/recordings or CEDAR_RECORDINGS_DIR)";     \
            }                                                                           \
            GTEST_SKIP() << "missing: " << what;                                        \
        }                                                                               \
    } while (0)
