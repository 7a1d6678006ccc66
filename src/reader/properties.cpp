#include "reader/properties.h"

#include <cwctype>
#include <limits>

namespace reader {
namespace {

struct ToText {
  std::wstring operator()(std::monostate) const { return {}; }
  std::wstring operator()(const std::wstring& s) const { return s; }
  std::wstring operator()(std::int32_t n) const { return std::to_wstring(n); }
  std::wstring operator()(bool b) const { return b ? L"True" : L"False"; }
};

std::optional<std::int32_t> ParseDecimal(const std::wstring& text) {
  std::size_t i = 0, end = text.size();
  while (i < end && std::iswspace(text[i])) ++i;
  while (end > i && std::iswspace(text[end - 1])) --end;
  bool negative = false;
  if (i < end && (text[i] == L'-' || text[i] == L'+')) negative = text[i++] == L'-';
  if (i == end) return std::nullopt;
  std::int64_t value = 0;
  for (; i < end; ++i) {
    if (text[i] < L'0' || text[i] > L'9') return std::nullopt;
    value = value * 10 + (text[i] - L'0');
    if (value > std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1) return std::nullopt;
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<std::int32_t>::max()) return std::nullopt;
  return static_cast<std::int32_t>(value);
}

struct ToInt {
  std::optional<std::int32_t> operator()(std::monostate) const { return 0; }
  std::optional<std::int32_t> operator()(const std::wstring& s) const { return ParseDecimal(s); }
  std::optional<std::int32_t> operator()(std::int32_t n) const { return n; }
  std::optional<std::int32_t> operator()(bool b) const { return b ? -1 : 0; }
};

}  // namespace

std::optional<std::wstring> GetText(ReaderDispatch& msr, DispId id) {
  DispValue value;
  if (!msr.Get(id, value)) return std::nullopt;
  // Card data: moved out, never copied, so no stray copy is left behind.
  if (auto* text = std::get_if<std::wstring>(&value)) return std::move(*text);
  return std::visit(ToText{}, value);
}

std::optional<std::int32_t> GetInt(ReaderDispatch& msr, DispId id) {
  DispValue value;
  if (!msr.Get(id, value)) return std::nullopt;
  return std::visit(ToInt{}, value);
}

std::int16_t NarrowCode(std::optional<std::int32_t> code) {
  if (!code || *code < std::numeric_limits<std::int16_t>::min() ||
      *code > std::numeric_limits<std::int16_t>::max()) {
    return kUnreadableCode;
  }
  return static_cast<std::int16_t>(*code);
}

std::optional<std::wstring> BinaryAsHex(const std::wstring& text, BinaryConversion conversion) {
  static const wchar_t kHex[] = L"0123456789ABCDEF";
  const std::size_t per_byte = conversion == BinaryConversion::Nibble    ? 2
                               : conversion == BinaryConversion::Decimal ? 3
                                                                         : 1;
  if (text.size() % per_byte != 0) return std::nullopt;
  std::wstring hex;
  hex.reserve(text.size() / per_byte * 2);  // sized once: the text may be a card's
  for (std::size_t i = 0; i < text.size(); i += per_byte) {
    unsigned byte = 0;
    for (std::size_t k = 0; k < per_byte; ++k) {
      const unsigned c = text[i + k];
      switch (conversion) {
        case BinaryConversion::None:
          if (c > 0xFF) return std::nullopt;
          byte = c;
          break;
        case BinaryConversion::Nibble:
          if (c < L'0' || c > L'0' + 15) return std::nullopt;
          byte = byte << 4 | (c - L'0');
          break;
        case BinaryConversion::Decimal:
          if (c < L'0' || c > L'9') return std::nullopt;
          byte = byte * 10 + (c - L'0');
          break;
      }
    }
    if (byte > 0xFF) return std::nullopt;
    hex += kHex[byte >> 4];
    hex += kHex[byte & 0xF];
  }
  return hex;
}

}  // namespace reader
