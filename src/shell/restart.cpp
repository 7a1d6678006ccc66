#include "shell/restart.h"

namespace shell {
namespace {

constexpr wchar_t kShown[] = L"/restart:shown";
constexpr wchar_t kHidden[] = L"/restart:hidden";

}  // namespace

const wchar_t* RestartArguments(bool window_shown) { return window_shown ? kShown : kHidden; }

std::optional<bool> RestartWithWindowShown(const std::vector<std::wstring>& args) {
  if (args.size() != 1) return std::nullopt;
  if (args[0] == kShown) return true;
  if (args[0] == kHidden) return false;
  return std::nullopt;
}

void RestartRegistration::WindowVisible(bool shown) {
  if (registered_ == shown) return;
  registered_ = shown;
  if (register_) register_(RestartArguments(shown));
}

}  // namespace shell
