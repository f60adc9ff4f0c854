// The text form of one single-precision value in a point record.
//
// All digits come from std::to_chars with an explicit precision, which
// rounds the exact binary value once, to nearest with ties to even, and
// never consults the locale. Widening the float to double is exact, so the
// digits are those of the stored single. The field is assembled in place;
// nothing is allocated.
#include "output/number_text.h"

#include <bit>
#include <charconv>
#include <cstring>

namespace output {
namespace {

// The width of the fixed form's text area: the field less the room an
// exponent part takes, which the fixed form leaves blank.
constexpr int FIXED_TEXT_WIDTH = FIELD_WIDTH - EXPONENT_DIGITS - 2;

// Decimal exponents of the rounded magnitude r for which the fixed form
// applies: 0.1 <= r < 10^7.
constexpr int FIXED_LOWEST_EXPONENT = -1;
constexpr int FIXED_HIGHEST_EXPONENT = SIGNIFICANT_DIGITS - 1;

constexpr std::uint32_t SIGN_BIT = 0x80000000u;
constexpr std::uint32_t EXPONENT_MASK = 0x7F800000u;
constexpr std::uint32_t FRACTION_MASK = 0x007FFFFFu;

// Room for any digit string of a single in either form, with margin.
constexpr std::size_t SCRATCH_SIZE = 128;

using Scratch = char[SCRATCH_SIZE];

void write_right_justified(char* area, int area_width, const char* text, int length) {
  std::memcpy(area + area_width - length, text, static_cast<std::size_t>(length));
}

void write_word(char* field, const char* word) {
  std::memcpy(field + 1, word, std::strlen(word));
}

// `magnitude` in scientific form with `digits` (at least 2) significant
// digits, as to_chars writes it: "d.ddd" then 'e', the exponent's sign and
// at least two exponent digits. Returns its length.
int write_scientific(char* text, double magnitude, int digits) {
  const auto result = std::to_chars(text, text + SCRATCH_SIZE - 1, magnitude,
                                    std::chars_format::scientific, digits - 1);
  return static_cast<int>(result.ptr - text);
}

// Where the letter stands in a text of write_scientific.
constexpr int exponent_letter_index(int digits) { return digits + 1; }

// Decimal exponent of `magnitude` rounded to SIGNIFICANT_DIGITS digits:
// it decides the form, and the fixed form's digits after the point.
int rounded_exponent(double magnitude) {
  Scratch scratch;
  const int length = write_scientific(scratch, magnitude, SIGNIFICANT_DIGITS);
  const int letter = exponent_letter_index(SIGNIFICANT_DIGITS);
  int value = 0;
  for (int i = letter + 2; i < length; ++i) {
    value = value * 10 + (scratch[i] - '0');
  }
  return scratch[letter + 1] == '-' ? -value : value;
}

void write_fixed_form(char* field, double magnitude, bool negative, int exponent) {
  // Digits before the point of the rounded value: none below 1.
  const int integer_digits = exponent < 0 ? 0 : exponent + 1;
  const int fraction_digits = SIGNIFICANT_DIGITS - integer_digits;
  Scratch scratch;
  char* text = scratch + 1;  // room for the sign
  const auto result = std::to_chars(text, scratch + SCRATCH_SIZE - 1, magnitude,
                                    std::chars_format::fixed, fraction_digits);
  char* end = result.ptr;
  if (fraction_digits == 0) {
    *end++ = '.';  // the point stands even with no digit after it
  }
  if (negative) {
    *--text = '-';
  }
  write_right_justified(field, FIXED_TEXT_WIDTH, text, static_cast<int>(end - text));
}

void write_exponent_form(char* field, double magnitude, bool negative) {
  Scratch scratch;
  char* text = scratch + 1;  // room for the sign
  const int length = write_scientific(text, magnitude, SIGNIFICANT_DIGITS + 1);
  // to_chars writes a lower-case letter and at least two exponent digits;
  // a single's exponent (-45 to +38) never needs a third.
  text[exponent_letter_index(SIGNIFICANT_DIGITS + 1)] = 'E';
  int text_length = length;
  if (negative) {
    *--text = '-';
    ++text_length;
  }
  write_right_justified(field, FIELD_WIDTH, text, text_length);
}

}  // namespace

void format_point_value(float value, char* field) {
  const auto bits = std::bit_cast<std::uint32_t>(value);
  const bool negative = (bits & SIGN_BIT) != 0;
  const std::uint32_t magnitude_bits = bits & ~SIGN_BIT;
  std::memset(field, ' ', FIELD_WIDTH);

  if ((magnitude_bits & EXPONENT_MASK) == EXPONENT_MASK) {
    if ((magnitude_bits & FRACTION_MASK) != 0) {
      write_word(field, "NaN");
    } else {
      write_word(field, negative ? "-Infinity" : "Infinity");
    }
    return;
  }
  if (magnitude_bits == 0) {
    std::memcpy(field, "  0.0000000E+00", FIELD_WIDTH);  // either sign
    return;
  }

  const double magnitude = std::bit_cast<float>(magnitude_bits);  // exact
  const int exponent = rounded_exponent(magnitude);
  if (exponent >= FIXED_LOWEST_EXPONENT && exponent <= FIXED_HIGHEST_EXPONENT) {
    write_fixed_form(field, magnitude, negative, exponent);
  } else {
    write_exponent_form(field, magnitude, negative);
  }
}

PointField format_point_value(float value) {
  PointField field;
  format_point_value(value, field.data());
  return field;
}

}  // namespace output
