#pragma once
// The log-on start entry: a text value under the current user's Run key that starts the program
// when the user logs on.

#include <string>

namespace settings {

inline constexpr wchar_t kRunKeyPath[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// The current user's Run key, opened for writing by one of the calls below.
class RunKey {
 public:
  virtual ~RunKey() = default;
  // Opens the existing key for writing.
  virtual bool Open() = 0;
  // Creates the key; the handle of the creation is not kept (open it afterwards).
  virtual bool Create() = 0;
  // Sets a text value of the opened key (the result is not used).
  virtual void SetText(const std::wstring& name, const std::wstring& data) = 0;
  // Deletes a value of the opened key; a missing value is no failure.
  virtual void DeleteValue(const std::wstring& name) = 0;
  // Closes the opened key.
  virtual void Close() = 0;
};

// The command stored for the executable at `exe_path`: its folder, its file name with the
// extension ".exe", in double quotes so a path with blanks cannot start another program.
std::wstring StartupCommand(const std::wstring& exe_path);

// Writes the entry for `exe_path` when `bRegister`, removes it otherwise. Creates the Run key
// when it cannot be opened; returns without touching anything when that fails too.
void SetRunAtStartup(bool bRegister, RunKey& key, const std::wstring& exe_path);

}  // namespace settings
