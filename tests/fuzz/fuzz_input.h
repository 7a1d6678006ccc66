#pragma once
// What the fuzz targets share: a check that stops the run as a crash, and the reading of the
// fuzzer's bytes as text.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

// A broken property: libFuzzer reports it as a crash and keeps the input that broke it.
#define FUZZ_CHECK(condition)                                                              \
  do {                                                                                     \
    if (!(condition)) {                                                                    \
      std::fprintf(stderr, "property broken: %s (%s:%d)\n", #condition, __FILE__, __LINE__); \
      std::abort();                                                                        \
    }                                                                                      \
  } while (0)

namespace fuzz {

// Bytes below 0x80 are those characters (controls, the notation's commands and braces
// included); the others stand for characters beyond ASCII that cards and layouts meet: Latin-1
// letters, dead-key characters, symbols no key types, a lone surrogate.
inline wchar_t CharOf(std::uint8_t byte) {
  static const wchar_t kBeyondAscii[] = {
      0x00E4, 0x00F6, 0x00FC, 0x00C4, 0x00DF, 0x00E9, 0x00E8, 0x00A3, 0x20AC, 0x00B5, 0x03A9,
      0x4E2D, 0x00B4, 0x00B0, 0x00A7, 0x00A8, 0x00A0, 0x0661, 0xFF11, 0xFF34, 0x200B, 0xD83D,
      0xFFFD, 0xFFFF, 0x0130, 0x0131, 0x017F, 0x212A};
  if (byte < 0x80) return static_cast<wchar_t>(byte);
  return kBeyondAscii[(byte - 0x80) % (sizeof kBeyondAscii / sizeof kBeyondAscii[0])];
}

inline std::wstring TextOf(const std::uint8_t* data, std::size_t size) {
  std::wstring text;
  text.reserve(size);
  for (std::size_t i = 0; i < size; ++i) text += CharOf(data[i]);
  return text;
}

// The same with the characters a card's tracks hold when typed: printable ones only.
inline std::wstring PrintableTextOf(const std::uint8_t* data, std::size_t size) {
  std::wstring text;
  text.reserve(size);
  for (std::size_t i = 0; i < size; ++i) {
    const wchar_t c = CharOf(data[i]);
    if (c >= 0x20 && c != 0x7F && c != 0xD83D && c != 0xFFFF) text += c;
  }
  return text;
}

}  // namespace fuzz
