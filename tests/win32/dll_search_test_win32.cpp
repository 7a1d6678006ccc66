#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "shell/dll_search.h"

namespace {

bool Loads(const wchar_t* name) {
  HMODULE module = LoadLibraryW(name);
  if (module) FreeLibrary(module);
  return module != nullptr;
}

// Once the search is restricted, a DLL in the current folder is no longer loaded by its name,
// while Windows' own still are. (A module once loaded is found again by its name alone: the two
// copies have names of their own.)
TEST(DllSearch, TheCurrentFolderIsLeftOut) {
  wchar_t temp[MAX_PATH] = {}, old_folder[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  const std::wstring folder = std::wstring(temp) + L"zan_dll_current";
  CreateDirectoryW(folder.c_str(), nullptr);
  std::string source = "Z:" ZAN_PLANTED_DLL;
  for (char& c : source) c = c == '/' ? '\\' : c;
  const std::string copies[] = {std::string(folder.begin(), folder.end()) + "\\zan_before.dll",
                                std::string(folder.begin(), folder.end()) + "\\zan_after.dll"};
  for (const std::string& copy : copies) ASSERT_TRUE(CopyFileA(source.c_str(), copy.c_str(), FALSE));
  GetCurrentDirectoryW(MAX_PATH, old_folder);
  ASSERT_TRUE(SetCurrentDirectoryW(folder.c_str()));

  ASSERT_TRUE(Loads(L"zan_before.dll")) << "the current folder is not searched here at all";
  shell::RestrictDllSearch();
  EXPECT_FALSE(Loads(L"zan_after.dll"));
  EXPECT_TRUE(Loads(L"version.dll"));

  SetCurrentDirectoryW(old_folder);
  for (const std::string& copy : copies) DeleteFileA(copy.c_str());
  RemoveDirectoryW(folder.c_str());
}

}  // namespace
