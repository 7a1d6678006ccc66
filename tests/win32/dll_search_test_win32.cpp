#include <windows.h>

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "shell/dll_search.h"

namespace {

// A folder of its own holding copies of one of our DLLs under `names`; removed again.
class FolderWithDlls {
 public:
  FolderWithDlls(const wchar_t* folder, std::initializer_list<const wchar_t*> names) {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    folder_ = std::wstring(temp) + folder;
    CreateDirectoryW(folder_.c_str(), nullptr);
    std::string source = "Z:" ZAN_PLANTED_DLL;
    for (char& c : source) c = c == '/' ? '\\' : c;
    for (const wchar_t* name : names) {
      dlls_.push_back(folder_ + L"\\" + name);
      copied_ = CopyFileA(source.c_str(), std::string(dlls_.back().begin(), dlls_.back().end()).c_str(),
                          FALSE) && copied_;
    }
  }
  ~FolderWithDlls() {
    for (const std::wstring& dll : dlls_) DeleteFileW(dll.c_str());
    RemoveDirectoryW(folder_.c_str());
  }
  FolderWithDlls(const FolderWithDlls&) = delete;
  FolderWithDlls& operator=(const FolderWithDlls&) = delete;
  bool copied() const { return copied_; }
  const std::wstring& folder() const { return folder_; }

 private:
  std::wstring folder_;
  std::vector<std::wstring> dlls_;
  bool copied_ = true;
};

bool Loads(const wchar_t* name) {
  HMODULE module = LoadLibraryW(name);
  if (module) FreeLibrary(module);
  return module != nullptr;
}

// Once the search is restricted, a DLL in the current folder is no longer loaded by its name,
// while one in a folder on PATH (where a reader's software keeps its helpers) and Windows' own
// still are.
TEST(DllSearch, TheCurrentFolderIsLeftOutAndPathKept) {
  // A module once loaded is found again by its name alone: each load below has a name of its own.
  FolderWithDlls current(L"zan_dll_current", {L"zan_current_before.dll", L"zan_current_after.dll"});
  FolderWithDlls on_path(L"zan_dll_on_path", {L"zan_on_path.dll"});
  ASSERT_TRUE(current.copied() && on_path.copied());
  wchar_t old_folder[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, old_folder);
  ASSERT_TRUE(SetCurrentDirectoryW(current.folder().c_str()));
  wchar_t path[32767] = {};
  GetEnvironmentVariableW(L"PATH", path, 32767);
  const std::wstring old_path = path;
  SetEnvironmentVariableW(L"PATH", (on_path.folder() + L";" + old_path).c_str());

  ASSERT_TRUE(Loads(L"zan_current_before.dll")) << "the current folder is not searched here at all";
  shell::RestrictDllSearch();
  EXPECT_FALSE(Loads(L"zan_current_after.dll"));
  EXPECT_TRUE(Loads(L"zan_on_path.dll"));
  EXPECT_TRUE(Loads(L"version.dll"));

  SetEnvironmentVariableW(L"PATH", old_path.c_str());
  SetCurrentDirectoryW(old_folder);
}

}  // namespace
