#pragma once
// Typed reads of the reader control's properties, with the conversions the program relies on.

#include <cstdint>
#include <optional>
#include <string>

#include "reader/dispatch.h"

namespace reader {

// The value as text: strings as they are, integers in decimal, Booleans as "True"/"False",
// empty as "". Nothing when the read fails.
std::optional<std::wstring> GetText(ReaderDispatch& msr, DispId id);

// The value as a 32-bit integer: integers as they are, Booleans as -1/0, decimal texts parsed
// (surrounding blanks allowed), empty as 0. Nothing when the read fails or the text is no number
// in the 32-bit range.
std::optional<std::int32_t> GetInt(ReaderDispatch& msr, DispId id);

// Narrows a result code into the 16-bit variables that keep it. A code outside the 16-bit range,
// or one that could not be read, is kept as kUnreadableCode rather than wrapped around into
// some other, meaningful code.
inline constexpr std::int16_t kUnreadableCode = -1;
std::int16_t NarrowCode(std::optional<std::int32_t> code);

// How a control gives binary data in a text (its BinaryConversion): a byte a character, two
// characters a byte ('0' plus each nibble), or three decimal digits a byte.
enum class BinaryConversion { None = 0, Nibble = 1, Decimal = 2 };

// The bytes of binary data given as `text`, written in upper-case hexadecimal; nothing when the
// text is not what the conversion makes (a character out of its range, a length that does not
// divide).
std::optional<std::wstring> BinaryAsHex(const std::wstring& text, BinaryConversion conversion);

// The card's five parsed fields and three tracks, in the order a data event reads them.
inline constexpr DispId kCardProperties[] = {
    DispId::FirstName,     DispId::MiddleInitial, DispId::Surname,    DispId::ExpirationDate,
    DispId::AccountNumber, DispId::Track1Data,    DispId::Track2Data, DispId::Track3Data};

}  // namespace reader
