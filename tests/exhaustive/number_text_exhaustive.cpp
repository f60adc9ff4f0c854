// Checks format_point_value on every one of the 2^32 single-precision bit
// patterns against a deliberately plain reference: the exact value is
// expanded into all of its decimal digits with big-integer arithmetic, and
// each rounding is done by hand on that digit string, half to even.
// Prints every mismatch with both fields and a summary; exits 1 on any.
//
// Usage: number_text_exhaustive [first-pattern-hex last-pattern-hex]
#include <array>
#include <atomic>
#include <bit>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

#include "output/number_text.h"

namespace {

// ---------------------------------------------------------------------------
// Exact decimal expansion
// ---------------------------------------------------------------------------

// A single is m * 2^q with m < 2^24 and q from -149 to 104. For q >= 0 its
// value is the integer m * 2^q; for q < 0 it is m * 5^-q scaled by 10^q.
// Big integers are little-endian limbs in base 10^9.
constexpr std::uint32_t LIMB_BASE = 1000000000u;
constexpr int MAX_LIMBS = 16;  // 5^149 * 2^24 has 113 decimal digits
constexpr int LOWEST_Q = -149;
constexpr int HIGHEST_Q = 104;

struct BigDecimal {
  std::array<std::uint32_t, MAX_LIMBS> limbs{};
  int size = 0;

  void multiply(std::uint32_t factor) {
    std::uint64_t carry = 0;
    for (int i = 0; i < size; ++i) {
      const std::uint64_t product = std::uint64_t{limbs[i]} * factor + carry;
      limbs[i] = static_cast<std::uint32_t>(product % LIMB_BASE);
      carry = product / LIMB_BASE;
    }
    while (carry != 0) {
      limbs[size++] = static_cast<std::uint32_t>(carry % LIMB_BASE);
      carry /= LIMB_BASE;
    }
  }
};

// 2^q for q >= 0, 5^-q for q < 0.
struct PowerTable {
  std::array<BigDecimal, HIGHEST_Q - LOWEST_Q + 1> powers;

  PowerTable() {
    BigDecimal power;
    power.limbs[0] = 1;
    power.size = 1;
    for (int q = 0; q <= HIGHEST_Q; ++q) {
      at(q) = power;
      power.multiply(2);
    }
    power = BigDecimal{};
    power.limbs[0] = 1;
    power.size = 1;
    for (int q = -1; q >= LOWEST_Q; --q) {
      power.multiply(5);
      at(q) = power;
    }
  }
  BigDecimal& at(int q) { return powers[static_cast<std::size_t>(q - LOWEST_Q)]; }
};

const PowerTable& power_table() {
  static const PowerTable table;
  return table;
}

// A positive value as its decimal digits d1 d2 ... dn (d1 not 0) with the
// decimal exponent of d1: value = d1.d2...dn * 10^exponent.
struct Digits {
  char digit[160];
  int count = 0;
  int exponent = 0;
};

Digits exact_digits(std::uint32_t mantissa, int q) {
  BigDecimal number = power_table().powers[static_cast<std::size_t>(q - LOWEST_Q)];
  number.multiply(mantissa);
  Digits result;
  char reversed[160];
  int count = 0;
  for (int i = 0; i < number.size; ++i) {
    std::uint32_t limb = number.limbs[i];
    for (int place = 0; place < 9; ++place) {
      reversed[count++] = static_cast<char>('0' + limb % 10);
      limb /= 10;
    }
  }
  while (reversed[count - 1] == '0') {
    --count;
  }
  for (int i = 0; i < count; ++i) {
    result.digit[i] = reversed[count - 1 - i];
  }
  result.count = count;
  // The integer has `count` digits; for q < 0 the point moves left by -q.
  result.exponent = count - 1 + (q < 0 ? q : 0);
  return result;
}

// The first `kept` digits, rounded half to even by what follows them; a
// carry out of the first digit gives 1 followed by zeros, one place up.
// `kept` is at least 1.
Digits round_to(const Digits& exact, int kept) {
  Digits rounded;
  rounded.exponent = exact.exponent;
  rounded.count = kept;
  for (int i = 0; i < kept; ++i) {
    rounded.digit[i] = i < exact.count ? exact.digit[i] : '0';
  }
  bool round_up = false;
  if (kept < exact.count) {
    const char first_dropped = exact.digit[kept];
    bool rest_nonzero = false;
    for (int i = kept + 1; i < exact.count; ++i) {
      rest_nonzero = rest_nonzero || exact.digit[i] != '0';
    }
    const bool last_kept_odd = (rounded.digit[kept - 1] - '0') % 2 == 1;
    round_up = first_dropped > '5' || (first_dropped == '5' && (rest_nonzero || last_kept_odd));
  }
  if (round_up) {
    int i = kept - 1;
    while (i >= 0 && rounded.digit[i] == '9') {
      rounded.digit[i--] = '0';
    }
    if (i >= 0) {
      ++rounded.digit[i];
    } else {
      // All nines: 1 and zeros, one place up.
      rounded.digit[0] = '1';
      ++rounded.exponent;
    }
  }
  return rounded;
}

// ---------------------------------------------------------------------------
// The reference field
// ---------------------------------------------------------------------------

std::string right_justified(const std::string& text, std::size_t width) {
  return std::string(width - text.size(), ' ') + text;
}

std::string fixed_text(const Digits& exact, int fraction_digits) {
  // Digits kept: those before the point plus the fraction digits; at
  // least six, since the fixed form starts at 0.1.
  const Digits r = round_to(exact, exact.exponent + 1 + fraction_digits);
  // Write out all places from the highest integer place (or the ones
  // place) down to the last fraction place.
  std::string text;
  const int highest = r.exponent > 0 ? r.exponent : 0;
  for (int place = highest; place >= -fraction_digits; --place) {
    const int index = r.exponent - place;
    text += index >= 0 && index < r.count ? r.digit[index] : '0';
    if (place == 0) {
      text += '.';
    }
  }
  return text;
}

std::string reference_field(std::uint32_t bits) {
  const float value = std::bit_cast<float>(bits);
  if (std::isnan(value)) {
    return right_justified("NaN", 4) + std::string(11, ' ');
  }
  const bool negative = std::signbit(value);
  const std::string sign = negative ? "-" : "";
  if (std::isinf(value)) {
    const std::string text = " " + sign + "Infinity";
    return text + std::string(15 - text.size(), ' ');
  }
  if (value == 0.0f) {
    return "  0.0000000E+00";
  }
  const std::uint32_t biased = (bits >> 23) & 0xFF;
  const std::uint32_t fraction = bits & 0x7FFFFF;
  const std::uint32_t mantissa = biased == 0 ? fraction : fraction | 0x800000;
  const int q = biased == 0 ? -149 : static_cast<int>(biased) - 150;
  const Digits exact = exact_digits(mantissa, q);

  const Digits seven = round_to(exact, 7);
  if (seven.exponent >= -1 && seven.exponent <= 6) {
    const int before_point = seven.exponent < 0 ? 0 : seven.exponent + 1;
    return right_justified(sign + fixed_text(exact, 7 - before_point), 11) + "    ";
  }
  const Digits eight = round_to(exact, 8);
  std::string text = sign + eight.digit[0] + "." + std::string(eight.digit + 1, 7) + "E";
  text += eight.exponent < 0 ? '-' : '+';
  const int magnitude = std::abs(eight.exponent);
  text += static_cast<char>('0' + magnitude / 10);
  text += static_cast<char>('0' + magnitude % 10);
  return right_justified(text, 15);
}

// ---------------------------------------------------------------------------
// The sweep
// ---------------------------------------------------------------------------

std::mutex report_lock;
std::atomic<std::uint64_t> mismatches{0};

void check_range(std::uint64_t first, std::uint64_t last) {
  for (std::uint64_t pattern = first; pattern <= last; ++pattern) {
    const auto bits = static_cast<std::uint32_t>(pattern);
    char field[output::FIELD_WIDTH];
    output::format_point_value(std::bit_cast<float>(bits), field);
    const std::string expected = reference_field(bits);
    if (std::memcmp(field, expected.data(), output::FIELD_WIDTH) != 0) {
      ++mismatches;
      const std::lock_guard<std::mutex> hold(report_lock);
      std::printf("MISMATCH %08X got \"%.15s\" expected \"%s\"\n", bits, field, expected.c_str());
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::uint64_t first = 0;
  std::uint64_t last = 0xFFFFFFFFu;
  if (argc == 3) {
    first = std::strtoull(argv[1], nullptr, 16);
    last = std::strtoull(argv[2], nullptr, 16);
  }
  power_table();  // built before the threads share it

  const auto start = std::chrono::steady_clock::now();
  const std::uint64_t middle = first + (last - first) / 2;
  std::thread lower_half(check_range, first, middle);
  std::thread upper_half(check_range, middle + 1, last);
  lower_half.join();
  upper_half.join();
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;

  std::printf("checked %llu patterns %08llX..%08llX: %llu mismatches, %.1f s\n",
              static_cast<unsigned long long>(last - first + 1),
              static_cast<unsigned long long>(first), static_cast<unsigned long long>(last),
              static_cast<unsigned long long>(mismatches.load()), elapsed.count());
  return mismatches.load() == 0 ? 0 : 1;
}
