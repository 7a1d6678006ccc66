#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "shell/single_instance.h"

namespace {

// A name of this test's own, so a running program is never disturbed.
std::wstring TestName() {
  return L"Local\\ZANKeyboardWedge.Test." + std::to_wstring(GetCurrentProcessId());
}

TEST(SingleInstance, TheFirstRunsTheSecondIsRefusedUntilTheFirstEnds) {
  const std::wstring name = TestName();
  {
    shell::SingleInstance first(name.c_str());
    EXPECT_FALSE(first.AlreadyRunning());
    shell::SingleInstance second(name.c_str());
    EXPECT_TRUE(second.AlreadyRunning());
  }
  shell::SingleInstance later(name.c_str());
  EXPECT_FALSE(later.AlreadyRunning());
}

}  // namespace
