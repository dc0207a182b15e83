// The kinds of form control: what each reads from its element, how it sizes itself, resets,
// submits, takes values from outside and prints.
#include <algorithm>
#include <cstdint>

#include "core/Attributes.h"
#include "core/CharCase.h"
#include "layout/FormControl.h"
#include "layout/ImageObj.h"
#include "layout/LayoutLimits.h"
#include "platform/Canvas.h"
#include "platform/CodePage.h"
#include "platform/Font.h"
#include "style/Units.h"

namespace korva {

namespace {

constexpr int CheckBoxSize = 13;
// Radio buttons are drawn larger on high-resolution screens.
constexpr int RadioHighDpi = 101;
constexpr int RadioWidth = 13, RadioHeight = 14, RadioLargeSize = 16;
// A list box's selection is compared over this many entries to see a change.
constexpr int SelectionCompared = 51;
// Visible rows of a list box without SIZE.
constexpr int MaxAutoRows = 8;

// A count of characters or rows from the page times the size of one, plus the frame. The
// count is the page's own number, so the product is worked out wide and kept in layout range.
int CountedExtent(int unit, int count, int extra) {
  return int(std::clamp<std::int64_t>(std::int64_t(unit) * count + extra, 0, MaxLayoutCoord));
}

bool HasAttribute(const TAttributeList& attributes, std::string_view upperName) {
  for (int i = 0; i < attributes.Count(); ++i)
    if (attributes[i]->WhichName() == upperName) return true;
  return false;
}

int TextHeight(const TPlatformFontPtr& font) { return font ? font->Metrics().Height : 0; }
int CharWidth(const TPlatformFontPtr& font, char16_t c) { return font ? font->CharWidth(c) : 0; }
int TextWidth(const TPlatformFontPtr& font, const std::u16string& s) { return font ? font->TextWidth(s) : 0; }

const TControlKind KindButton = TControlKind::Button;
const TControlKind KindCheckBox = TControlKind::CheckBox;
const TControlKind KindRadio = TControlKind::Radio;
const TControlKind KindListBox = TControlKind::ListBox;
const TControlKind KindComboBox = TControlKind::ComboBox;
const TControlKind KindMemo = TControlKind::Memo;

}  // namespace

// ---- edit ----

TEditFormControlObj::TEditFormControlObj(ThtmlForm& form, const TAttributeList& attributes, const TProperties& props,
                                         int pos, TControlKind kind)
    : TFormControlObj(form, attributes, props, pos, &kind), FKind(kind) {
  // A size below one character (or none) takes the usual 15.
  if (const TAttribute* a = attributes.Find(sySize); a && a->Value() >= 1) EditSize = a->Value();
  if (const TAttribute* a = attributes.Find(syMaxlength); a && a->Value() > 0) FControl->SetMaxLength(a->Value());
  if (HasAttribute(attributes, "READONLY")) FControl->SetReadOnly(true);
  FControl->SetText(Wide(Value));
  FControl->OnEnterKey = [this] { MasterList->SubmitTheForm({}); };
}

void TEditFormControlObj::ResetToValue() { FControl->SetText(Wide(Value)); }

bool TEditFormControlObj::GetSubmission(int index, std::string& item) {
  if (index != 0) return false;
  if (!FName.empty()) item = Item(FControl->Text());
  return true;
}

void TEditFormControlObj::SetData(int, const std::string& value) { FControl->SetText(Wide(value)); }

void TEditFormControlObj::SetHeightWidth(TCanvas&) {
  if (PercentWidth) Width = 10;  // the section gives the real width
  else if (FWidth >= 10) Width = FWidth;
  else Width = CountedExtent(CharWidth(FFont, u'0'), EditSize, 20);
  Height = std::max(FControl->NaturalHeight(), FHeight);
  ApplyBounds();
}

void TEditFormControlObj::Print(TCanvas& canvas, int x, int y) {
  std::u16string text = FControl->Text();
  if (FKind == TControlKind::Password) text.assign(text.size(), u'*');
  DrawFramedText(canvas, Bounds(x, y, Width, Height), text, false);
}

const char* TEditFormControlObj::KindName() const {
  return FKind == TControlKind::Password ? "password" : FKind == TControlKind::FileEdit ? "file" : "edit";
}

// ---- buttons ----

TButtonFormControlObj::TButtonFormControlObj(ThtmlForm& form, const TAttributeList& attributes,
                                             const TProperties& props, int pos, TWhich which,
                                             TEditFormControlObj* browseFor)
    : TFormControlObj(form, attributes, props, pos, &KindButton), Which(which), LinkedEdit(browseFor) {
  if (which == bBrowse) {
    FControl->SetText(u"Browse...");
  } else {
    if (!attributes.Find(syValue)) Value = which == bSubmit ? "Submit" : which == bReset ? "Reset" : "Button";
    FControl->SetText(Wide(Value));
  }
  FControl->OnClick = [this] { ButtonClick(); };
}

void TButtonFormControlObj::ButtonClick() {
  FormControlClick();
  switch (Which) {
    case bSubmit:
      MasterList->SubmitTheForm(FName.empty() ? std::string() : FName + "=" + Value);
      break;
    case bReset:
      MasterList->ResetControls();
      break;
    case bBrowse:
      if (LinkedEdit && Document->Host().OnFileBrowse) {
        std::string text = WideToMultiByte(CodePage, LinkedEdit->Control()->Text());
        Document->Host().OnFileBrowse(*LinkedEdit, text);
        LinkedEdit->Control()->SetText(Wide(text));
      }
      break;
    case bButton:
      break;
  }
}

void TButtonFormControlObj::SetHeightWidth(TCanvas&) {
  const int th = TextHeight(FFont);
  Height = FHeight < th ? th + 8 : FHeight;
  Width = FWidth < 10 || PercentWidth ? TextWidth(FFont, FControl->Text()) + 20 : FWidth;
  ApplyBounds();
}

void TButtonFormControlObj::Print(TCanvas& canvas, int x, int y) {
  DrawFramedText(canvas, Bounds(x, y, Width, Height), FControl->Text(), true);
}

const char* TButtonFormControlObj::KindName() const {
  switch (Which) {
    case bSubmit: return "submit";
    case bReset: return "reset";
    case bBrowse: return "browse";
    default: return "button";
  }
}

// ---- check box ----

TCheckBoxFormControlObj::TCheckBoxFormControlObj(ThtmlForm& form, const TAttributeList& attributes,
                                                 const TProperties& props, int pos)
    : TCheckedFormControlObj(form, attributes, props, pos, &KindCheckBox) {
  if (!attributes.Find(syValue)) Value = "on";
  IsChecked = attributes.Find(syChecked) != nullptr;
  VertAlign = acBaseline;
  Width = Height = CheckBoxSize;
  ApplyBounds();
  FControl->SetChecked(IsChecked);
}

bool TCheckBoxFormControlObj::GetSubmission(int index, std::string& item) {
  if (index != 0) return false;
  if (FControl->Checked() && !FName.empty()) item = FName + "=" + Value;
  return true;
}

void TCheckBoxFormControlObj::SetData(int, const std::string& value) {
  FControl->SetChecked(SameText(value, Value));
}

void TCheckBoxFormControlObj::Print(TCanvas& canvas, int x, int y) {
  DrawFramedText(canvas, Bounds(x, y, Width, Height), {}, false);
  if (!FControl->Checked()) return;
  canvas.MoveTo(x + 3, y + Height / 2);
  canvas.LineTo(x + Width / 2 - 1, y + Height - 4);
  canvas.LineTo(x + Width - 3, y + 2);
}

// ---- radio button ----

TRadioButtonFormControlObj::TRadioButtonFormControlObj(ThtmlForm& form, const TAttributeList& attributes,
                                                       const TProperties& props, int pos, TCellBasic* cell)
    : TCheckedFormControlObj(form, attributes, props, pos, &KindRadio), FCell(cell) {
  IsChecked = attributes.Find(syChecked) != nullptr;
  VertAlign = acBaseline;
  if (ScreenPixelsPerInch() < RadioHighDpi) {
    Width = RadioWidth;
    Height = RadioHeight;
  } else {
    Width = Height = RadioLargeSize;
  }
  ApplyBounds();
  FControl->SetChecked(IsChecked);
  // The group so far (this button has not joined the form yet).
  bool others = false;
  for (const auto& c : form.Controls()) {
    auto* r = dynamic_cast<TRadioButtonFormControlObj*>(c.get());
    if (!r || !SameText(r->FName, FName)) continue;
    others = true;
    if (IsChecked) {
      r->Control()->SetChecked(false);
      r->Control()->SetTabStop(false);
    }
  }
  if (!IsChecked) FControl->SetTabStop(!others);
  FControl->OnClick = [this] {
    MasterList->DoRadios(*this);
    FormControlClick();
  };
  FControl->OnArrowKey = [this](TControlKey key) { return ArrowKey(key); };
}

bool TRadioButtonFormControlObj::ArrowKey(TControlKey key) {
  const int step = key == TControlKey::Left || key == TControlKey::Up ? -1 : 1;
  if (TRadioButtonFormControlObj* next = MasterList->NextRadio(*this, step)) next->Control()->SetFocus();
  return true;
}

bool TRadioButtonFormControlObj::GetSubmission(int index, std::string& item) {
  if (index != 0) return false;
  if (FControl->Checked() && !FName.empty()) item = FName + "=" + Value;
  return true;
}

void TRadioButtonFormControlObj::SetData(int, const std::string& value) {
  FControl->SetChecked(SameText(value, Value));
}

void TRadioButtonFormControlObj::Print(TCanvas& canvas, int x, int y) {
  const TBrush oldBrush = canvas.Brush();
  canvas.SetBrush(TBrush{clWhite});
  canvas.Ellipse(Bounds(x, y, Width, Height));
  if (FControl->Checked()) {
    canvas.SetBrush(TBrush{clBlack});
    canvas.Ellipse(Rect(x + 4, y + 4, x + Width - 4, y + Height - 4));
  }
  canvas.SetBrush(oldBrush);
}

// ---- hidden ----

THiddenFormControlObj::THiddenFormControlObj(ThtmlForm& form, const TAttributeList& attributes,
                                             const TProperties& props, int pos)
    : TFormControlObj(form, attributes, props, pos, nullptr) {}

bool THiddenFormControlObj::GetSubmission(int index, std::string& item) {
  if (index != 0) return false;
  if (!FName.empty()) item = FName + "=" + Value;
  return true;
}

void THiddenFormControlObj::RestoreState(const std::vector<std::u16string>& state) {
  if (state.size() == 1) Value = WideToMultiByte(CodePage, state[0]);
}

// ---- image ----

TImageFormControlObj::TImageFormControlObj(ThtmlForm& form, const TAttributeList& attributes,
                                           const TProperties& props, int pos)
    : TFormControlObj(form, attributes, props, pos, &KindButton) {
  // An invisible button that takes the focus for the picture.
  Width = Height = 1;
  ApplyBounds();
}

void TImageFormControlObj::ImageClick(int x, int y) {
  FControl->SetFocus();
  FormControlClick();
  XPos = x;
  YPos = y;
  if (!Disabled) MasterList->SubmitTheForm({});
}

bool TImageFormControlObj::GetSubmission(int index, std::string& item) {
  if (index > 1 || XPos < 0) return false;
  const std::string prefix = FName.empty() ? std::string() : FName + ".";
  if (index == 0) {
    item = prefix + "x=" + std::to_string(XPos);
  } else {
    item = prefix + "y=" + std::to_string(YPos);
    XPos = -1;  // a click is submitted once
  }
  return true;
}

TRect TImageFormControlObj::FocusBox() const {
  if (!MyImage) return {};
  return Bounds(MyImage->X(), MyImage->Y(), MyImage->BoxWidth, MyImage->BoxHeight);
}

void TImageFormControlObj::TakeStyle(const TProperties& props) {
  if (MyImage) MyImage->ApplyStyle(props);
}

// ---- list box and drop-down list ----

TListBoxFormControlObj::TListBoxFormControlObj(ThtmlForm& form, const TAttributeList& attributes,
                                               const TProperties& props, int pos, bool dropDown)
    : TFormControlObj(form, attributes, props, pos, dropDown ? &KindComboBox : &KindListBox) {
  if (!dropDown) {
    Multiple = attributes.Find(syMultiple) != nullptr;
    if (const TAttribute* a = attributes.Find(sySize); a && a->Value() > 1) LBSize = a->Value();
    FControl->SetMultiSelect(Multiple);
  }
}

void TListBoxFormControlObj::AddStr(const std::string& text, bool selected, const std::vector<std::string>& attributes,
                                    unsigned codePage) {
  const TOptionObj& o = TheOptions.Add(text, selected, codePage, attributes);
  Longest = std::max(Longest, TextWidth(FFont, o.Text));
}

void TListBoxFormControlObj::ResetToValue() {
  FControl->SetItems(TheOptions.Texts());
  int last = -1;
  for (int i = 0; i < TheOptions.Count(); ++i) {
    if (!TheOptions[i].Selected) continue;
    if (Multiple) FControl->SetItemSelected(i, true);
    last = i;
  }
  // A single selection takes the last option marked, else the first option; a multiple
  // selection starts empty when nothing is marked.
  if (!Multiple && TheOptions.Count() > 0) FControl->SetItemIndex(last >= 0 ? last : 0);
  FControl->SetTopIndex(0);
}

bool TListBoxFormControlObj::GetSubmission(int index, std::string& item) {
  if (index < 0 || index >= TheOptions.Count()) return false;
  if (FControl->ItemSelected(index) && !FName.empty()) item = FName + "=" + TheOptions[index].Value;
  return true;
}

void TListBoxFormControlObj::SetData(int index, const std::string& value) {
  if (index == 0 && Multiple)
    for (int i = 0; i < FControl->ItemCount(); ++i) FControl->SetItemSelected(i, false);
  for (int i = 0; i < TheOptions.Count(); ++i) {
    if (TheOptions[i].Value != value) continue;
    if (Multiple) FControl->SetItemSelected(i, true);
    else FControl->SetItemIndex(i);
  }
}

int TListBoxFormControlObj::AutoWidth() const { return FControl->ScrollBarWidth() + Longest + 10; }

void TListBoxFormControlObj::SetHeightWidth(TCanvas&) {
  const int rows = LBSize > 0 ? LBSize : std::max(1, std::min(MaxAutoRows, TheOptions.Count()));
  Height = FHeight >= 10 ? CountedExtent(1, FHeight, FControl->FrameExtra().cy)
                         : CountedExtent(TextHeight(FFont), rows, FControl->FrameExtra().cy);
  Width = PercentWidth ? 10 : FWidth >= 10 ? FWidth : AutoWidth();
  ApplyBounds();
}

std::vector<bool> TListBoxFormControlObj::Selection() const {
  std::vector<bool> s;
  const int n = std::min(FControl->ItemCount(), SelectionCompared);
  for (int i = 0; i < n; ++i) s.push_back(FControl->ItemSelected(i));
  return s;
}

std::vector<std::u16string> TListBoxFormControlObj::SaveState() const {
  std::vector<std::u16string> s;
  for (int i = 0; i < FControl->ItemCount(); ++i) s.push_back(FControl->ItemSelected(i) ? u"1" : u"0");
  return s;
}

void TListBoxFormControlObj::RestoreState(const std::vector<std::u16string>& state) {
  if (int(state.size()) != FControl->ItemCount()) return;
  for (int i = 0; i < int(state.size()); ++i) FControl->SetItemSelected(i, state[std::size_t(i)] == u"1");
}

void TListBoxFormControlObj::Print(TCanvas& canvas, int x, int y) {
  DrawFramedText(canvas, Bounds(x, y, Width, Height), {}, false);
  const int th = TextHeight(FFont);
  for (int i = 0, ty = y + 2; i < TheOptions.Count() && th > 0 && ty + th <= y + Height; ++i, ty += th)
    DrawFramedText(canvas, Bounds(x + 2, ty, Width - 4, th), TheOptions.Strings(i), false, false);
}

TComboFormControlObj::TComboFormControlObj(ThtmlForm& form, const TAttributeList& attributes,
                                           const TProperties& props, int pos)
    : TListBoxFormControlObj(form, attributes, props, pos, true) {}

void TComboFormControlObj::ResetToValue() {
  FControl->SetItems(TheOptions.Texts());
  int last = -1;
  for (int i = 0; i < TheOptions.Count(); ++i)
    if (TheOptions[i].Selected) last = i;
  if (TheOptions.Count() > 0) FControl->SetItemIndex(last >= 0 ? last : 0);
}

bool TComboFormControlObj::GetSubmission(int index, std::string& item) {
  if (index != 0) return false;
  const int i = FControl->ItemIndex();
  if (i >= 0 && i < TheOptions.Count() && !FName.empty()) item = FName + "=" + TheOptions[i].Value;
  return true;
}

void TComboFormControlObj::SetData(int, const std::string& value) {
  for (int i = 0; i < TheOptions.Count(); ++i)
    if (TheOptions[i].Value == value) {
      FControl->SetItemIndex(i);
      return;
    }
}

void TComboFormControlObj::SetHeightWidth(TCanvas&) {
  Height = FHeight > 9 ? FHeight : FControl->NaturalHeight();
  Width = PercentWidth ? 10 : FWidth >= 10 ? FWidth : AutoWidth();
  ApplyBounds();
}

void TComboFormControlObj::Print(TCanvas& canvas, int x, int y) {
  const int i = FControl->ItemIndex();
  DrawFramedText(canvas, Bounds(x, y, Width, Height), i >= 0 && i < TheOptions.Count() ? TheOptions.Strings(i) : u"",
                 false);
}

// ---- text area ----

TTextAreaFormControlObj::TTextAreaFormControlObj(ThtmlForm& form, const TAttributeList& attributes,
                                                 const TProperties& props, int pos)
    : TFormControlObj(form, attributes, props, pos, &KindMemo) {
  if (const TAttribute* a = attributes.Find(syRows); a && a->Value() > 0) Rows = a->Value();
  if (const TAttribute* a = attributes.Find(syCols); a && a->Value() > 0) Cols = a->Value();
  if (const TAttribute* a = attributes.Find(syWrap)) {
    const std::string w = LowerCase(StyleTrim(a->Text()));
    Wrap = w == "off" ? wrapOff : w == "hard" ? wrapHard : wrapSoft;
  }
  if (HasAttribute(attributes, "READONLY")) FControl->SetReadOnly(true);
  FControl->SetWordWrap(Wrap != wrapOff);
}

void TTextAreaFormControlObj::AddLine(const std::string& line) { TheText += Wide(line); }

void TTextAreaFormControlObj::ResetToValue() {
  FControl->SetText(TheText);
  FControl->SetCaretToStart();
}

bool TTextAreaFormControlObj::GetSubmission(int index, std::string& item) {
  if (index != 0) return false;
  if (FName.empty()) return true;
  if (Wrap != wrapHard) {
    item = Item(FControl->Text());
    return true;
  }
  std::u16string joined;
  const std::vector<std::u16string> lines = FControl->DisplayLines();
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) joined += u"\r\n";
    joined += lines[i];
  }
  item = Item(joined);
  return true;
}

void TTextAreaFormControlObj::SetData(int, const std::string& value) { FControl->SetText(Wide(value)); }

void TTextAreaFormControlObj::SetHeightWidth(TCanvas&) {
  const TSize frame = FControl->FrameExtra();
  Height = FHeight >= 10 ? FHeight : CountedExtent(TextHeight(FFont), Rows, 5 + frame.cy);
  if (PercentWidth) Width = 50;  // the section gives the real width
  else if (FWidth >= 10) Width = FWidth;
  else Width = CountedExtent(CharWidth(FFont, u's'), Cols, 5 + frame.cx);
  ApplyBounds();
}

void TTextAreaFormControlObj::Print(TCanvas& canvas, int x, int y) {
  DrawFramedText(canvas, Bounds(x, y, Width, Height), {}, false);
  const int th = TextHeight(FFont);
  const std::vector<std::u16string> lines = FControl->DisplayLines();
  int ty = y + 2;
  for (std::size_t i = 0; i < lines.size() && th > 0 && ty + th <= y + Height; ++i, ty += th)
    DrawFramedText(canvas, Bounds(x + 2, ty, Width - 4, th), lines[i], false, false);
}

}  // namespace korva
