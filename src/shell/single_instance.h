#pragma once
// Tells whether the program already runs in this user's session.

namespace shell {

class SingleInstance {
 public:
  // Claims the session-wide name `name` (in the session's own namespace, so another user's
  // session never counts).
  explicit SingleInstance(const wchar_t* name);
  ~SingleInstance();
  SingleInstance(const SingleInstance&) = delete;
  SingleInstance& operator=(const SingleInstance&) = delete;

  // True when another instance held the name first.
  bool AlreadyRunning() const { return already_running_; }

 private:
  void* handle_ = nullptr;
  bool already_running_ = false;
};

// The name the program claims.
inline constexpr wchar_t kInstanceName[] = L"Local\\ZANKeyboardWedge.Instance";

}  // namespace shell
