// Forms, the part every control shares, the text section's view of a control, and what the
// document's passes do with controls. The kinds are in FormControlKinds.cpp.
#include "layout/FormControl.h"

#include <algorithm>
#include <cstdint>

#include "core/Attributes.h"
#include "core/CharCase.h"
#include "layout/ImageObj.h"
#include "layout/LayoutDump.h"
#include "layout/Section.h"
#include "platform/Canvas.h"
#include "platform/CodePage.h"
#include "style/Units.h"

namespace korva {

namespace {

// Where a control waits until its line is drawn.
constexpr int ParkedLeft = -4000;
// Spacing and sizes from a style are kept within this.
constexpr int MaxControlExtent = 100000;
// A method name is this long at most.
constexpr std::size_t MaxMethodLength = 4;

int ClampExtent(int v) { return std::clamp(v, 0, MaxControlExtent); }

// The section's view of a control: the control sizes and draws itself; the section owns only
// this view, the form owns the control.
class TControlTextObject : public TTextObject {
 public:
  explicit TControlTextObject(TFormControlObj& control) : FControl(control) {}
  void SizeFor(TCanvas&, int usableWidth) override {
    if (!FControl.PercentSized()) return;
    const int spaces = FControl.HSpaceL + FControl.HSpaceR;
    const std::int64_t share = std::int64_t(FControl.FWidth) * std::max(usableWidth, 0) / 100;
    FControl.SetPercentWidth(int(std::max<std::int64_t>(10, std::min<std::int64_t>(share, usableWidth - spaces))));
  }
  int ObjWidth() const override { return FControl.Width; }
  int ObjHeight() const override { return FControl.Height; }
  int HSpaceL() const override { return FControl.HSpaceL; }
  int HSpaceR() const override { return FControl.HSpaceR; }
  TAlignCode VertAlign() const override { return FControl.VertAlign; }
  bool PercentSized() const override { return FControl.PercentSized(); }
  void Place(int x, int y) override {
    TTextObject::Place(x, y);
    FControl.Left = x;
    FControl.Top = y;
  }
  void DrawObj(TCanvas& canvas, int dx, int dy) override { FControl.Draw(canvas, FX + dx, FY + dy); }
  TFormControlObj* AsControl() override { return &FControl; }
  bool HotSpotAt(int, int, THotSpot& spot) override {
    spot.Control = &FControl;
    if (!FControl.FTitle.empty()) {
      spot.Title = FControl.FTitle;
      spot.HasTitle = true;
    }
    return true;
  }
  // A printing copy shows the same control.
  std::unique_ptr<TTextObject> CloneObjectForPrint(TSectionList*) const override {
    return std::make_unique<TControlTextObject>(FControl);
  }
  void SetTextIndex(int index) override {
    TTextObject::SetTextIndex(index);
    FControl.Pos = index;
  }
  void DumpObj(TDumpWriter& out, int depth) const override { FControl.Dump(out, depth); }

 private:
  TFormControlObj& FControl;
};

}  // namespace

// ---- forms ----

ThtmlForm::ThtmlForm(TSectionList* document, const TAttributeList* attributes)
    : Document(document), Implicit(attributes == nullptr) {
  if (!attributes) return;
  for (int i = 0; i < attributes->Count(); ++i) {
    const TAttribute& a = *(*attributes)[i];
    switch (a.Which()) {
      case syMethod: Method = a.Text().substr(0, MaxMethodLength); break;
      case syAction: Action = a.Text(); break;
      case syTarget: Target = a.Text(); break;
      case syEnctype: EncType = a.Text(); break;
      default: break;
    }
  }
}

ThtmlForm::~ThtmlForm() = default;

ThtmlForm* NewHtmlForm(TSectionList& document, const TAttributeList* attributes) {
  document.FHtmlFormList.push_back(std::make_unique<ThtmlForm>(&document, attributes));
  return document.FHtmlFormList.back().get();
}

TFormControlObj* ThtmlForm::AddFormControl(std::unique_ptr<TFormControlObj> control) {
  if (!control) return nullptr;
  if (!dynamic_cast<THiddenFormControlObj*>(control.get())) ++NonHiddenCount;
  FControls.push_back(std::move(control));
  Document->FFormControlList.push_back(FControls.back().get());
  return FControls.back().get();
}

void ThtmlForm::DoRadios(TRadioButtonFormControlObj& checked) {
  for (const auto& c : FControls) {
    auto* r = dynamic_cast<TRadioButtonFormControlObj*>(c.get());
    if (!r || r == &checked || !SameText(r->FName, checked.FName)) continue;
    r->Control()->SetChecked(false);
    r->Control()->SetTabStop(false);
  }
  checked.Control()->SetTabStop(true);
}

TRadioButtonFormControlObj* ThtmlForm::NextRadio(const TRadioButtonFormControlObj& from, int step) const {
  std::vector<TRadioButtonFormControlObj*> group;
  int at = -1;
  for (const auto& c : FControls) {
    auto* r = dynamic_cast<TRadioButtonFormControlObj*>(c.get());
    if (!r || !SameText(r->FName, from.FName)) continue;
    if (r == &from) at = int(group.size());
    group.push_back(r);
  }
  const int to = at + step;
  return at >= 0 && to >= 0 && to < int(group.size()) ? group[std::size_t(to)] : nullptr;
}

void ThtmlForm::ResetControls() {
  for (const auto& c : FControls) c->ResetToValue();
}

std::vector<std::string> ThtmlForm::GetFormSubmission() const {
  std::vector<std::string> items;
  for (const auto& c : FControls) {
    if (c->Disabled) continue;
    std::string item;
    for (int i = 0; c->GetSubmission(i, item); ++i) {
      if (!item.empty()) items.push_back(item);
      item.clear();
    }
  }
  return items;
}

void ThtmlForm::SubmitTheForm(const std::string& buttonItem) {
  const auto& handler = Document->Host().OnFormSubmit;
  if (!handler) return;
  std::vector<std::string> items = GetFormSubmission();
  if (!buttonItem.empty()) items.push_back(buttonItem);
  handler(Action, Target, EncType, Method, items);
}

void ThtmlForm::SetFormData(const std::vector<std::string>& items) {
  for (const auto& c : FControls) {
    if (c->FName.empty()) continue;
    int k = 0;
    for (const std::string& item : items) {
      const std::size_t eq = item.find('=');
      if (eq == std::string::npos || item.compare(0, eq, c->FName) != 0 || eq != c->FName.size()) continue;
      c->SetData(k++, item.substr(eq + 1));
    }
  }
}

void ThtmlForm::SetSizes(TCanvas& canvas) {
  for (const auto& c : FControls) c->SetHeightWidth(canvas);
}

// ---- options ----

TOptionObj& ThtOptionStringList::Add(const std::string& text, bool selected, unsigned codePage,
                                     const std::vector<std::string>& attributes) {
  auto o = std::make_unique<TOptionObj>();
  o->Text = text.empty() ? u" " : MultiByteToWide(codePage, text);
  o->Value = text;
  for (const std::string& line : attributes) {
    const std::size_t eq = line.find('=');
    if (eq != std::string::npos && SameText(std::string_view(line).substr(0, eq), "VALUE")) {
      o->Value = line.substr(eq + 1);
      break;
    }
  }
  o->Selected = selected;
  o->Attributes = attributes;
  FItems.push_back(std::move(o));
  return *FItems.back();
}

std::vector<std::u16string> ThtOptionStringList::Texts() const {
  std::vector<std::u16string> out;
  out.reserve(FItems.size());
  for (const auto& o : FItems) out.push_back(o->Text);
  return out;
}

// ---- the common part of controls ----

TFormControlObj::TFormControlObj(ThtmlForm& form, const TAttributeList& attributes, const TProperties& props, int pos,
                                 const TControlKind* kind)
    : Pos(pos), Document(form.Document), MasterList(&form) {
  int tabIndex = 0;
  for (int i = 0; i < attributes.Count(); ++i) {
    const TAttribute& a = *attributes[i];
    switch (a.Which()) {
      case syValue: Value = a.Text(); break;
      case syName: FName = a.Text(); break;
      case syId: FID = a.Text(); break;
      case syOnclick: OnClickMessage = a.Text(); break;
      case syOnfocus: OnFocusMessage = a.Text(); break;
      case syOnblur: OnBlurMessage = a.Text(); break;
      case syOnchange: OnChangeMessage = a.Text(); break;
      case syDisabled: Disabled = true; break;
      case syTabindex: tabIndex = a.Value(); break;
      default: break;
    }
  }
  FTitle = attributes.TheTitle();
  AttributeList = attributes.AsStringList();
  CodePage = props.FCodePageNum > 0 ? unsigned(props.FCodePageNum) : 1252u;
  if (!FID.empty()) Document->IDNameList().AddObject(FID, this);
  if (!kind) return;
  FControl = Document->Host().CreateControl(*kind);
  // A host without this kind: a control that only keeps its state, so the form still works.
  if (!FControl) FControl = std::make_unique<THeadlessControl>(*kind);
  FFont = Document->FontFor(props).Font.Handle();
  FControl->SetFont(FFont);
  FControl->SetBounds(Bounds(ParkedLeft, 0, 0, 0));
  FControl->SetVisible(false);
  if (props.HasVisibleBorderStyle()) FControl->SetBorderless(true);
  if (Disabled) FControl->SetEnabled(false);
  if (tabIndex >= 1) Document->AddTabOrder(tabIndex, FControl.get());
  FControl->OnFocusChange = [this](bool focused) {
    if (focused) FormControlEnter();
    else FormControlExit();
  };
  FControl->OnClick = [this] { FormControlClick(); };
}

TFormControlObj::~TFormControlObj() {
  if (FControl) {
    FControl->OnFocusChange = nullptr;
    FControl->OnClick = nullptr;
    FControl->OnEnterKey = nullptr;
    FControl->OnArrowKey = nullptr;
  }
  std::erase(Document->FFormControlList, this);
  if (!FID.empty()) Document->IDNameList().RemoveObject(this);
}

void TFormControlObj::TakeStyle(const TProperties& props) {
  TVMarginArray margins;
  props.GetVerticalBox(margins);
  TBoxValues box{};
  // Percent margins have no width to refer to here; they count as 0.
  ResolveInlineBox(margins, 0, 0, props.FEmPixels, props.FExPixels, box);
  auto px = [&box](int i) { return box[i] == NotSetValue || box[i] == AutoValue ? 0 : ClampExtent(box[i]); };
  HSpaceL = px(piMarginLeft);
  HSpaceR = px(piMarginRight);
  if (props.HasVisibleBorderStyle()) {
    HSpaceL += px(piBorderLeftWidth);
    HSpaceR += px(piBorderRightWidth);
  }
  const TPropValue& w = props.Value(piWidth);
  double percent = -1;
  if (w.IsPercent()) {
    percent = w.Percent();
  } else if (w.IsText() && w.Text().find('%') != std::string::npos) {
    std::string unit;
    SplitNumberUnit(StyleTrim(w.Text()), percent, unit);
  }
  if (percent >= 0) {
    // More than the whole line is taken as a mistake and ignored.
    const int p = RoundHalfEven(percent);
    if (p >= 1 && p <= 100) {
      FWidth = p;
      PercentWidth = true;
    }
  } else if (box[piWidth] != NotSetValue && box[piWidth] != AutoValue) {
    FWidth = ClampExtent(box[piWidth]);
    PercentWidth = false;
  }
  if (box[piHeight] != NotSetValue && box[piHeight] != AutoValue) FHeight = ClampExtent(box[piHeight]);
  TAlignCode code = acNone;
  if (props.GetVertAlign(code)) VertAlign = code;
}

bool TFormControlObj::GetSubmission(int, std::string&) { return false; }

void TFormControlObj::SetData(int, const std::string&) {}

std::vector<std::u16string> TFormControlObj::SaveState() const {
  if (!FControl) return {};
  return {FControl->Text(), FControl->Checked() ? u"1" : u"0"};
}

void TFormControlObj::RestoreState(const std::vector<std::u16string>& state) {
  if (!FControl || state.size() != 2) return;
  FControl->SetText(state[0]);
  FControl->SetChecked(state[1] == u"1");
}

std::string TFormControlObj::Item(const std::u16string& value) const {
  return FName + "=" + WideToMultiByte(CodePage, value);
}

std::u16string TFormControlObj::Wide(const std::string& text) const { return MultiByteToWide(CodePage, text); }

void TFormControlObj::ApplyBounds() {
  if (!FControl) return;
  const TRect r = FControl->Bounds();
  FControl->SetBounds(Bounds(r.Left, r.Top, Width, Height));
}

void TFormControlObj::SetPercentWidth(int width) {
  Width = std::clamp(width, 0, MaxControlExtent);
  ApplyBounds();
}

void TFormControlObj::Draw(TCanvas& canvas, int x, int y) {
  if (Document->FPrinting) {
    Print(canvas, x, y);
    return;
  }
  if (!FControl) return;
  // Controls live in the paint panel's coordinates.
  FControl->SetBounds(Bounds(x - Document->FXOff, y - Document->FYOff, Width, Height));
  FControl->SetVisible(true);
  ShownLately = true;
  const bool boxed = dynamic_cast<TCheckBoxFormControlObj*>(this) || dynamic_cast<TRadioButtonFormControlObj*>(this);
  if (boxed && Active) canvas.DrawFocusRect(Rect(x - 2, y - 2, x + Width + 2, y + Height + 2));
}

void TFormControlObj::Park() {
  if (!FControl) return;
  const TRect r = FControl->Bounds();
  FControl->SetBounds(Bounds(ParkedLeft, r.Top, r.Width(), r.Height()));
  FControl->SetVisible(true);
}

void TFormControlObj::Dump(TDumpWriter& out, int depth) const {
  out.Line(depth) << "control " << KindName();
  out.Box(Left, Top, Width, Height);
  if (!FName.empty()) out << " name=\"" << FName << "\"";
  if (PercentSized()) out << " width=" << FWidth << "%";
  if (VertAlign != acBottom) out << " align=" << PlacementName(VertAlign);
}

void TFormControlObj::Print(TCanvas& canvas, int x, int y) {
  DrawFramedText(canvas, Bounds(x, y, Width, Height), FControl ? FControl->Text() : std::u16string(), false);
}

void TFormControlObj::DrawFramedText(TCanvas& canvas, const TRect& box, const std::u16string& text, bool centred,
                                     bool framed) {
  // The line being drawn goes on with its own pen, font and alignment.
  canvas.SaveState();
  if (framed) {
    canvas.SetPen(TPen{clBlack});
    canvas.SetBrush(TBrush{clWhite});
    canvas.Rectangle(box);
  }
  if (!text.empty() && FFont) {
    canvas.SetFont(FFont);
    canvas.SetTextColor(clBlack);
    canvas.SetBkMode(TBkMode::Transparent);
    canvas.SetTextAlign(TA_TOP);
    const int w = FFont->TextWidth(text);
    const int tx = centred ? box.Left + (box.Width() - w) / 2 : box.Left + 3;
    const int ty = box.Top + (box.Height() - FFont->Metrics().Height) / 2;
    canvas.IntersectClipRect(box);
    canvas.TextOut(tx, ty, text);
  }
  canvas.RestoreState();
}

// ---- events ----

void TFormControlObj::FormControlEnter() {
  if (Document->FPrinting) return;
  TLayoutHost& host = Document->Host();
  Active = true;
  host.InvalidateAll();
  host.ScrollIntoView(FocusBox());
  if (!OnFocusMessage.empty() && host.OnObjectFocus) host.OnObjectFocus(*this, OnFocusMessage);
  if (!OnChangeMessage.empty()) SaveContents();
}

void TFormControlObj::FormControlExit() {
  TLayoutHost& host = Document->Host();
  Active = false;
  if (!OnChangeMessage.empty() && IsChanged() && host.OnObjectChange) host.OnObjectChange(*this, OnChangeMessage);
  if (!OnBlurMessage.empty() && host.OnObjectBlur) host.OnObjectBlur(*this, OnBlurMessage);
  host.InvalidateAll();
}

void TFormControlObj::FormControlClick() {
  TLayoutHost& host = Document->Host();
  if (host.OnObjectClick) host.OnObjectClick(*this, OnClickMessage);
}

// ---- building ----

TNewFormControl CreateFormControl(TSectionList& document, TSymbol which, const TAttributeList& attributes,
                                  const TProperties& props, ThtmlForm*& form, TCellBasic* cell, int pos) {
  TNewFormControl made;
  if (which != syInput && which != sySelect && which != syTextarea) return made;
  if (!form) form = NewHtmlForm(document, nullptr);
  std::unique_ptr<TFormControlObj> control;
  if (which == sySelect) {
    const TAttribute* size = attributes.Find(sySize);
    if (attributes.Find(syMultiple) || (size && size->Value() > 1))
      control = std::make_unique<TListBoxFormControlObj>(*form, attributes, props, pos);
    else
      control = std::make_unique<TComboFormControlObj>(*form, attributes, props, pos);
  } else if (which == syTextarea) {
    control = std::make_unique<TTextAreaFormControlObj>(*form, attributes, props, pos);
  } else {
    const TAttribute* t = attributes.Find(syType);
    const std::string type = t ? LowerCase(StyleTrim(t->Text())) : std::string();
    if (type == "submit" || type == "reset" || type == "button") {
      auto kind = type == "submit" ? TButtonFormControlObj::bSubmit
                  : type == "reset" ? TButtonFormControlObj::bReset
                                    : TButtonFormControlObj::bButton;
      control = std::make_unique<TButtonFormControlObj>(*form, attributes, props, pos, kind);
    } else if (type == "radio") {
      control = std::make_unique<TRadioButtonFormControlObj>(*form, attributes, props, pos, cell);
    } else if (type == "checkbox") {
      control = std::make_unique<TCheckBoxFormControlObj>(*form, attributes, props, pos);
    } else if (type == "hidden") {
      control = std::make_unique<THiddenFormControlObj>(*form, attributes, props, pos);
    } else if (type == "image") {
      auto image = std::make_unique<TImageFormControlObj>(*form, attributes, props, pos);
      made.Image = std::make_unique<TImageObj>(&document, attributes, pos, image->CodePage);
      made.Image->SetImageControl(image.get());
      image->MyImage = made.Image.get();
      control = std::move(image);
    } else {
      const TControlKind kind = type == "password" ? TControlKind::Password
                                : type == "file"   ? TControlKind::FileEdit
                                                   : TControlKind::Edit;
      auto edit = std::make_unique<TEditFormControlObj>(*form, attributes, props, pos, kind);
      TEditFormControlObj* raw = edit.get();
      made.Control = form->AddFormControl(std::move(edit));
      if (kind == TControlKind::FileEdit) {
        // The browse button has no name, value or id of its own.
        const TAttributeList none;
        made.Browse = form->AddFormControl(std::make_unique<TButtonFormControlObj>(
            *form, none, props, pos + 1, TButtonFormControlObj::bBrowse, raw));
      }
      return made;
    }
  }
  made.Control = form->AddFormControl(std::move(control));
  return made;
}

std::unique_ptr<TTextObject> MakeControlTextObject(TFormControlObj& control) {
  return std::make_unique<TControlTextObject>(control);
}

// ---- the document's passes ----

void PrepareFormControls(TSectionList& document, TCanvas& canvas) {
  for (const auto& form : document.FHtmlFormList) form->SetSizes(canvas);
}

void MarkFormControlsNotShown(TSectionList& document) {
  for (TFormControlObj* c : document.FFormControlList) c->ShownLately = false;
}

void ParkFormControlsNotShown(TSectionList& document) {
  for (TFormControlObj* c : document.FFormControlList)
    if (!c->ShownLately) c->Park();
}

std::unique_ptr<TFormValues> CollectFormValues(const TSectionList& document) {
  if (document.FHtmlFormList.empty()) return nullptr;
  auto values = std::make_unique<TFormValues>();
  for (const auto& form : document.FHtmlFormList) {
    auto& f = values->emplace_back();
    for (const auto& c : form->Controls()) f.push_back(c->SaveState());
  }
  return values;
}

void RestoreFormValues(TSectionList& document, const TFormValues& values) {
  const std::size_t forms = std::min(values.size(), document.FHtmlFormList.size());
  for (std::size_t i = 0; i < forms; ++i) {
    const auto& controls = document.FHtmlFormList[i]->Controls();
    const std::size_t n = std::min(values[i].size(), controls.size());
    for (std::size_t k = 0; k < n; ++k) controls[k]->RestoreState(values[i][k]);
  }
}

}  // namespace korva
