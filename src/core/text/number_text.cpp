// Number <-> text conversions shown in the status bar and typed into the settings dialogs.
#include "core/text/number_text.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace murkel {

namespace {

// Upper-cases ASCII letters only; bytes of double-byte characters are left alone.
char ascii_upper(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Value of c as a digit of base 8, 10 or 16 (c already upper-cased), or -1.
int digit_value(char c, unsigned base) {
  int v = -1;
  if (c >= '0' && c <= '9') v = c - '0';
  else if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
  return (v >= 0 && static_cast<unsigned>(v) < base) ? v : -1;
}

// Digits read in `base`, in unsigned 32-bit arithmetic so that overflow wraps
// exactly as the signed 32-bit sum would, without undefined behaviour.
std::uint32_t read_digits(const char* p, unsigned base, bool upper) {
  std::uint32_t sum = 0;
  for (;; ++p) {
    const char c = upper ? ascii_upper(*p) : *p;
    const int d = digit_value(c, base);
    if (d < 0) break;
    sum = sum * base + static_cast<std::uint32_t>(d);
  }
  return sum;
}

}  // namespace

std::string number_to_text(double value) {
  if (std::isnan(value)) return "0";
  const bool negative = std::signbit(value);
  // Magnitude truncated toward zero, saturated to what a 32-bit signed value can hold.
  const double limit = negative ? 2147483648.0 : 2147483647.0;
  const double magnitude = std::trunc(std::fabs(value));
  const std::int64_t whole = magnitude >= limit ? static_cast<std::int64_t>(limit)
                                                : static_cast<std::int64_t>(magnitude);
  const std::int64_t signed_whole = (negative && whole != 0) ? -whole : whole;
  char buffer[24];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, signed_whole);
  return std::string(buffer, result.ptr);
}

std::int32_t text_to_number(const char* text) {
  if (text == nullptr) return 0;
  if (text[0] == '&') {
    const char kind = ascii_upper(text[1]);
    if (kind == 'H') return static_cast<std::int32_t>(read_digits(text + 2, 16, true));
    if (kind == 'O') return static_cast<std::int32_t>(read_digits(text + 2, 8, true));
    return 0;
  }
  const bool negative = text[0] == '-';
  // Only the digits before a "." count: the callers store a whole number.
  const std::uint32_t magnitude = read_digits(text + (negative ? 1 : 0), 10, false);
  return static_cast<std::int32_t>(negative ? 0u - magnitude : magnitude);
}

}  // namespace murkel
