// One tagged style value: empty (never assigned), integer, real or text; box lengths prepared
// for layout may also hold a percentage.
#pragma once

#include <string>
#include <string_view>
#include <variant>

namespace korva {

// Integer sentinels stored in property values.
constexpr int NotSetValue = -12345678;
constexpr int ParagraphSpaceValue = -12348766;  // automatic 14-pixel paragraph margin
constexpr int AutoValue = -12348765;

// A percentage already read from its text (box lengths are prepared once, see PrepareBoxLengths).
struct TPercent {
  double Value = 0.0;
  friend bool operator==(const TPercent&, const TPercent&) = default;
};

class TPropValue {
 public:
  TPropValue() = default;
  TPropValue(int v) : FV(v) {}
  TPropValue(unsigned v) : FV(int(v)) {}  // colours
  TPropValue(double v) : FV(v) {}
  TPropValue(std::string v) : FV(std::move(v)) {}
  TPropValue(std::string_view v) : FV(std::string(v)) {}
  TPropValue(const char* v) : FV(std::string(v)) {}
  TPropValue(TPercent v) : FV(v) {}

  bool IsEmpty() const { return FV.index() == 0; }
  bool IsInt() const { return FV.index() == 1; }
  bool IsReal() const { return FV.index() == 2; }
  bool IsText() const { return FV.index() == 3; }
  bool IsNumber() const { return IsInt() || IsReal(); }
  bool IsPercent() const { return FV.index() == 4; }

  int Int() const { return std::get<1>(FV); }
  double Real() const { return std::get<2>(FV); }
  const std::string& Text() const { return std::get<3>(FV); }
  double Percent() const { return std::get<4>(FV).Value; }
  // The number of an integer or real value (0 otherwise).
  double Number() const { return IsInt() ? double(Int()) : IsReal() ? Real() : 0.0; }
  // Whether the value is the text `s` (exactly).
  bool TextIs(std::string_view s) const { return IsText() && Text() == s; }
  // The text, or "" when the value is not text.
  std::string_view TextOrEmpty() const { return IsText() ? std::string_view(Text()) : std::string_view(); }

  void Clear() { FV = std::monostate{}; }
  friend bool operator==(const TPropValue&, const TPropValue&) = default;

 private:
  std::variant<std::monostate, int, double, std::string, TPercent> FV;
};

}  // namespace korva
