#include "style/MyFont.h"

#include <algorithm>

#include "platform/Canvas.h"
#include "style/StyleLimits.h"
#include "style/Units.h"

namespace korva {

void TFont::SetName(const std::string& name) {
  if (name == FName) return;
  FName = name;
  FHandle.reset();
}

void TFont::SetHeight(int height) {
  if (height == FHeight) return;
  FHeight = height;
  FHandle.reset();
}

double TFont::Size() const { return -double(FHeight) * 72.0 / ScreenPixelsPerInch(); }

void TFont::SetSize(double points) {
  points = std::clamp(points, -MaxFontPoints, MaxFontPoints);
  SetHeight(-RoundHalfEven(ScreenPixelsPerInch() * points / 72.0));
}

void TFont::SetStyle(TFontStyles style) {
  if (style == FStyle) return;
  FStyle = style;
  FHandle.reset();
}

void TFont::SetCharSet(std::uint8_t cs) {
  if (cs == FCharSet) return;
  FCharSet = cs;
  FHandle.reset();
}

TFontSpec TFont::Spec() const {
  TFontSpec spec;
  if (!FName.empty()) spec.Name = FName;
  spec.Height = FHeight;
  spec.Weight = (FStyle & fsBold) ? FW_BOLD : FW_NORMAL;
  spec.Italic = (FStyle & fsItalic) != 0;
  spec.Underline = (FStyle & fsUnderline) != 0;
  spec.StrikeOut = (FStyle & fsStrikeOut) != 0;
  spec.CharSet = FCharSet;
  return spec;
}

const TPlatformFontPtr& TFont::Handle() const {
  if (!FHandle) FHandle = TPlatformFont::Create(Spec());
  return FHandle;
}

void TMyFont::SetFromInfo(const ThtFontInfo& info, int* emPixels) {
  SetName(info.Name);
  SetSize(info.Size);
  SetStyle(info.Style);
  SetColor(info.Color);
  BGColor = info.BGColor;

  // Realise with the default character set first: a symbol font keeps the symbol set, any
  // other gets the requested set back (and is realised again when that is not the default).
  SetCharSet(DEFAULT_CHARSET);
  TTextMetric tm = Handle()->Metrics();
  std::uint8_t cs = tm.CharSet == SYMBOL_CHARSET ? std::uint8_t(SYMBOL_CHARSET) : info.CharSet;
  if (cs != DEFAULT_CHARSET) {
    SetCharSet(cs);
    tm = Handle()->Metrics();
  }
  tmHeight = tm.Height;
  tmDescent = tm.Descent;
  tmExternalLeading = tm.ExternalLeading;
  tmMaxCharWidth = tm.MaxCharWidth;
  tmCharSet = tm.CharSet;
  int em = tm.Height - tm.InternalLeading;
  if (emPixels) *emPixels = em;

  const TPropValue& ls = info.LetterSpacing;
  if (ls.IsNumber()) CharExtra = RoundHalfEven(std::clamp(ls.Number(), -1e9, 1e9));
  else if (ls.IsText() && ls.Text() != "normal") CharExtra = LengthToPixels(ls.Text(), false, em, 0, em, em / 2);
  else CharExtra = 0;
  CharExtra = std::clamp(CharExtra, -MaxCharExtra, MaxCharExtra);
}

void TMyFont::ApplyTo(TCanvas& canvas) const {
  canvas.SetFont(Handle());
  canvas.SetTextColor(ColorToRGB(Color()));
  canvas.SetTextCharacterExtra(CharExtra);
}

}  // namespace korva
