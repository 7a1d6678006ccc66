#include "shell/restart.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// The program is registered for restart with its window's visibility, asked again only when
// that changes, and a start by the registered arguments brings the window back as it was; any
// other start is an ordinary one.
TEST(Restart, ComesBackAsTheUserLeftIt) {
  std::vector<std::wstring> registered;
  shell::RestartRegistration registration([&](const wchar_t* args) { registered.push_back(args); });
  for (bool shown : {false, false, true, true, false}) registration.WindowVisible(shown);
  ASSERT_EQ(registered.size(), 3u);
  EXPECT_EQ(shell::RestartWithWindowShown({registered[0]}), false);
  EXPECT_EQ(shell::RestartWithWindowShown({registered[1]}), true);
  EXPECT_EQ(shell::RestartWithWindowShown({registered[2]}), false);
  for (const std::vector<std::wstring>& other :
       {std::vector<std::wstring>{}, {L"/restart:other"}, {registered[1], registered[1]}}) {
    EXPECT_EQ(shell::RestartWithWindowShown(other), std::nullopt);
  }
}

}  // namespace
