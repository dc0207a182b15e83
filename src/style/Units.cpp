#include "style/Units.h"

#include <algorithm>
#include <charconv>
#include <system_error>

#include "platform/Font.h"
#include "platform/Types.h"
#include "style/StyleLimits.h"
#include "style/StyleState.h"

namespace korva {

std::string_view StyleTrimView(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= 32) ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= 32) --e;
  return s.substr(b, e - b);
}

std::string StyleTrim(std::string_view s) { return std::string(StyleTrimView(s)); }

std::string StyleLower(std::string_view s) {
  std::string r(s);
  for (char& c : r)
    if (c >= 'A' && c <= 'Z') c = char(c + 32);
  return r;
}

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Length of the longest prefix of s that reads as a decimal real: [spaces][sign]digits[.digits]
// [e[sign]digits], with at least one digit in the mantissa. 0 when there is none.
size_t NumericPrefix(std::string_view s) {
  size_t i = 0, n = s.size();
  while (i < n && s[i] == ' ') ++i;
  if (i < n && (s[i] == '+' || s[i] == '-')) ++i;
  size_t digits = 0;
  while (i < n && IsDigit(s[i])) ++i, ++digits;
  if (i < n && s[i] == '.') {
    size_t j = i + 1, frac = 0;
    while (j < n && IsDigit(s[j])) ++j, ++frac;
    if (digits + frac > 0) { i = j; digits += frac; }
  }
  if (digits == 0) return 0;
  if (i < n && (s[i] == 'e' || s[i] == 'E')) {
    size_t j = i + 1;
    if (j < n && (s[j] == '+' || s[j] == '-')) ++j;
    size_t expDigits = 0;
    while (j < n && IsDigit(s[j])) ++j, ++expDigits;
    if (expDigits > 0) i = j;
  }
  return i;
}

// Whether a decimal that from_chars found out of range is too large rather than too small:
// its order of magnitude from the digits and the exponent.
bool BeyondLargest(std::string_view s) {
  std::size_t i = 0;
  long long magnitude = 0;
  bool seenNonZero = false, afterPoint = false;
  for (; i < s.size() && s[i] != 'e' && s[i] != 'E'; ++i) {
    if (s[i] == '.') {
      afterPoint = true;
    } else if (!seenNonZero && s[i] == '0') {
      if (afterPoint) --magnitude;
    } else if (!seenNonZero) {
      seenNonZero = true;
      if (afterPoint) --magnitude;
    } else if (!afterPoint) {
      ++magnitude;
    }
  }
  long long exponent = 0;
  bool negativeExponent = false;
  if (++i < s.size() && (s[i] == '+' || s[i] == '-')) negativeExponent = s[i++] == '-';
  for (; i < s.size(); ++i)
    if (exponent < 1000000000LL) exponent = exponent * 10 + (s[i] - '0');
  return magnitude + (negativeExponent ? -exponent : exponent) > 0;
}

// A numeric prefix as NumericPrefix accepts it, read without the C locale (whose decimal
// separator may be a comma). Overflow saturates at +-1e300, underflow reads as 0.
double ToDouble(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  s = s.substr(i);
  double v = 0.0;
  std::errc ec = std::from_chars(s.data(), s.data() + s.size(), v, std::chars_format::general).ec;
  if (ec == std::errc::result_out_of_range) v = BeyondLargest(s) ? 1e300 : 0.0;
  else if (ec != std::errc() || !(v == v)) v = 0.0;
  v = std::min(v, 1e300);
  return negative ? -v : v;
}

int ClampRound(double v) {
  v = std::clamp(v, -double(MaxLengthPixels), double(MaxLengthPixels));
  return RoundHalfEven(v);
}

}  // namespace

size_t SplitNumberUnit(std::string_view text, double& number, std::string& unit) {
  size_t stop = NumericPrefix(text);
  // An "e" inside the numeric part starts the unit ("2em", "1ex"), never an exponent.
  for (size_t i = 0; i < stop; ++i)
    if (text[i] == 'e' || text[i] == 'E') { stop = i; break; }
  number = stop > 0 ? ToDouble(text.substr(0, stop)) : 0.0;
  unit = StyleLower(StyleTrimView(text.substr(stop)));
  return stop;
}

bool ReadWholeNumber(std::string_view text, double& number) {
  std::string_view t = StyleTrimView(text);
  size_t n = NumericPrefix(t);
  if (n == 0 || n != t.size()) return false;
  number = ToDouble(t);
  return true;
}

bool ReadWholeInt(std::string_view text, int& value) {
  std::string_view t = StyleTrimView(text);
  size_t i = 0;
  bool negative = false;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) negative = t[i++] == '-';
  if (i >= t.size()) return false;
  long long v = 0;
  for (; i < t.size(); ++i) {
    if (!IsDigit(t[i])) return false;
    if (v < 100000000000LL) v = v * 10 + (t[i] - '0');
  }
  if (negative) v = -v;
  value = int(std::clamp<long long>(v, -2147483647LL - 1, 2147483647LL));
  return true;
}

int LengthToPixels(std::string_view text, bool relative, int base, int defaultValue, int emSize, int exSize) {
  double number;
  std::string unit;
  SplitNumberUnit(text, number, unit);
  const double ppi = ScreenPixelsPerInch();
  double v;
  if (unit.empty()) v = relative ? number * base : number;
  else if (unit == "px") v = number;
  else if (unit == "em") v = number * emSize;
  else if (unit == "ex") v = number * exSize;
  else if (unit == "%") v = number * base / 100.0;
  else if (unit == "rem") v = number * DefaultFontSize() * ppi / 72.0;  // the root's size is the default
  else if (unit == "ch") v = number * exSize;  // the width of "0" is about an ex in the faces we use
  else if (unit == "vw") v = number * StyleState().ViewportWidth / 100.0;
  else if (unit == "vh") v = number * StyleState().ViewportHeight / 100.0;
  else if (unit == "pt") v = number * ppi / 72.0;
  else if (unit == "in") v = number * ppi;
  else if (unit == "cm") v = number * ppi / 2.54;
  else if (unit == "mm") v = number * ppi / 25.4;
  else if (unit == "pc") v = number * ppi / 6.0;
  else return defaultValue;
  return ClampRound(v);
}

double FontSizeToPoints(std::string_view text, double oldSize) {
  double number;
  std::string unit;
  SplitNumberUnit(text, number, unit);
  const double ppi = ScreenPixelsPerInch();
  const double def = DefaultFontSize();
  double v;
  if (unit.empty()) v = number * 72.0 / ppi;  // a bare number is pixels
  else if (unit == "pt") v = number;
  else if (unit == "px") v = number * 72.0 / ppi;
  else if (unit == "em") v = number * oldSize;
  else if (unit == "%") v = number * oldSize / 100.0;
  else if (unit == "ex" || unit == "ch") v = number * oldSize / 2.0;
  else if (unit == "rem") v = number * def;
  else if (unit == "vw") v = number * StyleState().ViewportWidth / 100.0 * 72.0 / ppi;
  else if (unit == "vh") v = number * StyleState().ViewportHeight / 100.0 * 72.0 / ppi;
  else if (unit == "in") v = number * 72.0;
  else if (unit == "cm") v = number * 72.0 / 2.54;
  else if (unit == "mm") v = number * 72.0 / 25.4;
  else if (unit == "pc") v = number * 12.0;
  else if (unit == "smaller") v = oldSize * 0.75;
  else if (unit == "larger") v = oldSize * 1.25;
  else if (unit == "xx-small") v = def / 1.5;
  else if (unit == "x-small") v = def / 1.2;
  else if (unit == "small") v = def;
  else if (unit == "medium") v = def * 1.2;
  else if (unit == "large") v = def * 1.5;
  else if (unit == "x-large") v = def * 2.0;
  else if (unit == "xx-large") v = def * 3.0;
  else v = def;
  return std::clamp(v, -MaxFontPoints, MaxFontPoints);
}

double DefaultFontSize() { return StyleState().DefaultFontSize; }
void SetDefaultFontSize(double points) { StyleState().DefaultFontSize = points; }

}  // namespace korva
