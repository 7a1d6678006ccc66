#include "shell/form_model.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "unit/fakes.h"
#include "unit/settings_fakes.h"
#include "wedge/card_event.h"

namespace {

using shell::Ctl;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

// Records what the model tells its window.
class RecordingView : public shell::FormView {
 public:
  int hides = 0;
  int state = 0;
  std::vector<Ctl> changed;
  std::vector<Ctl> focused;

  void Hide() override { ++hides; }
  int WindowState() override { return state; }
  void ControlChanged(Ctl id) override { changed.push_back(id); }
  void FocusControl(Ctl id) override { focused.push_back(id); }
};

class FormModelTest : public ::testing::Test {
 protected:
  FormModelTest() {
    form.SetView(&view);
    form.on_click = [this](Ctl id) { clicks.push_back(id); };
  }
  // Ticks the three track boxes and selects a sentinel button, quietly.
  void Arrange(std::int16_t t0, std::int16_t t1, std::int16_t t2, bool send_sentinels) {
    form.on_click = nullptr;
    form.SetValue(Ctl::optTrkFix0, t0);
    form.SetValue(Ctl::optTrkFix1, t1);
    form.SetValue(Ctl::optTrkFix2, t2);
    form.SetValue(send_sentinels ? Ctl::optSentinel0 : Ctl::optSentinel1, -1);
    form.on_click = [this](Ctl id) { clicks.push_back(id); };
  }
  bool SendsSentinels() const { return form.Value(Ctl::optSentinel0) == -1; }

  testing_fakes::MemoryStore store;
  shell::FormModel form{store};
  RecordingView view;
  std::vector<Ctl> clicks;
};

TEST(FormLayout, ControlArraysMapIndicesToTheirCaptions) {
  EXPECT_STREQ(shell::Design(shell::optCR(0)).caption, L"Carriage Return with Track Data");
  EXPECT_STREQ(shell::Design(shell::optCR(1)).caption, L"No Carriage Return");
  EXPECT_STREQ(shell::Design(shell::optCR(2)).caption, L"Carriage Return with Card Data");
  EXPECT_STREQ(shell::Design(shell::optSentinel(1)).caption, L"Do Not Send Sentinels");
  EXPECT_STREQ(shell::Design(shell::Label1(8)).caption, L"Active Window Data");
  for (int i = 0; i < 9; ++i) {
    EXPECT_EQ(shell::Design(shell::Text1(i)).index, i);
    EXPECT_EQ(shell::Design(shell::Label1(i)).pos.top, shell::Design(shell::Text1(i)).pos.top);
  }
}

TEST(FormLayout, TableIsConsistent) {
  std::set<int> tab_indices;
  for (int i = 0; i < shell::kControlCount; ++i) {
    const shell::ControlDesign& design = shell::kControls[i];
    EXPECT_EQ(static_cast<int>(design.id), i) << "row out of order";
    EXPECT_TRUE(tab_indices.insert(design.tab_index).second) << "tab index twice: " << design.tab_index;
    if (design.container != Ctl::None) {
      // Every framed control starts inside its frame.
      const shell::Twips frame = shell::Design(design.container).pos;
      EXPECT_LT(design.pos.left, frame.width);
      EXPECT_LT(design.pos.top + design.pos.height, frame.height);
    }
  }
}

TEST_F(FormModelTest, StartsAsDesigned) {
  EXPECT_EQ(form.Value(Ctl::chkStartup), 1);
  EXPECT_EQ(form.Value(Ctl::chkHideform), 0);
  EXPECT_EQ(form.Value(Ctl::optSentinel1), -1);
  EXPECT_EQ(form.Value(Ctl::optCR0), -1);
  EXPECT_FALSE(form.Visible(Ctl::chkTestmode));
  EXPECT_EQ(form.bTestMode, 0);
  for (int i = 0; i < 9; ++i) EXPECT_EQ(form.Text(shell::Text1(i)), L"");
}

TEST_F(FormModelTest, AssigningTheSameValueDoesNothing) {
  form.SetValue(Ctl::chkStartup, 1);
  form.SetValue(Ctl::optCR0, -1);
  form.SetValue(Ctl::optCR1, 0);
  EXPECT_THAT(clicks, IsEmpty());
  EXPECT_THAT(view.changed, IsEmpty());
}

TEST_F(FormModelTest, ACheckBoxClicksOnEveryChangeOfValue) {
  form.SetValue(Ctl::chkHideform, 1);
  form.SetValue(Ctl::chkHideform, 2);
  form.SetValue(Ctl::chkHideform, 0);
  EXPECT_THAT(clicks, ElementsAre(Ctl::chkHideform, Ctl::chkHideform, Ctl::chkHideform));
  EXPECT_FALSE(form.SetValue(Ctl::chkHideform, 3));
  EXPECT_FALSE(form.SetValue(Ctl::chkHideform, -1));
  EXPECT_EQ(form.Value(Ctl::chkHideform), 0);
}

TEST_F(FormModelTest, SelectingAnOptionDeselectsItsFrameOnlyAndClicks) {
  form.SetValue(Ctl::optCR2, -1);
  EXPECT_EQ(form.Value(Ctl::optCR2), -1);
  EXPECT_EQ(form.Value(Ctl::optCR0), 0);
  EXPECT_EQ(form.Value(Ctl::optCR1), 0);
  EXPECT_EQ(form.Value(Ctl::optSentinel1), -1);  // another frame
  EXPECT_THAT(clicks, ElementsAre(Ctl::optCR2));
  EXPECT_THAT(view.changed, ElementsAre(Ctl::optCR0, Ctl::optCR2));
}

TEST_F(FormModelTest, AssigningFalseToAnOptionRaisesNothingAndSelectsNoOther) {
  form.SetValue(Ctl::optCR0, 0);
  EXPECT_THAT(clicks, IsEmpty());
  EXPECT_EQ(form.Value(Ctl::optCR0), 0);
  EXPECT_EQ(form.Value(Ctl::optCR1), 0);
  EXPECT_EQ(form.Value(Ctl::optCR2), 0);
}

TEST_F(FormModelTest, UserClicksToggleBoxesAndSelectOptions) {
  form.UserClick(Ctl::chkStartup);
  EXPECT_EQ(form.Value(Ctl::chkStartup), 0);
  form.SetValue(Ctl::chkStartup, 2);
  form.UserClick(Ctl::chkStartup);  // a greyed box turns ticked
  EXPECT_EQ(form.Value(Ctl::chkStartup), 1);
  form.UserClick(Ctl::optCR1);
  EXPECT_EQ(form.Value(Ctl::optCR1), -1);
  EXPECT_EQ(form.Value(Ctl::optCR0), 0);
}

// --- Track/sentinel rule ---

TEST_F(FormModelTest, TickingASecondTrackSelectsSendSentinelsNestedOnce) {
  Arrange(1, 0, 0, false);
  form.UserClick(Ctl::optTrkFix1);
  EXPECT_TRUE(SendsSentinels());
  EXPECT_EQ(form.Value(Ctl::optSentinel1), 0);
  // The track's click selects "Send Sentinels", whose own click finds nothing more to do.
  EXPECT_THAT(clicks, ElementsAre(Ctl::optTrkFix1, Ctl::optSentinel0));
}

TEST_F(FormModelTest, DoNotSendSentinelsSnapsBackWithTwoOrThreeTracks) {
  for (std::int16_t third : {0, 1}) {
    Arrange(1, 1, third, true);
    clicks.clear();
    form.UserClick(Ctl::optSentinel1);
    EXPECT_TRUE(SendsSentinels()) << "tracks 1, 1, " << third;
    EXPECT_THAT(clicks, ElementsAre(Ctl::optSentinel1, Ctl::optSentinel0));
  }
}

TEST_F(FormModelTest, UntickingNeverChangesTheSentinelChoice) {
  Arrange(1, 1, 1, true);
  form.UserClick(Ctl::optTrkFix0);
  form.UserClick(Ctl::optTrkFix1);
  EXPECT_TRUE(SendsSentinels());
  form.UserClick(Ctl::optSentinel1);  // one track left: the choice stays
  EXPECT_FALSE(SendsSentinels());
  form.UserClick(Ctl::optTrkFix2);  // none left
  form.UserClick(Ctl::optSentinel0);
  form.UserClick(Ctl::optSentinel1);
  EXPECT_FALSE(SendsSentinels());
}

TEST_F(FormModelTest, AGreyedTrackCountsTwo) {
  Arrange(0, 0, 0, false);
  form.SetValue(Ctl::optTrkFix2, 2);
  EXPECT_TRUE(SendsSentinels());
}

TEST_F(FormModelTest, OtherChoicesChangeNoOtherControl) {
  Arrange(1, 0, 0, false);
  view.changed.clear();
  form.UserClick(Ctl::optCR2);
  form.UserClick(Ctl::chkStartup);
  form.UserClick(Ctl::chkHideform);
  EXPECT_THAT(view.changed, ElementsAre(Ctl::optCR0, Ctl::optCR2, Ctl::chkStartup,
                                        Ctl::chkHideform));
  EXPECT_THAT(store.writes, IsEmpty());
}

// --- Test mode and "Clear data" ---

TEST_F(FormModelTest, TestModeShowsTheAreaKeepsTheBoxesAndFocusesActiveWindowData) {
  form.HideTestArea();
  form.SetText(shell::Text1(0), L"JOHN");
  form.SetValue(Ctl::chkTestmode, 1);
  EXPECT_EQ(form.bTestMode, -1);
  for (int i = 0; i < 9; ++i) {
    EXPECT_TRUE(form.Visible(shell::Text1(i)));
    EXPECT_TRUE(form.Visible(shell::Label1(i)));
  }
  EXPECT_TRUE(form.Visible(Ctl::Command2));
  EXPECT_EQ(form.Text(shell::Text1(0)), L"JOHN");
  EXPECT_THAT(view.focused, ElementsAre(Ctl::Text1_8));
}

TEST_F(FormModelTest, TestModeOffHidesAndEmptiesTheArea) {
  form.SetValue(Ctl::chkTestmode, 2);  // greyed counts as on
  EXPECT_EQ(form.bTestMode, -1);
  for (int i = 0; i < 9; ++i) form.SetText(shell::Text1(i), L"x");
  form.SetValue(Ctl::chkTestmode, 0);
  EXPECT_EQ(form.bTestMode, 0);
  for (int i = 0; i < 9; ++i) {
    EXPECT_FALSE(form.Visible(shell::Text1(i)));
    EXPECT_FALSE(form.Visible(shell::Label1(i)));
    EXPECT_EQ(form.Text(shell::Text1(i)), L"");
  }
  EXPECT_FALSE(form.Visible(Ctl::Command2));
  EXPECT_EQ(view.focused.size(), 1u);  // only turning it on moves the focus
}

TEST_F(FormModelTest, ClearDataEmptiesAllNineBoxesAndFocusesActiveWindowData) {
  for (int i = 0; i < 9; ++i) form.SetText(shell::Text1(i), L"4111111111111111");
  form.UserClick(Ctl::Command2);
  for (int i = 0; i < 9; ++i) EXPECT_EQ(form.Text(shell::Text1(i)), L"");
  EXPECT_EQ(form.Focused(), Ctl::Text1_8);
}

// --- Close box, minimising, first paint ---

TEST_F(FormModelTest, OnlyTheCloseBoxIsCancelledAndHides) {
  std::int16_t cancel = 0;
  form.Form_QueryUnload(cancel, 0);
  EXPECT_EQ(cancel, 1);
  EXPECT_EQ(view.hides, 1);
  for (std::int16_t mode : {1, 2, 3}) {
    cancel = 0;
    form.Form_QueryUnload(cancel, mode);
    EXPECT_EQ(cancel, 0) << mode;
  }
  EXPECT_EQ(view.hides, 1);
  EXPECT_THAT(store.writes, IsEmpty());
}

TEST_F(FormModelTest, MinimisingHides) {
  for (int state : {0, 2}) {
    view.state = state;
    form.Form_Resize();
  }
  EXPECT_EQ(view.hides, 0);
  view.state = 1;
  form.Form_Resize();
  EXPECT_EQ(view.hides, 1);
}

TEST_F(FormModelTest, FirstPaintHidesOnceWhenStoredHideOnStartIsOne) {
  store.Put(L"HideOnStart", L"1");
  form.Form_Paint();  // before the start-up has armed it
  EXPECT_EQ(view.hides, 0);
  form.bFirstPaint = -1;
  form.Form_Paint();
  EXPECT_EQ(view.hides, 1);
  EXPECT_EQ(form.bFirstPaint, 0);
  store.reads.clear();
  form.Form_Paint();
  form.Form_Paint();
  EXPECT_EQ(view.hides, 1);
  EXPECT_THAT(store.reads, IsEmpty());
}

TEST_F(FormModelTest, FirstPaintKeepsTheWindowForEveryOtherText) {
  for (const wchar_t* stored : {L"0", L"2", L"", L"yes", L"1.0", L"99999", (const wchar_t*)nullptr}) {
    testing_fakes::MemoryStore own;
    if (stored) own.Put(L"HideOnStart", stored);
    shell::FormModel model{own};
    RecordingView v;
    model.SetView(&v);
    model.bFirstPaint = -1;
    model.Form_Paint();
    model.Form_Paint();
    EXPECT_EQ(v.hides, 0) << (stored ? stored : L"(none)");
    EXPECT_EQ(model.bFirstPaint, -1);
    EXPECT_EQ(own.reads.size(), 2u) << "every paint reads the stored text again";
  }
}

TEST_F(FormModelTest, TickingHideFormDoesNotHideNow) {
  form.bFirstPaint = -1;
  form.UserClick(Ctl::chkHideform);
  form.Form_Paint();
  EXPECT_EQ(view.hides, 0);
}

// --- The card handler works on the window's controls ---

TEST_F(FormModelTest, CardHandlerReadsChoicesAndFillsBoxes) {
  testing_fakes::FakeReader msr;
  testing_fakes::RecordingKeys keys;
  const wedge::Ending ending;
  wedge::CardEventHandler handler{msr, form, keys, [] {}, ending};
  Arrange(1, 2, 1, true);  // track 2 greyed: not typed
  form.UserClick(Ctl::optCR0);
  msr.Card(L"B4111111111111111^DOE/J^99", L"4111111111111111=99", L"", L"JOHN", L"4111111111111111");
  handler.MSR1_DataEvent(0);
  EXPECT_THAT(keys.sent, ElementsAre(L"{%}B4111111111111111{^}DOE/J{^}99?~", L""));
  // Without the test mode the boxes keep nothing of the card; turned on, it shows no earlier card.
  for (int i = 0; i < 9; ++i) EXPECT_EQ(form.Text(shell::Text1(i)), L"");
  form.SetValue(Ctl::chkTestmode, 1);
  for (int i = 0; i < 9; ++i) EXPECT_EQ(form.Text(shell::Text1(i)), L"");

  form.UserClick(Ctl::optTrkFix0);  // leaves track 2 greyed alone
  form.UserClick(Ctl::optSentinel1);  // greyed counts 2: snaps back
  form.UserClick(Ctl::optCR2);
  keys.sent.clear();
  handler.MSR1_DataEvent(0);
  EXPECT_THAT(keys.sent, ElementsAre(L"", L"~"));
  EXPECT_EQ(form.Text(shell::Text1(0)), L"JOHN");
  EXPECT_EQ(form.Text(shell::Text1(4)), L"4111111111111111");
  EXPECT_EQ(form.Text(shell::Text1(6)), L"4111111111111111=99");
  form.SetValue(Ctl::chkTestmode, 0);
  for (int i = 0; i < 9; ++i) EXPECT_EQ(form.Text(shell::Text1(i)), L"");
}

}  // namespace
