#pragma once
// Loading the real media libraries through the engine's loader, for engine suites that run them
// (their log lines are collected with testsupport::TLogCapture, tests/common/LogCapture.h).
#include <gtest/gtest.h>

#include "engine/loader/FFLoad.h"

namespace mediatest {

inline void LoadMediaLibraries() {
    ASSERT_TRUE(FFLoader().LoadLibs(FullLibrarySet)) << FFLoader().LastErrorMessage();
}

}  // namespace mediatest
