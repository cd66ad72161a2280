// Conversion between numbers and the decimal / "&H" / "&O" texts of the status bar and the dialogs.
#pragma once

#include <cstdint>
#include <string>

namespace murkel {

// Plain decimal text of a whole number: "-" only for a negative value, never "-0".
// The fraction is dropped (truncation toward zero). Values beyond the 32-bit signed
// range saturate to -2147483648 / 2147483647; NaN gives "0".
[[nodiscard]] std::string number_to_text(double value);

// Reads "&Hxx" (hexadecimal), "&Oxx" (octal, either case) or decimal text with one
// optional leading "-". Reading stops at the first character that is not a digit of
// the base; no digits give 0, as does a null pointer. Sums wrap around in 32 bits.
// A "." among decimal digits is taken but ends the whole part: "12.5" reads as 12.
[[nodiscard]] std::int32_t text_to_number(const char* text);

}  // namespace murkel
