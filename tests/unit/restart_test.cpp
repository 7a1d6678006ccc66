#include "shell/restart.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// Registered again only when the window's visibility changes; a start by the registered
// arguments brings the window back as it was, any other start is an ordinary one.
TEST(Restart, ComesBackAsTheUserLeftIt) {
  std::vector<std::wstring> args;
  shell::RestartRegistration registration([&](const wchar_t* a) { args.push_back(a); });
  for (bool shown : {false, false, true, true}) registration.WindowVisible(shown);
  ASSERT_EQ(args.size(), 2u);
  EXPECT_EQ(shell::RestartWithWindowShown({args[0]}), false);
  EXPECT_EQ(shell::RestartWithWindowShown({args[1]}), true);
  EXPECT_EQ(shell::RestartWithWindowShown({}), std::nullopt);
  EXPECT_EQ(shell::RestartWithWindowShown({args[1], args[1]}), std::nullopt);
}
