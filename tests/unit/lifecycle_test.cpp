#include "shell/lifecycle.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class RecordingSteps : public shell::LifecycleSteps {
 public:
  bool previous = false;
  std::set<std::string> failing;
  std::vector<std::string> done;

  bool PreviousInstance() override { return previous; }
  void ShowAlreadyRunning() override { Step("AlreadyRunning"); }
  void HideTestArea() override { Step("HideTestArea"); }
  void AddTrayIcon() override { Step("AddTrayIcon"); }
  void LoadSettings() override { Step("LoadSettings"); }
  void ArmFirstPaint() override { Step("ArmFirstPaint"); }
  void StartReader() override { Step("StartReader"); }
  void SaveSettings() override { Step("SaveSettings"); }
  void UpdateRunAtStartup() override { Step("UpdateRunAtStartup"); }
  void RemoveTrayIcon() override { Step("RemoveTrayIcon"); }
  void StopReader() override { Step("StopReader"); }

 private:
  void Step(const std::string& name) {
    done.push_back(name);
    if (failing.count(name)) throw std::runtime_error(name);
  }
};

TEST(Lifecycle, StartsAndEndsInTheFixedOrder) {
  RecordingSteps steps;
  shell::Lifecycle app(steps);
  ASSERT_TRUE(app.Form_Load());
  EXPECT_THAT(steps.done, ElementsAre("HideTestArea", "AddTrayIcon", "LoadSettings",
                                      "ArmFirstPaint", "StartReader"));
  steps.done.clear();
  app.Form_Unload();
  EXPECT_THAT(steps.done,
              ElementsAre("SaveSettings", "UpdateRunAtStartup", "RemoveTrayIcon", "StopReader"));
}

TEST(Lifecycle, SecondInstanceTouchesNothing) {
  RecordingSteps steps;
  steps.previous = true;
  shell::Lifecycle app(steps);
  EXPECT_FALSE(app.Form_Load());
  app.Form_Unload();  // the program ends without its shut-down sequence
  EXPECT_THAT(steps.done, ElementsAre("AlreadyRunning"));
}

TEST(Lifecycle, ShutDownRunsOnceWhateverAsksForIt) {
  RecordingSteps steps;
  shell::Lifecycle app(steps);
  app.Form_Load();
  steps.done.clear();
  app.Form_Unload();  // say, the session ends...
  app.Form_Unload();  // ...and then the window is closed as well
  EXPECT_EQ(steps.done.size(), 4u);
  EXPECT_FALSE(app.Form_Load()) << "no second start after the end";
}

TEST(Lifecycle, AFailingStepNeitherStopsTheOthersNorLeavesTheIcon) {
  RecordingSteps steps;
  steps.failing = {"LoadSettings", "SaveSettings", "UpdateRunAtStartup"};
  std::vector<std::string> reported;
  shell::Lifecycle app(steps, [&](const char* step) { reported.push_back(step); });
  EXPECT_TRUE(app.Form_Load());
  app.Form_Unload();
  EXPECT_THAT(steps.done, ElementsAre("HideTestArea", "AddTrayIcon", "LoadSettings",
                                      "ArmFirstPaint", "StartReader", "SaveSettings",
                                      "UpdateRunAtStartup", "RemoveTrayIcon", "StopReader"));
  EXPECT_THAT(reported, ElementsAre("LoadSettings", "SaveSettings", "UpdateRunAtStartup"));
}

TEST(Lifecycle, NoShutDownWithoutAStart) {
  RecordingSteps steps;
  shell::Lifecycle app(steps);
  app.Form_Unload();
  EXPECT_THAT(steps.done, IsEmpty());
}

}  // namespace
