#pragma once
// Wiping card data from memory: every buffer that held a card's text is overwritten before it is
// reused or freed, so that neither memory-scraping malware nor a crash dump finds the card.

#include <cstddef>
#include <string>
#include <type_traits>
#include <vector>

namespace wedge {

// Overwrites `bytes` bytes at `p` with zeros, in a way the compiler may not leave out.
inline void WipeBytes(void* p, std::size_t bytes) {
  volatile unsigned char* b = static_cast<volatile unsigned char*>(p);
  while (bytes--) *b++ = 0;
}

// Overwrites the whole buffer of `s`, beyond its length too (a shorter text may have replaced a
// longer one), and empties it.
inline void Wipe(std::wstring& s) {
  s.resize(s.capacity());
  WipeBytes(&s[0], s.size() * sizeof(wchar_t));
  s.clear();
}

template <typename T>
void Wipe(std::vector<T>& v) {
  static_assert(std::is_trivially_copyable_v<T>, "only plain records are wiped bytewise");
  v.resize(v.capacity());
  if (!v.empty()) WipeBytes(v.data(), v.size() * sizeof(T));
  v.clear();
}

// Wipes a text when the scope that holds it ends, however it ends.
class WipeOnExit {
 public:
  explicit WipeOnExit(std::wstring& s) : s_(s) {}
  ~WipeOnExit() { Wipe(s_); }
  WipeOnExit(const WipeOnExit&) = delete;
  WipeOnExit& operator=(const WipeOnExit&) = delete;

 private:
  std::wstring& s_;
};

// Replaces `target` by `text`, wiping what `target` held first (its buffer may be freed by the
// assignment).
inline void Replace(std::wstring& target, const std::wstring& text) {
  if (target.capacity() < text.size()) Wipe(target);
  else WipeBytes(&target[0], target.size() * sizeof(wchar_t));
  target.assign(text);
}

}  // namespace wedge
