#pragma once
// What the simulated reader and its swipe command agree on. While a program has the simulated
// reader open, the reader owns a hidden window of class kWindowClass titled
// kWindowTitlePrefix + logical device name; the swipe command finds it and sends it cards and
// faults with WM_COPYDATA.

#include <cstdint>
#include <optional>
#include <string>

namespace msr_sim {

inline constexpr wchar_t kWindowClass[] = L"ZanMsrSimReader";
inline constexpr wchar_t kWindowTitlePrefix[] = L"ZanMsrSim:";
inline constexpr wchar_t kDefaultDevice[] = L"ZANKeyboardWedge";

// The environment variable naming the configuration file that the reader reads when created.
inline constexpr wchar_t kConfigVariable[] = L"ZAN_MSR_SIM_CONFIG";

// COPYDATASTRUCT::dwData of the messages.
inline constexpr std::uintptr_t kCopyCard = 0x5A43;   // a Card, serialised
inline constexpr std::uintptr_t kCopyFault = 0x5A46;  // one configuration line (UTF-16)

// Answers of the reader window to a card.
inline constexpr std::intptr_t kCardQueued = 1;
inline constexpr std::intptr_t kCardIgnored = 2;  // open but not enabled: a real reader reads nothing

// A property only the simulated reader has: the performance-counter time at which the swipe
// command sent the card last delivered, for latency measurements.
inline constexpr std::int32_t kDispSwipeTime = 900;

struct Card {
  std::wstring track1, track2, track3;
  std::int64_t sent_at = 0;  // QueryPerformanceCounter at sending
  bool bad = false;          // a swipe the reader cannot read: it raises its error event
  // What an encrypting reader gives as each track's encrypted data and as its key serial number,
  // one character a byte; none: the reader makes them up.
  std::optional<std::wstring> encrypted[3], ksn;
};

// Bytes, one character each, from two hexadecimal digits a byte; false for anything else.
inline bool FromHex(const std::wstring& hex, std::wstring& bytes) {
  auto digit = [](wchar_t c) {
    return c >= L'0' && c <= L'9' ? c - L'0' : c >= L'a' && c <= L'f' ? c - L'a' + 10
                                             : c >= L'A' && c <= L'F' ? c - L'A' + 10 : -1;
  };
  if (hex.size() % 2) return false;
  bytes.clear();
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    const int high = digit(hex[i]), low = digit(hex[i + 1]);
    if (high < 0 || low < 0) return false;
    bytes += static_cast<wchar_t>(high << 4 | low);
  }
  return true;
}

inline std::wstring ToHex(const std::wstring& bytes) {
  static const wchar_t kHex[] = L"0123456789abcdef";
  std::wstring out;
  for (wchar_t b : bytes) out += {kHex[(b >> 4) & 0xF], kHex[b & 0xF]};
  return out;
}

// Serialises as the send time in 16 hex digits followed by the three tracks, each ended by U+0000,
// then fields each ended by U+0000: "B" for a bad swipe, "1" to "3" and the hexadecimal encrypted
// data of that track, "K" and the hexadecimal key serial number. (Older messages end with an
// unended "B" or nothing.)
inline std::wstring Serialise(const Card& card) {
  static const wchar_t kHex[] = L"0123456789abcdef";
  std::wstring out;
  for (int shift = 60; shift >= 0; shift -= 4) {
    out += kHex[(static_cast<std::uint64_t>(card.sent_at) >> shift) & 0xF];
  }
  for (const std::wstring* t : {&card.track1, &card.track2, &card.track3}) {
    out += *t;
    out += L'\0';
  }
  if (card.bad) out += std::wstring(L"B") + L'\0';
  for (int i = 0; i < 3; ++i) {
    if (card.encrypted[i]) out += static_cast<wchar_t>(L'1' + i) + ToHex(*card.encrypted[i]) + L'\0';
  }
  if (card.ksn) out += L'K' + ToHex(*card.ksn) + L'\0';
  return out;
}

inline bool Deserialise(const wchar_t* data, std::size_t chars, Card& card) {
  if (chars < 16) return false;
  std::uint64_t time = 0;
  for (std::size_t i = 0; i < 16; ++i) {
    const wchar_t c = data[i];
    const int digit = c >= L'0' && c <= L'9' ? c - L'0' : c >= L'a' && c <= L'f' ? c - L'a' + 10 : -1;
    if (digit < 0) return false;
    time = time << 4 | static_cast<std::uint64_t>(digit);
  }
  card.sent_at = static_cast<std::int64_t>(time);
  std::wstring* tracks[] = {&card.track1, &card.track2, &card.track3};
  std::size_t pos = 16;
  for (std::wstring* t : tracks) {
    std::size_t end = pos;
    while (end < chars && data[end] != L'\0') ++end;
    if (end == chars) return false;
    t->assign(data + pos, end - pos);
    pos = end + 1;
  }
  while (pos < chars) {
    std::size_t end = pos;
    while (end < chars && data[end] != L'\0') ++end;
    const wchar_t tag = data[pos];
    const std::wstring hex(data + pos + 1, end > pos ? end - pos - 1 : 0);
    std::optional<std::wstring>* bytes = tag == L'K' ? &card.ksn
                                         : tag >= L'1' && tag <= L'3' ? &card.encrypted[tag - L'1'] : nullptr;
    if (tag == L'B') {
      card.bad = true;
    } else if (bytes && !FromHex(hex, bytes->emplace())) {
      return false;
    }
    pos = end + 1;
  }
  return true;
}

}  // namespace msr_sim
