// One tagged style value: empty (never assigned), integer, real or text; box lengths prepared
// for layout may also hold a percentage. Copies of a text value share its characters.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
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

// A tagged value by hand rather than a std::variant: sets are copied value by value all the
// time, and a copy of anything but text is then a plain copy of 16 bytes. The characters of a
// text value are shared by its copies (a copy counts a reference); they never change.
class TPropValue {
 public:
  TPropValue() noexcept { FU.I = 0; }
  TPropValue(int v) noexcept : FKind(kInt) { FU.I = v; }
  TPropValue(unsigned v) noexcept : FKind(kInt) { FU.I = int(v); }  // colours
  TPropValue(double v) noexcept : FKind(kReal) { FU.D = v; }
  TPropValue(std::string v) : FKind(kText) { FU.T = new TText{std::move(v), {1}}; }
  TPropValue(std::string_view v) : TPropValue(std::string(v)) {}
  TPropValue(const char* v) : TPropValue(std::string(v)) {}
  TPropValue(TPercent v) noexcept : FKind(kPercent) { FU.D = v.Value; }

  TPropValue(const TPropValue& o) noexcept : FU(o.FU), FKind(o.FKind) { Acquire(); }
  TPropValue(TPropValue&& o) noexcept : FU(o.FU), FKind(std::exchange(o.FKind, kEmpty)) {}
  TPropValue& operator=(const TPropValue& o) noexcept {
    if (this != &o) {
      o.Acquire();
      Release();
      FU = o.FU;
      FKind = o.FKind;
    }
    return *this;
  }
  TPropValue& operator=(TPropValue&& o) noexcept {
    if (this != &o) {
      Release();
      FU = o.FU;
      FKind = std::exchange(o.FKind, kEmpty);
    }
    return *this;
  }
  ~TPropValue() { Release(); }

  bool IsEmpty() const { return FKind == kEmpty; }
  bool IsInt() const { return FKind == kInt; }
  bool IsReal() const { return FKind == kReal; }
  bool IsText() const { return FKind == kText; }
  bool IsNumber() const { return IsInt() || IsReal(); }
  bool IsPercent() const { return FKind == kPercent; }

  // Reading another kind than the value holds throws std::bad_variant_access.
  int Int() const { return Check(kInt).FU.I; }
  double Real() const { return Check(kReal).FU.D; }
  const std::string& Text() const { return Check(kText).FU.T->Text; }
  double Percent() const { return Check(kPercent).FU.D; }
  // The number of an integer or real value (0 otherwise).
  double Number() const { return IsInt() ? double(FU.I) : IsReal() ? FU.D : 0.0; }
  // Whether the value is the text `s` (exactly).
  bool TextIs(std::string_view s) const { return IsText() && FU.T->Text == s; }
  // The text, or "" when the value is not text.
  std::string_view TextOrEmpty() const { return IsText() ? std::string_view(FU.T->Text) : std::string_view(); }

  void Clear() noexcept {
    Release();
    FKind = kEmpty;
    FU.I = 0;
  }
  friend bool operator==(const TPropValue& a, const TPropValue& b) {
    if (a.FKind != b.FKind) return false;
    switch (a.FKind) {
      case kEmpty: return true;
      case kInt: return a.FU.I == b.FU.I;
      case kText: return a.FU.T == b.FU.T || a.FU.T->Text == b.FU.T->Text;
      default: return a.FU.D == b.FU.D;
    }
  }

 private:
  enum TKind : std::uint8_t { kEmpty, kInt, kReal, kText, kPercent };
  struct TText {
    std::string Text;
    std::atomic<long> Refs;
  };
  union TUnion {
    int I;
    double D;
    TText* T;
  };
  const TPropValue& Check(TKind kind) const {
    if (FKind != kind) throw std::bad_variant_access();
    return *this;
  }
  void Acquire() const noexcept {
    if (FKind == kText) FU.T->Refs.fetch_add(1, std::memory_order_relaxed);
  }
  void Release() noexcept {
    if (FKind == kText && FU.T->Refs.fetch_sub(1, std::memory_order_acq_rel) == 1) delete FU.T;
  }
  TUnion FU;
  TKind FKind = kEmpty;
};

}  // namespace korva
