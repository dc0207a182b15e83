// TProperties: the style of one element, rule or style attribute. A fixed table of 55 tagged
// property values plus the element's identity and its font facts; the converters that turn
// the values into the numbers layout needs.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Types.h"
#include "style/MyFont.h"
#include "style/PropValue.h"

namespace korva {

class TStyleList;
class TPropStack;
struct TAuthorRule;

// Property indexes; ranges of them matter (inheritance, margin arrays).
enum TPropIndex : int {
  piFontFamily = 0, piFontSize, piFontStyle, piFontWeight, piTextAlign, piTextDecoration,
  piLetterSpacing, piBorderStyle, piColor, piBackgroundColor, piBorderColor,
  piMarginTop, piMarginRight, piMarginBottom, piMarginLeft,
  piPaddingTop, piPaddingRight, piPaddingBottom, piPaddingLeft,
  piBorderTopWidth, piBorderRightWidth, piBorderBottomWidth, piBorderLeftWidth,
  piBorderTopColor, piBorderRightColor, piBorderBottomColor, piBorderLeftColor,
  piBorderTopStyle, piBorderRightStyle, piBorderBottomStyle, piBorderLeftStyle,
  piWidth, piHeight, piTop, piLeft, piVisibility, piLineHeight,
  piBackgroundImage, piBackgroundPosition, piBackgroundRepeat, piBackgroundAttachment,
  piVerticalAlign, piPosition, piZIndex, piListStyleType, piListStyleImage, piFloat, piClear,
  piTextIndent, piPageBreakBefore, piPageBreakAfter, piPageBreakInside, piTextTransform,
  piFontVariant, piDisplay,
  PropCount
};
static_assert(PropCount == 55);

// The CSS name of each property, in index order.
extern const std::array<std::string_view, PropCount> PropNames;
// Exact lookup of a property name.
bool PropIndexFromName(std::string_view name, int& index);

// Codes returned by the getters (numbers shared with layout).
enum TAlignCode : int { acNone = 0, acTop, acMiddle, acBaseline, acBottom, acLeft, acRight, acJustify, acSub, acSuper };
enum TClearCode : int { ccNone = 0, ccLeft, ccRight, ccBoth };
enum TListStyleCode : int {
  lsBlank = 0, lsCircle, lsDecimal, lsDisc, lsLowerAlpha, lsLowerRoman, lsNone, lsSquare, lsUpperAlpha, lsUpperRoman
};
enum TPositionCode : int { posStatic = 0, posAbsolute, posRelative };
enum TVisibilityCode : int { viHidden = 1, viVisible = 2 };
enum TTextTransformCode : int { txNone = 0, txUpper, txLower };
enum TBorderStyleCode : int { bssNone = 0, bssSolid, bssInset, bssOutset, bssGroove, bssRidge, bssDashed, bssDotted, bssDouble };
enum TBgPosCode : int { bpTop = 0, bpCenter, bpBottom, bpLeft, bpRight, bpPercent, bpDim };

// The box properties 9..34 (background colour through `left`), indexed by property index.
constexpr int BoxFirst = piBackgroundColor, BoxLast = piLeft, BoxCount = BoxLast - BoxFirst + 1;

template <class T>
struct TBoxArray {
  std::array<T, BoxCount> V{};
  T& operator[](int propIndex) { return V[propIndex - BoxFirst]; }
  const T& operator[](int propIndex) const { return V[propIndex - BoxFirst]; }
  friend bool operator==(const TBoxArray&, const TBoxArray&) = default;
};
// Raw values copied from a set (border side styles already as TBorderStyleCode integers).
using TVMarginArray = TBoxArray<TPropValue>;
// The converted integers.
using TBoxValues = TBoxArray<int>;

// The box values a block keeps for its layouts, once its lengths are prepared: integers
// (pixels, colours, border styles, sentinels) take 5 bytes each in place; the few other values
// ("auto", percentages, reals, text) go to a side list. Reads answer as the TPropValue would.
class TCompactBox {
  enum : std::uint8_t { kEmpty = 0, kInt, kSide };

 public:
  // A read view of one value, with the reading interface of TPropValue.
  class Ref {
   public:
    Ref(const TCompactBox& box, int propIndex) : FBox(&box), FSlot(propIndex - BoxFirst) {}
    bool IsEmpty() const { return Kind() == kEmpty; }
    bool IsInt() const { return Kind() == kInt; }
    bool IsReal() const { return Kind() == kSide && Side().IsReal(); }
    bool IsText() const { return Kind() == kSide && Side().IsText(); }
    bool IsNumber() const { return IsInt() || IsReal(); }
    bool IsPercent() const { return Kind() == kSide && Side().IsPercent(); }
    int Int() const { return IsInt() ? FBox->FInt[FSlot] : Side().Int(); }  // Side() throws like the variant
    double Real() const { return Side().Real(); }
    const std::string& Text() const { return Side().Text(); }
    double Percent() const { return Side().Percent(); }
    double Number() const { return IsInt() ? double(FBox->FInt[FSlot]) : IsReal() ? Real() : 0.0; }
    bool TextIs(std::string_view s) const { return IsText() && Text() == s; }
    std::string_view TextOrEmpty() const { return IsText() ? std::string_view(Text()) : std::string_view(); }
    TPropValue Value() const { return FBox->Get(FSlot + BoxFirst); }
    operator TPropValue() const { return Value(); }

   protected:
    std::uint8_t Kind() const { return FBox->FKind[FSlot]; }
    const TPropValue& Side() const {
      static const TPropValue none;
      return Kind() == kSide ? FBox->FSide[std::size_t(FBox->FInt[FSlot])] : none;
    }
    const TCompactBox* FBox;
    int FSlot;
  };
  // A writable view: assigning a TPropValue stores it.
  class MutRef : public Ref {
   public:
    MutRef(TCompactBox& box, int propIndex) : Ref(box, propIndex), FOwner(&box) {}
    MutRef& operator=(const TPropValue& v) {
      FOwner->Set(FSlot + BoxFirst, v);
      return *this;
    }
    MutRef& operator=(const MutRef& other) { return *this = other.Value(); }

   private:
    TCompactBox* FOwner;
  };

  TCompactBox() = default;
  explicit TCompactBox(const TVMarginArray& values) {
    for (int i = BoxFirst; i <= BoxLast; ++i) Set(i, values[i]);
  }
  Ref operator[](int propIndex) const { return Ref(*this, propIndex); }
  MutRef operator[](int propIndex) { return MutRef(*this, propIndex); }
  TPropValue Get(int propIndex) const {
    const int k = propIndex - BoxFirst;
    if (FKind[k] == kInt) return TPropValue(FInt[k]);
    if (FKind[k] == kSide) return FSide[std::size_t(FInt[k])];
    return TPropValue();
  }
  void Set(int propIndex, const TPropValue& v) {
    const int k = propIndex - BoxFirst;
    if (v.IsEmpty() || v.IsInt()) {
      FKind[k] = v.IsInt() ? kInt : kEmpty;
      FInt[k] = v.IsInt() ? v.Int() : 0;
    } else if (FKind[k] == kSide) {
      FSide[std::size_t(FInt[k])] = v;
    } else {
      FKind[k] = kSide;
      FInt[k] = int(FSide.size());
      FSide.push_back(v);
    }
  }

 private:
  std::array<std::int32_t, BoxCount> FInt{};
  std::array<std::uint8_t, BoxCount> FKind{};
  std::vector<TPropValue> FSide;  // slots left behind by later integers stay unused
};

// One axis of a background position.
struct TBackgroundPos {
  TBgPosCode PosType = bpDim;
  int Value = 0;
  bool Repeat = true;
  bool Fixed = false;
};
using TBackgroundPosArray = std::array<TBackgroundPos, 2>;  // horizontal, vertical

// A small Bloom filter over selector pieces (tag, class, id, pseudo-class), letting the
// cascade reject a descendant rule whose ancestors cannot all be open without walking the stack.
struct TSelectorBloom {
  std::array<std::uint64_t, 4> W{};
  // kind: 't' tag, 'c' class, 'i' id, 'p' pseudo-class; the text is compared without case.
  void Add(char kind, std::string_view text);
  void AddAll(const TSelectorBloom& other) {
    for (int i = 0; i < 4; ++i) W[std::size_t(i)] |= other.W[std::size_t(i)];
  }
  bool Covers(const TSelectorBloom& need) const {
    for (int i = 0; i < 4; ++i)
      if ((need.W[std::size_t(i)] & ~W[std::size_t(i)]) != 0) return false;
    return true;
  }
};

// The generated content of an element's ::before or ::after: its text and the declarations of
// the rules that gave it, to be merged into a set inheriting from the element's.
struct TGeneratedContent {
  std::string Text;
  std::vector<std::pair<int, TPropValue>> Values;
};

class TProperties {
 public:
  TProperties();
  ~TProperties();
  TProperties(const TProperties&) = delete;
  TProperties& operator=(const TProperties&) = delete;
  // Makes the set what a newly made one is but for its serial, letting go of everything it
  // refers to (keeps its strings' storage).
  void ResetAsNew();

  // Identity and font facts (fields named as elsewhere in the engine).
  std::string FTagName;
  std::string FClassName;
  std::string FIdName;
  std::string FPseudoClass;
  std::string FTitleText;
  // The set of the element's style attribute, shared with the tag that made it: the link state
  // sets are combined with it again when a mis-nested end tag re-inherits the element.
  std::shared_ptr<const TProperties> FInlineStyle;
  TColor FTextBackColor = clNone;
  std::uint8_t FCharsetCode = DEFAULT_CHARSET;
  int FCodePageNum = 0;
  int FEmPixels = 0;
  int FExPixels = 0;
  bool FHasLinkFonts = false;
  std::array<TPropValue, PropCount> FValues;
  std::array<bool, PropCount> FLocalFlags{};
  std::unique_ptr<TFontInfoArray> FLinkFonts;
  std::unique_ptr<TMyFont> FCachedFont;
  int FSerial = 0;
  bool FHasOwnTitle = false;  // the title came from the element, not its parent
  TSelectorBloom FSelfBloom;  // the identity pieces above, set by Combine
  // ::before and ::after content the author rules give this element (null: none).
  std::shared_ptr<const TGeneratedContent> FBefore, FAfter;

  const TPropValue& Value(int index) const { return FValues[index]; }

  // Copying.
  void Copy(const TProperties& source);         // the 55 values only
  void CopyDefault(const TProperties& source);  // values, character set, tag "default"
  // Everything but the serial, the cached font and the link fonts (a rule of a copied list).
  void CopyRule(const TProperties& source);
  void InheritFrom(const TProperties& parent);
  // Re-inherits from a changed parent, keeping what was set at this element. Link fonts are
  // rebuilt for a "link" set, which needs the style list and this set's stack position.
  void Update(const TProperties& parent, TStyleList& styles, TPropStack& stack, int stackIndex);

  // Assignment.
  void SetFromText(int index, std::string_view text);
  void AssignByName(std::string_view name, std::string_view text);
  void SetFromAttribute(const TPropValue& value, int index);
  void SetCharsetCode(int cs);
  void SetUtf8();
  void Merge(const TProperties& source);
  // Merges values as Merge does, from a list of (index, value) already filtered by MergeTakes.
  void MergeValues(const std::vector<std::pair<int, TPropValue>>& values);
  // The values Merge would take from this set, in index order.
  std::vector<std::pair<int, TPropValue>> MergeableValues() const;
  // Whether Merge takes a source's value at `index`: a set's untouched box sides and z-index
  // are its initial values, not given ones.
  static bool MergeTakes(int index, const TPropValue& value);

  // The cascade for an element whose set sits at stack[stackIndex] (already inherited).
  void Combine(TStyleList& styles, TPropStack& stack, int stackIndex, std::string_view tag,
               std::string_view className, std::string_view id, std::string_view pseudo,
               std::string_view title, const std::shared_ptr<const TProperties>& inlineStyle);

  // Getters.
  TColor GetBackgroundColor() const;
  TColor GetSpecifiedColor() const;
  void SetTextBackColor();
  bool GetBackgroundImage(std::string& url) const;
  void GetBackgroundPos(int emSize, int exSize, TBackgroundPosArray& pos) const;
  bool GetVertAlign(TAlignCode& code) const;
  bool GetFloatMode(TAlignCode& code) const;
  bool GetClear(TClearCode& code) const;
  TListStyleCode GetListStyleType() const;
  bool GetListStyleImage(std::string& url) const;
  TPositionCode GetPositionMode() const;
  TVisibilityCode GetVisibility() const;
  int GetZIndex() const;
  bool DisplayNone() const;
  int GetLineHeight(int fontHeight) const;
  int GetTextIndent(bool& percent) const;
  TTextTransformCode GetTextTransform() const;
  std::string GetFontVariant() const;
  void GetPageBreaks(bool& before, bool& after, bool& intact) const;
  TBorderStyleCode GetBorderStyle() const;
  bool HasVisibleBorderStyle() const;
  void GetVerticalBox(TVMarginArray& margins) const;

  void GetFontInfo(ThtFontInfo& info) const;
  // A new font owned by the caller, a copy of the cached one (built on first use; that also
  // sets FEmPixels and FExPixels).
  std::unique_ptr<TMyFont> BuildFont();
  void GetLinkFontInfo(TFontInfoArray& fonts) const;

 private:
  void ApplyLinkFontChange(int index, const TPropValue& value);
  void BuildLinkFonts(TStyleList& styles, TPropStack& stack, int stackIndex);
  void ApplyGenerated(const TStyleList& styles, const TPropStack& stack, int stackIndex,
                      const std::vector<const TAuthorRule*>& rules);
  // Puts the parent's value or the initial one in place of "inherit" and "initial".
  void ResolveKeywords(const TStyleList& styles, const TPropStack& stack, int stackIndex);
  bool FOwnCharset = false;     // the character set was given at this element
  bool FOwnTextBack = false;    // FTextBackColor came from this element's background
};

// Font name of a comma-separated family list: the first installed face (generic families
// mapped to their faces, one pair of quotes removed); empty when none is installed.
std::string FirstInstalledFace(std::string_view families);

// The url of a "url(...)" value, outer quotes removed; empty when there is none.
std::string ParseUrlValue(const TPropValue& value);
std::string ParseUrlText(std::string_view text);
TBorderStyleCode ParseBorderStyle(std::string_view text);
// HTML align/valign attribute values.
TAlignCode ParseAlignment(std::string_view text);

void ResolveBlockBox(const TVMarginArray& margins, int baseWidth, int baseHeight, int emSize, int exSize,
                     TBoxValues& result, int& autoCount);
void ResolveVerticalBox(const TVMarginArray& margins, int baseHeight, int emSize, int exSize, TBoxValues& result,
                        bool& topAuto, bool& bottomAuto);
void ResolveBlockBox(const TCompactBox& margins, int baseWidth, int baseHeight, int emSize, int exSize,
                     TBoxValues& result, int& autoCount);
void ResolveVerticalBox(const TCompactBox& margins, int baseHeight, int emSize, int exSize, TBoxValues& result,
                        bool& topAuto, bool& bottomAuto);
// Writes margins 11..14, border widths 19..22, width and height; leaves the rest of `result`.
void ResolveInlineBox(const TVMarginArray& margins, int baseWidth, int baseHeight, int emSize, int exSize,
                      TBoxValues& result);
// Reads every length of a box array once, for an element whose em and ex are known: lengths
// become pixels, percentages TPercent; "auto" stays. The Resolve functions then read no text.
void PrepareBoxLengths(TVMarginArray& margins, int emSize, int exSize);
// Writes paddings 15..18 only: a percentage comes out as minus the percentage, -1 = not given.
void ResolveCellPadding(const TVMarginArray& margins, int emSize, int exSize, TBoxValues& result);

}  // namespace korva
