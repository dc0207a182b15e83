// Forms and their controls: native window controls (made through the host) placed in the text
// like large characters, sized from the element's font and style, focused, reset and submitted.
// A form owns its controls; the document owns the forms and indexes the controls; a text
// section only points at the controls it shows.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/IDNameList.h"
#include "core/Symbols.h"
#include "layout/LayoutHost.h"
#include "layout/SectionList.h"
#include "style/Properties.h"

namespace korva {

class TAttributeList;
class TCanvas;
class TCellBasic;
class TDumpWriter;
class TImageObj;
class TTextObject;
class TFormControlObj;
class TRadioButtonFormControlObj;

// ---- forms ----

class ThtmlForm {
 public:
  // The form of a FORM element, or (attributes null) one made for controls outside any form.
  ThtmlForm(TSectionList* document, const TAttributeList* attributes);
  ~ThtmlForm();
  ThtmlForm(const ThtmlForm&) = delete;
  ThtmlForm& operator=(const ThtmlForm&) = delete;

  TSectionList* Document;
  std::string Method = "Get";  // at most 4 characters
  std::string Action, Target, EncType;
  bool Implicit = false;
  int NonHiddenCount = 0;

  const std::vector<std::unique_ptr<TFormControlObj>>& Controls() const { return FControls; }
  // Takes the control; it is also entered in the document's control list.
  TFormControlObj* AddFormControl(std::unique_ptr<TFormControlObj> control);
  // A radio button was checked: the others of its name (compared without regard to case) are
  // unchecked and lose their tab stops.
  void DoRadios(TRadioButtonFormControlObj& checked);
  // The neighbour of a radio button within its group (-1 previous, +1 next); null at the ends.
  TRadioButtonFormControlObj* NextRadio(const TRadioButtonFormControlObj& from, int step) const;
  void ResetControls();
  // The items of the enabled controls in order, empty ones left out.
  std::vector<std::string> GetFormSubmission() const;
  // Hands the items and, last, the pressed button's item (when not empty) to the viewer.
  void SubmitTheForm(const std::string& buttonItem);
  // Values from "name=value" items: each control gets, in order, the values of its name.
  void SetFormData(const std::vector<std::string>& items);
  // Sizes every control for the canvas, before layout.
  void SetSizes(TCanvas& canvas);

 private:
  std::vector<std::unique_ptr<TFormControlObj>> FControls;
};

// A new form in the document's form list.
ThtmlForm* NewHtmlForm(TSectionList& document, const TAttributeList* attributes);

// ---- options of list boxes and drop-down lists ----

class TOptionObj {
 public:
  std::u16string Text;  // as shown; an empty text is shown as one space
  std::string Value;    // VALUE, else the text as written (page code page)
  bool Selected = false;
  std::vector<std::string> Attributes;  // "NAME=value" lines
};

class ThtOptionStringList {
 public:
  int Count() const { return int(FItems.size()); }
  const TOptionObj& operator[](int i) const { return *FItems[std::size_t(i)]; }
  const std::u16string& Strings(int i) const { return FItems[std::size_t(i)]->Text; }
  // An option from its text (in `codePage`) and attribute lines.
  TOptionObj& Add(const std::string& text, bool selected, unsigned codePage, const std::vector<std::string>& attributes);
  std::vector<std::u16string> Texts() const;

 private:
  std::vector<std::unique_ptr<TOptionObj>> FItems;
};

// ---- controls ----

class TFormControlObj : public TIDObject {
 public:
  // Reads the common attributes, joins the form, registers TABINDEX and ID with the document,
  // and (kind given) makes the native control hidden off screen with the element's font.
  TFormControlObj(ThtmlForm& form, const TAttributeList& attributes, const TProperties& props, int pos,
                  const TControlKind* kind);
  ~TFormControlObj() override;
  TFormControlObj(const TFormControlObj&) = delete;
  TFormControlObj& operator=(const TFormControlObj&) = delete;

  // The image object showing this control is being freed with its section (a dropped table can
  // take it while the form lives on).
  virtual void ImageGone(const TImageObj* image) { (void)image; }

  int Pos;  // character index of the placeholder in its section
  TSectionList* Document;
  ThtmlForm* MasterList;
  std::string Value, FName, FID, FTitle;
  std::string OnClickMessage, OnFocusMessage, OnBlurMessage, OnChangeMessage;
  bool Disabled = false;
  std::vector<std::string> AttributeList;  // "NAME=value" lines
  unsigned CodePage = 1252;
  TAlignCode VertAlign = acBottom;
  int HSpaceL = 0, HSpaceR = 0;
  // From the style: wanted width (pixels, or percent with PercentWidth) and height; 0 = none.
  int FWidth = 0, FHeight = 0;
  bool PercentWidth = false;
  // The box as sized, and where layout placed it (document coordinates).
  int Width = 0, Height = 0;
  int Left = 0, Top = 0;
  bool Active = false;        // has the keyboard focus
  bool ShownLately = false;   // drawn since the scroll position last changed

  TNativeControl* Control() const { return FControl.get(); }
  int DocumentY() override { return Top; }

  // ---- the kind's operations ----
  // The contents differ from those remembered.
  virtual bool IsChanged() const { return false; }
  virtual void SaveContents() {}
  // Spacing, width, height and vertical alignment from the element's style.
  virtual void TakeStyle(const TProperties& props);
  // A picture of the control for printing, its box at (x, y).
  virtual void Print(TCanvas& canvas, int x, int y);
  virtual void ResetToValue() {}
  // Submission item `index` ("name=value"); false when there are no more. An empty item
  // counts and is left out by the form.
  virtual bool GetSubmission(int index, std::string& item);
  // Value number `index` of the control's name, set from outside.
  virtual void SetData(int index, const std::string& value);
  virtual void SetHeightWidth(TCanvas& canvas) { (void)canvas; }
  // Whether the control sits in the text (hidden ones do not).
  virtual bool InText() const { return true; }
  virtual bool PercentSized() const { return PercentWidth; }
  // What the viewer scrolls into view when the control takes the focus.
  virtual TRect FocusBox() const { return Bounds(Left, Top, Width, Height); }
  virtual const char* KindName() const = 0;
  // Its state for the page history, and back.
  virtual std::vector<std::u16string> SaveState() const;
  virtual void RestoreState(const std::vector<std::u16string>& state);

  // A width given by the section for a percentage of its line.
  void SetPercentWidth(int width);
  // Shown with its box at (x, y) in document coordinates (on screen: the native control moved
  // there; printing: its picture).
  void Draw(TCanvas& canvas, int x, int y);
  // Shown off screen, so that it has a window but cannot be seen.
  void Park();
  void Dump(TDumpWriter& out, int depth) const;

  // ---- events ----
  void FormControlEnter();
  void FormControlExit();
  void FormControlClick();

 protected:
  // "name=value" with the value in the control's code page.
  std::string Item(const std::u16string& value) const;
  std::u16string Wide(const std::string& text) const;
  const TPlatformFontPtr& Font() const { return FFont; }
  // Applies Width and Height to the native control.
  void ApplyBounds();
  // Text in a box (left or centred, clipped to it), framed black on white when asked.
  void DrawFramedText(TCanvas& canvas, const TRect& box, const std::u16string& text, bool centred,
                      bool framed = true);

  std::unique_ptr<TNativeControl> FControl;
  TPlatformFontPtr FFont;
};

// INPUT without a type, of type text, password, file or an unknown type.
class TEditFormControlObj : public TFormControlObj {
 public:
  TEditFormControlObj(ThtmlForm& form, const TAttributeList& attributes, const TProperties& props, int pos,
                      TControlKind kind);
  int EditSize = 15;  // characters
  bool IsChanged() const override { return FControl->Text() != FOldValue; }
  void SaveContents() override { FOldValue = FControl->Text(); }
  void ResetToValue() override;
  bool GetSubmission(int index, std::string& item) override;
  void SetData(int index, const std::string& value) override;
  void SetHeightWidth(TCanvas& canvas) override;
  void Print(TCanvas& canvas, int x, int y) override;
  const char* KindName() const override;

 private:
  TControlKind FKind;
  std::u16string FOldValue;
};

// INPUT of type submit, reset or button, and the browse button that follows a file input.
class TButtonFormControlObj : public TFormControlObj {
 public:
  enum TWhich { bSubmit = 0, bReset = 1, bButton = 2, bBrowse = 3 };
  TButtonFormControlObj(ThtmlForm& form, const TAttributeList& attributes, const TProperties& props, int pos,
                        TWhich which, TEditFormControlObj* browseFor = nullptr);
  TWhich Which;
  TEditFormControlObj* LinkedEdit = nullptr;
  std::u16string Caption() const { return FControl->Text(); }
  void ButtonClick();
  bool GetSubmission(int, std::string&) override { return false; }
  void SetData(int, const std::string&) override {}
  void SetHeightWidth(TCanvas& canvas) override;
  bool PercentSized() const override { return false; }
  void Print(TCanvas& canvas, int x, int y) override;
  const char* KindName() const override;
};

// Check boxes and radio buttons: a checked state that reset restores and focus changes compare.
class TCheckedFormControlObj : public TFormControlObj {
 public:
  using TFormControlObj::TFormControlObj;
  bool IsChecked = false;  // initially
  bool IsChanged() const override { return FControl->Checked() != FWasChecked; }
  void SaveContents() override { FWasChecked = FControl->Checked(); }
  void ResetToValue() override { FControl->SetChecked(IsChecked); }
  bool PercentSized() const override { return false; }

 private:
  bool FWasChecked = false;
};

class TCheckBoxFormControlObj : public TCheckedFormControlObj {
 public:
  TCheckBoxFormControlObj(ThtmlForm& form, const TAttributeList& attributes, const TProperties& props, int pos);
  bool GetSubmission(int index, std::string& item) override;
  void SetData(int index, const std::string& value) override;
  void Print(TCanvas& canvas, int x, int y) override;
  const char* KindName() const override { return "checkbox"; }
};

class TRadioButtonFormControlObj : public TCheckedFormControlObj {
 public:
  TRadioButtonFormControlObj(ThtmlForm& form, const TAttributeList& attributes, const TProperties& props, int pos,
                             TCellBasic* cell);
  TCellBasic* FCell;
  bool GetSubmission(int index, std::string& item) override;
  void SetData(int index, const std::string& value) override;
  void Print(TCanvas& canvas, int x, int y) override;
  const char* KindName() const override { return "radio"; }

 private:
  bool ArrowKey(TControlKey key);
};

class THiddenFormControlObj : public TFormControlObj {
 public:
  THiddenFormControlObj(ThtmlForm& form, const TAttributeList& attributes, const TProperties& props, int pos);
  bool GetSubmission(int index, std::string& item) override;
  void SetData(int index, const std::string& value) override { (void)index, Value = value; }
  bool InText() const override { return false; }
  void TakeStyle(const TProperties&) override {}
  std::vector<std::u16string> SaveState() const override { return {Wide(Value)}; }
  void RestoreState(const std::vector<std::u16string>& state) override;
  const char* KindName() const override { return "hidden"; }
};

// INPUT of type image: the picture is an image object in the flow; the control is an
// invisible button that can take the focus.
class TImageFormControlObj : public TFormControlObj {
 public:
  TImageFormControlObj(ThtmlForm& form, const TAttributeList& attributes, const TProperties& props, int pos);
  TImageObj* MyImage = nullptr;  // owned by the section that shows it
  void ImageGone(const TImageObj* image) override {
    if (MyImage == image) MyImage = nullptr;
  }
  int XPos = -1, YPos = -1;      // the last click, relative to the image; x = -1: none
  // A click at (x, y) relative to the image: focus, the click event, and (unless disabled) the
  // form is submitted.
  void ImageClick(int x, int y);
  bool GetSubmission(int index, std::string& item) override;
  void SetData(int, const std::string&) override {}
  bool InText() const override { return false; }
  void TakeStyle(const TProperties& props) override;
  void Print(TCanvas&, int, int) override {}
  // The picture's place, not the hidden button's.
  TRect FocusBox() const override;
  int DocumentY() override { return FocusBox().Top; }
  const char* KindName() const override { return "image"; }
};

// SELECT with MULTIPLE or a SIZE above 1.
class TListBoxFormControlObj : public TFormControlObj {
 public:
  TListBoxFormControlObj(ThtmlForm& form, const TAttributeList& attributes, const TProperties& props, int pos,
                         bool dropDown = false);
  ThtOptionStringList TheOptions;
  int LBSize = 0;        // visible rows (SIZE); 0 = automatic
  int Longest = 3;       // widest option text, pixels
  bool Multiple = false;
  void AddStr(const std::string& text, bool selected, const std::vector<std::string>& attributes, unsigned codePage);
  // The options are complete: the control is filled and reset.
  void DoneAdding() { ResetToValue(); }
  bool IsChanged() const override { return Selection() != FOldSelection; }
  void SaveContents() override { FOldSelection = Selection(); }
  void ResetToValue() override;
  bool GetSubmission(int index, std::string& item) override;
  void SetData(int index, const std::string& value) override;
  void SetHeightWidth(TCanvas& canvas) override;
  void Print(TCanvas& canvas, int x, int y) override;
  std::vector<std::u16string> SaveState() const override;
  void RestoreState(const std::vector<std::u16string>& state) override;
  const char* KindName() const override { return "listbox"; }

 protected:
  // Selection flags of the first entries (enough to see a change).
  std::vector<bool> Selection() const;
  int AutoWidth() const;
  std::vector<bool> FOldSelection;
};

// SELECT otherwise: a drop-down list.
class TComboFormControlObj : public TListBoxFormControlObj {
 public:
  TComboFormControlObj(ThtmlForm& form, const TAttributeList& attributes, const TProperties& props, int pos);
  void ResetToValue() override;
  bool GetSubmission(int index, std::string& item) override;
  void SetData(int index, const std::string& value) override;
  void SetHeightWidth(TCanvas& canvas) override;
  void Print(TCanvas& canvas, int x, int y) override;
  const char* KindName() const override { return "combo"; }
};

class TTextAreaFormControlObj : public TFormControlObj {
 public:
  enum TWrap { wrapOff, wrapSoft, wrapHard };
  TTextAreaFormControlObj(ThtmlForm& form, const TAttributeList& attributes, const TProperties& props, int pos);
  int Rows = 5, Cols = 30;
  TWrap Wrap = wrapSoft;
  std::u16string TheText;  // as read from the page
  // A line of the initial text (with its "\r\n" when it had one), and the end of it.
  void AddLine(const std::string& line);
  void DoneAdding() { ResetToValue(); }
  bool IsChanged() const override { return FControl->Text() != FOldValue; }
  void SaveContents() override { FOldValue = FControl->Text(); }
  void ResetToValue() override;
  bool GetSubmission(int index, std::string& item) override;
  void SetData(int index, const std::string& value) override;
  void SetHeightWidth(TCanvas& canvas) override;
  void Print(TCanvas& canvas, int x, int y) override;
  const char* KindName() const override { return "textarea"; }

 private:
  std::u16string FOldValue;
};

// ---- building ----

// What AddFormControl of a text section puts into the text.
struct TNewFormControl {
  TFormControlObj* Control = nullptr;      // null when the element makes none
  TFormControlObj* Browse = nullptr;       // the browse button after a file input
  std::unique_ptr<TImageObj> Image;        // the picture of an image input
};

// Makes the control for an INPUT, SELECT or TEXTAREA at character index `pos`, joining `form`
// (a form is made, and left in `form`, when there is none).
TNewFormControl CreateFormControl(TSectionList& document, TSymbol which, const TAttributeList& attributes,
                                  const TProperties& props, ThtmlForm*& form, TCellBasic* cell, int pos);
// The text section's view of a control.
std::unique_ptr<TTextObject> MakeControlTextObject(TFormControlObj& control);

// ---- the document's passes ----

// Sizes every form's controls (before layout).
void PrepareFormControls(TSectionList& document, TCanvas& canvas);
// Before a paint at a new scroll position: every control counts as not drawn.
void MarkFormControlsNotShown(TSectionList& document);
// Controls not drawn since then are put off screen (and shown there, so that they have windows)
// when the viewer is showing.
void ParkFormControlsNotShown(TSectionList& document);

// Per form, per control, what SaveState gave; null when there are no forms.
std::unique_ptr<TFormValues> CollectFormValues(const TSectionList& document);
// Back into the same page's controls (forms or controls beyond the saved ones are left alone).
void RestoreFormValues(TSectionList& document, const TFormValues& values);

}  // namespace korva
