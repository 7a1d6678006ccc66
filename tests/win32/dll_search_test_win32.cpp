#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "shell/dll_search.h"

namespace {

// A copy of one of our own DLLs planted beside this test program under `name`; removed again.
class PlantedDll {
 public:
  explicit PlantedDll(const wchar_t* name) {
    wchar_t exe[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    path_ = exe;
    path_.erase(path_.find_last_of(L"\\/") + 1);
    path_ += name;
    std::string source = "Z:" ZAN_PLANTED_DLL;
    for (char& c : source) c = c == '/' ? '\\' : c;
    copied_ = CopyFileA(source.c_str(), std::string(path_.begin(), path_.end()).c_str(), FALSE);
  }
  ~PlantedDll() { DeleteFileW(path_.c_str()); }
  PlantedDll(const PlantedDll&) = delete;
  PlantedDll& operator=(const PlantedDll&) = delete;
  bool copied() const { return copied_ != FALSE; }

 private:
  std::wstring path_;
  BOOL copied_ = FALSE;
};

// Before the search is restricted, a DLL beside the program is loaded by its name: after it, it is
// not, while Windows' own DLLs still are.
TEST(DllSearch, ADllPlantedBesideTheProgramIsNotLoadedByName) {
  PlantedDll before(L"zan_planted_before.dll"), after(L"zan_planted_after.dll");
  ASSERT_TRUE(before.copied() && after.copied());
  HMODULE found = LoadLibraryW(L"zan_planted_before.dll");
  ASSERT_NE(found, nullptr) << "the program's folder is not searched here at all: nothing to show";
  FreeLibrary(found);

  shell::RestrictDllSearch();
  HMODULE planted = LoadLibraryW(L"zan_planted_after.dll");
  EXPECT_EQ(planted, nullptr);
  if (planted) FreeLibrary(planted);
  HMODULE own = LoadLibraryW(L"version.dll");
  EXPECT_NE(own, nullptr);
  if (own) FreeLibrary(own);
}

}  // namespace
