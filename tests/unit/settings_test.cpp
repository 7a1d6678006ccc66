#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "settings/run_at_startup.h"
#include "settings/settings_table.h"
#include "shell/form_model.h"
#include "unit/settings_fakes.h"

namespace {

using shell::Ctl;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

const std::vector<std::wstring> kKeyOrder = {L"StartUp", L"HideOnStart", L"CR0",  L"CR1",
                                             L"CR2",     L"Trk0",        L"Trk1", L"Trk2",
                                             L"Sent1",   L"Sent2"};

class SettingsLoadSaveTest : public ::testing::Test {
 protected:
  void Load() { settings::LoadSettings(store, form); }
  std::vector<std::wstring> SaveAndCollect() {
    store.writes.clear();
    settings::SaveSettings(store, form);
    std::vector<std::wstring> texts;
    for (const std::wstring& key : kKeyOrder) texts.push_back(*store.Get(key));
    return texts;
  }

  testing_fakes::MemoryStore store;
  shell::FormModel form{store};
};

TEST_F(SettingsLoadSaveTest, EmptyStoreGivesTheDefaultsAndSavesAllTenInOrder) {
  Load();
  EXPECT_THAT(store.reads, ElementsAreArray(kKeyOrder));
  EXPECT_EQ(form.Value(Ctl::chkStartup), 1);
  EXPECT_EQ(form.Value(Ctl::chkHideform), 0);
  EXPECT_EQ(form.Value(Ctl::optCR1), -1);
  EXPECT_EQ(form.Value(Ctl::optCR0), 0);
  EXPECT_EQ(form.Value(Ctl::optSentinel0), -1);
  EXPECT_THAT(store.writes, ::testing::IsEmpty()) << "a load writes nothing";
  EXPECT_THAT(SaveAndCollect(), ElementsAre(L"1", L"0", L"False", L"True", L"False", L"1", L"1",
                                            L"1", L"True", L"False"));
  EXPECT_THAT(store.writes, ElementsAreArray(kKeyOrder));
}

TEST_F(SettingsLoadSaveTest, DoNotSendSentinelsWithOneTrackIsRestoredAsStored) {
  store.Put(L"Trk0", L"1");
  store.Put(L"Trk1", L"0");
  store.Put(L"Trk2", L"0");
  store.Put(L"Sent1", L"False");
  store.Put(L"Sent2", L"True");
  std::vector<Ctl> clicks;
  form.on_click = [&](Ctl id) { clicks.push_back(id); };
  Load();
  // Unticking track 2 leaves two ticks, so the rule selects "Send Sentinels" in between; the
  // stored pair, assigned after the tracks, puts "Do Not Send Sentinels" back.
  EXPECT_THAT(clicks, ElementsAre(Ctl::optCR1, Ctl::optTrkFix1, Ctl::optSentinel0,
                                  Ctl::optTrkFix2, Ctl::optSentinel1));
  EXPECT_EQ(form.Value(Ctl::optSentinel1), -1);
  EXPECT_EQ(form.Value(Ctl::optSentinel0), 0);
  EXPECT_THAT(SaveAndCollect(), ElementsAre(L"1", L"0", L"False", L"True", L"False", L"1", L"0",
                                            L"0", L"False", L"True"));
}

TEST_F(SettingsLoadSaveTest, AStoredGreyedSingleTrackCountsTwoAgainstDoNotSendSentinels) {
  store.Put(L"Trk0", L"2");
  store.Put(L"Trk1", L"0");
  store.Put(L"Trk2", L"0");
  store.Put(L"Sent1", L"False");
  store.Put(L"Sent2", L"True");
  Load();
  EXPECT_EQ(form.Value(Ctl::optTrkFix0), 2);
  EXPECT_EQ(form.Value(Ctl::optSentinel0), -1);
}

// Stored option texts that leave a group with nothing selected give the group its default; a
// group with one selection stays as stored, and of several the last one assigned wins.
TEST_F(SettingsLoadSaveTest, OptionGroupsAreLoadedWithExactlyOneSelected) {
  struct Case {
    std::vector<std::pair<const wchar_t*, const wchar_t*>> stored;
    std::vector<const wchar_t*> saved;  // CR0, CR1, CR2, Sent1, Sent2
  };
  const Case cases[] = {
      {{{L"CR0", L"False"}, {L"CR1", L"False"}, {L"CR2", L"False"}},
       {L"False", L"True", L"False", L"True", L"False"}},
      {{{L"CR0", L"x"}, {L"CR1", L"False"}, {L"CR2", L"False"}},
       {L"False", L"True", L"False", L"True", L"False"}},
      {{{L"Trk1", L"0"}, {L"Trk2", L"0"}, {L"Sent1", L"False"}, {L"Sent2", L"False"}},
       {L"False", L"True", L"False", L"True", L"False"}},
      {{{L"Sent1", L"False"}, {L"Sent2", L"False"}}, {L"False", L"True", L"False", L"True", L"False"}},
      {{{L"CR0", L"False"}, {L"CR1", L"False"}, {L"CR2", L"True"}},
       {L"False", L"False", L"True", L"True", L"False"}},
      {{{L"CR0", L"True"}, {L"CR1", L"False"}, {L"CR2", L"True"}},
       {L"False", L"False", L"True", L"True", L"False"}},
      {{{L"CR0", L"True"}, {L"CR1", L"True"}, {L"CR2", L"False"}},
       {L"False", L"True", L"False", L"True", L"False"}},
      {{{L"CR0", L"True"}, {L"CR1", L"True"}, {L"CR2", L"True"}},
       {L"False", L"False", L"True", L"True", L"False"}},
      {{{L"Trk1", L"0"}, {L"Trk2", L"0"}, {L"Sent1", L"True"}, {L"Sent2", L"True"}},
       {L"False", L"True", L"False", L"False", L"True"}},
  };
  for (const Case& c : cases) {
    testing_fakes::MemoryStore stored;
    shell::FormModel loaded{stored};
    std::wstring what;
    for (const auto& kv : c.stored) {
      stored.Put(kv.first, kv.second);
      what += std::wstring(kv.first) + L"=" + kv.second + L" ";
    }
    settings::LoadSettings(stored, loaded);
    settings::SaveSettings(stored, loaded);
    std::vector<std::wstring> saved;
    for (const wchar_t* key : {L"CR0", L"CR1", L"CR2", L"Sent1", L"Sent2"}) saved.push_back(*stored.Get(key));
    EXPECT_THAT(saved, ElementsAreArray(c.saved)) << std::string(what.begin(), what.end());
  }
}

TEST_F(SettingsLoadSaveTest, GreyedValuesLoadAndSaveAsTwo) {
  store.Put(L"StartUp", L"2");
  store.Put(L"HideOnStart", L"2");
  store.Put(L"Trk2", L"2");
  Load();
  EXPECT_EQ(form.Value(Ctl::chkStartup), 2);
  EXPECT_EQ(form.Value(Ctl::optTrkFix2), 2);
  const auto texts = SaveAndCollect();
  EXPECT_EQ(texts[0], L"2");
  EXPECT_EQ(texts[1], L"2");
  EXPECT_EQ(texts[7], L"2");
}

TEST_F(SettingsLoadSaveTest, TextsThatDoNotConvertTakeTheDefaultAndAreWrittenValidAgain) {
  store.Put(L"StartUp", L"yes");
  store.Put(L"HideOnStart", L"3");
  store.Put(L"CR0", L"1");
  store.Put(L"CR1", L"");
  store.Put(L"Trk0", L"-1");
  store.Put(L"Trk1", L"1.5");
  store.Put(L"Sent1", L"Ja");
  // Beginnings and continuations of the texts, where the default differs from what they begin.
  store.Put(L"CR2", L"Tru");
  store.Put(L"Sent2", L"Truee");
  store.Put(L"Trk2", L"0x");
  Load();
  EXPECT_THAT(SaveAndCollect(), ElementsAre(L"1", L"0", L"False", L"True", L"False", L"1", L"1",
                                            L"1", L"True", L"False"));
}

TEST_F(SettingsLoadSaveTest, TextsAreReadTolerantly) {
  store.Put(L"HideOnStart", L" 1 ");
  store.Put(L"CR2", L"true");
  store.Put(L"CR1", L"FALSE");
  store.Put(L"Trk1", L"+0");
  Load();
  EXPECT_EQ(form.Value(Ctl::chkHideform), 1);
  EXPECT_EQ(form.Value(Ctl::optCR2), -1);
  EXPECT_EQ(form.Value(Ctl::optTrkFix1), 0);
}

TEST(SettingsParse, Int16Bounds) {
  EXPECT_EQ(settings::ParseInt16(L"-32768"), std::optional<std::int16_t>(-32768));
  EXPECT_EQ(settings::ParseInt16(L"32767"), std::optional<std::int16_t>(32767));
  for (const wchar_t* bad : {L"32768", L"-32769", L"99999999999999999999", L"", L" ", L"-", L"1 2",
                             L"0x1", L"\x0661"}) {
    EXPECT_EQ(settings::ParseInt16(bad), std::nullopt) << bad;
  }
}

// --- The log-on start entry ---

class FakeRunKey : public settings::RunKey {
 public:
  std::vector<bool> open_results{true};  // answers to successive opens; the last repeats
  bool create_result = true;
  std::vector<std::wstring> journal;

  bool Open() override {
    const bool ok = open_results[std::min(opens++, open_results.size() - 1)];
    journal.push_back(ok ? L"open" : L"open failed");
    return ok;
  }
  bool Create() override {
    journal.push_back(create_result ? L"create" : L"create failed");
    return create_result;
  }
  void SetText(const std::wstring& name, const std::wstring& data) override {
    journal.push_back(L"set " + name + L"=" + data);
  }
  void DeleteValue(const std::wstring& name) override { journal.push_back(L"delete " + name); }
  void Close() override { journal.push_back(L"close"); }

  std::size_t opens = 0;
};

const wchar_t kExe[] = L"C:\\Program Files\\ZAN\\ZANKeyboardWedge.exe";
const wchar_t kStored[] = L"set ZANKeyboardWedge=\"C:\\Program Files\\ZAN\\ZANKeyboardWedge.exe\"";

TEST(RunAtStartup, WritesOrRemovesThroughTheOpenedKey) {
  FakeRunKey key;
  settings::SetRunAtStartup(true, key, kExe);
  EXPECT_THAT(key.journal, ElementsAre(L"open", kStored, L"close"));
  FakeRunKey other;
  settings::SetRunAtStartup(false, other, kExe);
  EXPECT_THAT(other.journal, ElementsAre(L"open", L"delete ZANKeyboardWedge", L"close"));
}

TEST(RunAtStartup, CreatesAMissingKeyAndOpensItAgain) {
  FakeRunKey key;
  key.open_results = {false, true};
  settings::SetRunAtStartup(true, key, kExe);
  EXPECT_THAT(key.journal, ElementsAre(L"open failed", L"create", L"open", kStored, L"close"));
}

TEST(RunAtStartup, TouchesNothingWhenTheKeyCannotBeMadeOrReopened) {
  FakeRunKey uncreatable;
  uncreatable.open_results = {false};
  uncreatable.create_result = false;
  settings::SetRunAtStartup(true, uncreatable, kExe);
  EXPECT_THAT(uncreatable.journal, ElementsAre(L"open failed", L"create failed"));

  FakeRunKey unopenable;
  unopenable.open_results = {false};
  settings::SetRunAtStartup(false, unopenable, kExe);
  EXPECT_THAT(unopenable.journal, ElementsAre(L"open failed", L"create", L"open failed"));
}

TEST(RunAtStartup, CommandIsTheQuotedPathEndingInDotExe) {
  struct Case {
    const wchar_t* path;
    const wchar_t* command;
  };
  const Case cases[] = {
      {L"C:\\Program Files\\ZAN\\Wedge.EXE", L"\"C:\\Program Files\\ZAN\\Wedge.exe\""},
      {L"C:\\Kassé Ω\\键盘.exe", L"\"C:\\Kassé Ω\\键盘.exe\""},
      {L"C:\\v1.2\\wedge", L"\"C:\\v1.2\\wedge.exe\""},
      {L"C:\\apps\\wedge.v2.exe", L"\"C:\\apps\\wedge.v2.exe\""},
      {L"\\\\server\\share\\wedge.Exe", L"\"\\\\server\\share\\wedge.exe\""},
  };
  for (const Case& c : cases) EXPECT_EQ(settings::StartupCommand(c.path), c.command) << c.path;
}

}  // namespace
