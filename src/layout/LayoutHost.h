// What the document asks of the window it is shown in. The viewer implements it with Qt widgets;
// THeadlessHost serves tests and tools without any window.
#pragma once

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "images/ImageFetch.h"
#include "platform/Bitmap.h"
#include "platform/Font.h"
#include "platform/Types.h"

namespace korva {

class TFormControlObj;

// Kinds of native control a form or a link's keyboard stop needs.
enum class TControlKind { Edit, Password, Button, CheckBox, Radio, ListBox, ComboBox, Memo, FileEdit, LinkFocus, Panel };

// Arrow keys a form control offers its document before handling them itself.
enum class TControlKey { Left, Up, Right, Down };

// A native window control placed over the document (form controls, link focus stops, panels).
// Coordinates are those of the paint panel.
class TNativeControl {
 public:
  virtual ~TNativeControl() = default;
  virtual void SetBounds(const TRect& r) = 0;
  virtual TRect Bounds() const = 0;
  virtual void SetVisible(bool on) = 0;
  virtual bool Visible() const = 0;
  virtual void SetFocus() = 0;
  virtual bool Focused() const = 0;
  virtual void SetTabOrder(int order) = 0;
  virtual void SetText(const std::u16string& text) = 0;
  virtual std::u16string Text() const = 0;

  // Set by the document's object behind the control; the viewer calls them when the control
  // gains (true) or loses (false) the keyboard focus, and when Enter is pressed on it.
  std::function<void(bool focused)> OnFocusChange;
  std::function<void()> OnEnterKey;

  // ---- what form controls need (kinds without the feature ignore it) ----
  // The font text is shown in; sizes follow from it.
  virtual void SetFont(const TPlatformFontPtr& font) { (void)font; }
  // The height the control wants for its font: a line of text in its frame (check boxes and
  // radio buttons: their box).
  virtual int NaturalHeight() const { return Bounds().Height(); }
  // What the frame and the scroll bars shown add to the client area, in each direction.
  virtual TSize FrameExtra() const { return {0, 0}; }
  virtual int ScrollBarWidth() const { return 16; }
  virtual void SetEnabled(bool on) { (void)on; }
  virtual bool Enabled() const { return true; }
  virtual void SetTabStop(bool on) { (void)on; }
  virtual bool TabStop() const { return true; }
  // Without a frame of its own (the page's style draws one).
  virtual void SetBorderless(bool on) { (void)on; }
  virtual void SetReadOnly(bool on) { (void)on; }
  virtual bool ReadOnly() const { return false; }
  // The longest text the user may enter; 0 = no limit.
  virtual void SetMaxLength(int length) { (void)length; }
  virtual void SetChecked(bool on) { (void)on; }
  virtual bool Checked() const { return false; }
  // List boxes and drop-down lists.
  virtual void SetItems(const std::vector<std::u16string>& items) { (void)items; }
  virtual int ItemCount() const { return 0; }
  virtual void SetMultiSelect(bool on) { (void)on; }
  virtual void SetItemSelected(int index, bool on) { (void)index, (void)on; }
  virtual bool ItemSelected(int index) const {
    (void)index;
    return false;
  }
  // The current item of a single selection (-1 none); it is then the only one selected.
  virtual void SetItemIndex(int index) { (void)index; }
  virtual int ItemIndex() const { return -1; }
  virtual void SetTopIndex(int index) { (void)index; }
  // Multi-line edits: wrapped at the client width with a vertical scroll bar, or unwrapped with
  // both; the lines as shown; the caret to the start.
  virtual void SetWordWrap(bool on) { (void)on; }
  virtual std::vector<std::u16string> DisplayLines() const { return {Text()}; }
  virtual void SetCaretToStart() {}

  // A click (a check box or radio button has changed its state first), and an arrow key, which
  // the handler consumes by answering true.
  std::function<void()> OnClick;
  std::function<bool(TControlKey key)> OnArrowKey;
};

// The seam between the document and its viewer. Rectangles are in document coordinates (y counts
// from the top of the document, not of the window); the host subtracts its scroll position.
// The image requests of TImageHost are the viewer's events; the document forwards to them.
class TLayoutHost : public TImageHost {
 public:
  ~TLayoutHost() override = default;

  // Repaint a rectangle of the document.
  virtual void InvalidateRect(const TRect& r, bool erase) = 0;
  // The whole visible panel.
  virtual void InvalidateAll() = 0;
  // A repeating timer calling `tick` every `intervalMs` milliseconds until stopped or restarted.
  virtual void StartTimer(int intervalMs, std::function<void()> tick) = 0;
  virtual void StopTimer() = 0;
  virtual bool TimerRunning() const = 0;
  // A modal error message with an OK button.
  virtual void ShowError(const std::string& message) = 0;
  // Native controls for forms, panels and keyboard stops of links, hidden until placed.
  virtual std::unique_ptr<TNativeControl> CreateControl(TControlKind kind) = 0;
  // Whether the left mouse button is held down now.
  virtual bool LeftButtonDown() const = 0;
  // Scrolls the view so that the document rectangle is visible.
  virtual void ScrollIntoView(const TRect& r) = 0;
  // Whether the viewer and all its parents are visible (controls are then given windows).
  virtual bool Showing() const = 0;
  // Whether images are shown (when off, objects are sized as placeholders).
  virtual bool ViewImages() const = 0;

  // The viewer's panel events: a PANEL element's control was made (the handler may size and
  // fill it; name, type and source are the element's), is going away, or is to be printed
  // into a bitmap of its size (without a handler a frame with its alt text is printed).
  std::function<void(const std::string& name, const std::string& type, const std::string& src, TNativeControl& panel)>
      OnPanelCreate;
  std::function<void(TNativeControl& panel)> OnPanelDestroy;
  std::function<void(TNativeControl& panel, TBitmap& bitmap)> OnPanelPrint;

  // The viewer's form events. A submission carries the form's action, target, encoding type and
  // method and its items ("name=value" in the page's code page); the viewer raises its event
  // later, from its event queue, because the handler may replace the document while a control's
  // own event is still running. The others receive the control and its script text; a file
  // browse gets the linked edit's text in `text` and puts the chosen name there.
  std::function<void(const std::string& action, const std::string& target, const std::string& encType,
                     const std::string& method, const std::vector<std::string>& results)>
      OnFormSubmit;
  std::function<void(TFormControlObj& control, const std::string& script)> OnObjectFocus, OnObjectBlur,
      OnObjectChange, OnObjectClick;
  std::function<void(TFormControlObj& control, std::string& text)> OnFileBrowse;
};

// A headless control: keeps what it is told, so tests can read it back, and acts as the
// viewer's widgets do, with fixed rules for sizes: a line of text is the font's height plus 8
// (edits, buttons, drop-down lists); list boxes and multi-line edits have a 2-pixel frame on
// each side and 16-pixel scroll bars; wrapped lines break after the last space that fits the
// client width (a word wider than it by characters) and keep that space. Focus moves between
// the controls of one host, calling the focus callbacks as it goes.
class THeadlessControl : public TNativeControl {
 public:
  explicit THeadlessControl(TControlKind kind) : FKind(kind) {}
  ~THeadlessControl() override {
    if (FFocusSlot && *FFocusSlot == this) *FFocusSlot = nullptr;
  }
  TControlKind Kind() const { return FKind; }
  void SetBounds(const TRect& r) override { FBounds = r; }
  TRect Bounds() const override { return FBounds; }
  void SetVisible(bool on) override { FVisible = on; }
  bool Visible() const override { return FVisible; }
  void SetFocus() override {
    if (!FEnabled || FFocused) return;
    THeadlessControl* previous = FFocusSlot ? *FFocusSlot : nullptr;
    if (FFocusSlot) *FFocusSlot = this;
    if (previous && previous != this) {
      previous->FFocused = false;
      if (previous->OnFocusChange) previous->OnFocusChange(false);
    }
    FFocused = true;
    if (OnFocusChange) OnFocusChange(true);
  }
  bool Focused() const override { return FFocused; }
  void SetTabOrder(int order) override { FTabOrder = order; }
  int TabOrder() const { return FTabOrder; }
  void SetText(const std::u16string& text) override { FText = text; }
  std::u16string Text() const override { return FText; }

  void SetFont(const TPlatformFontPtr& font) override { FFont = font; }
  const TPlatformFontPtr& Font() const { return FFont; }
  int NaturalHeight() const override {
    switch (FKind) {
      case TControlKind::Edit:
      case TControlKind::Password:
      case TControlKind::FileEdit:
      case TControlKind::ComboBox:
      case TControlKind::Button:
        return TextHeight() + 8;
      default:
        return FBounds.Height();
    }
  }
  TSize FrameExtra() const override {
    if (FKind != TControlKind::ListBox && FKind != TControlKind::Memo) return {0, 0};
    const int frame = FBorderless ? 0 : 4;
    if (FKind == TControlKind::ListBox) return {frame + ScrollBarWidth(), frame};
    return {frame + ScrollBarWidth(), frame + (FWordWrap ? 0 : ScrollBarWidth())};
  }
  void SetEnabled(bool on) override { FEnabled = on; }
  bool Enabled() const override { return FEnabled; }
  void SetTabStop(bool on) override { FTabStop = on; }
  bool TabStop() const override { return FTabStop; }
  void SetBorderless(bool on) override { FBorderless = on; }
  bool Borderless() const { return FBorderless; }
  void SetReadOnly(bool on) override { FReadOnly = on; }
  bool ReadOnly() const override { return FReadOnly; }
  void SetMaxLength(int length) override { FMaxLength = length < 0 ? 0 : length; }
  int MaxLength() const { return FMaxLength; }
  void SetChecked(bool on) override { FChecked = on; }
  bool Checked() const override { return FChecked; }
  void SetItems(const std::vector<std::u16string>& items) override {
    FItems = items;
    FSelected.assign(items.size(), false);
  }
  int ItemCount() const override { return int(FItems.size()); }
  const std::vector<std::u16string>& Items() const { return FItems; }
  void SetMultiSelect(bool on) override { FMulti = on; }
  void SetItemSelected(int index, bool on) override {
    if (index < 0 || index >= ItemCount()) return;
    if (on && !FMulti) FSelected.assign(FItems.size(), false);
    FSelected[std::size_t(index)] = on;
  }
  bool ItemSelected(int index) const override {
    return index >= 0 && index < ItemCount() && FSelected[std::size_t(index)];
  }
  void SetItemIndex(int index) override {
    FSelected.assign(FItems.size(), false);
    if (index >= 0 && index < ItemCount()) FSelected[std::size_t(index)] = true;
  }
  int ItemIndex() const override {
    for (int i = 0; i < ItemCount(); ++i)
      if (FSelected[std::size_t(i)]) return i;
    return -1;
  }
  void SetTopIndex(int index) override { FTopIndex = index; }
  int TopIndex() const { return FTopIndex; }
  void SetWordWrap(bool on) override { FWordWrap = on; }
  bool WordWrap() const { return FWordWrap; }
  std::vector<std::u16string> DisplayLines() const override {
    std::vector<std::u16string> lines;
    const int width = FBounds.Width() - FrameExtra().cx;
    std::size_t a = 0;
    for (;;) {
      std::size_t b = FText.find(u'\n', a);
      std::size_t e = b == std::u16string::npos ? FText.size() : b;
      std::u16string para = FText.substr(a, (e > a && FText[e - 1] == u'\r' ? e - 1 : e) - a);
      WrapInto(para, width, lines);
      if (b == std::u16string::npos) break;
      a = b + 1;
    }
    return lines;
  }
  void SetCaretToStart() override { FCaret = 0; }
  int Caret() const { return FCaret; }

  // ---- the user, for tests ----
  // A mouse click: focus, then the state change of check boxes and radio buttons, then OnClick.
  void Click() {
    if (!FEnabled) return;
    SetFocus();
    if (FKind == TControlKind::CheckBox) FChecked = !FChecked;
    else if (FKind == TControlKind::Radio) FChecked = true;
    if (OnClick) OnClick();
  }
  // Typing replaces the text (not in a read-only control; cut to the longest allowed).
  void Type(const std::u16string& text) {
    if (FReadOnly || !FEnabled) return;
    FText = FMaxLength > 0 && int(text.size()) > FMaxLength ? text.substr(0, std::size_t(FMaxLength)) : text;
  }
  // Enter; true when the control's callback took it.
  bool PressEnter() {
    if (!OnEnterKey) return false;
    OnEnterKey();
    return true;
  }
  bool PressArrow(TControlKey key) { return OnArrowKey && OnArrowKey(key); }

  // Set by THeadlessHost: the one focused control among its controls.
  std::shared_ptr<THeadlessControl*> FFocusSlot;

 private:
  int TextHeight() const { return FFont ? FFont->Metrics().Height : 16; }
  int Advance(char16_t c) const { return FFont ? FFont->CharWidth(c) : 8; }
  void WrapInto(const std::u16string& para, int width, std::vector<std::u16string>& lines) const {
    if (!FWordWrap || para.empty()) {
      lines.push_back(para);
      return;
    }
    std::size_t start = 0;
    while (start < para.size()) {
      int w = 0;
      std::size_t i = start, lastSpace = std::u16string::npos;
      for (; i < para.size(); ++i) {
        w += Advance(para[i]);
        if (para[i] == u' ') {
          lastSpace = i;
          continue;  // spaces may hang past the edge
        }
        if (w > width) break;
      }
      std::size_t end = i;
      if (i < para.size()) {
        end = lastSpace != std::u16string::npos && lastSpace >= start ? lastSpace + 1 : std::max(i, start + 1);
      } else {
        end = para.size();
      }
      lines.push_back(para.substr(start, end - start));
      start = end;
    }
  }

  TControlKind FKind;
  TRect FBounds;
  bool FVisible = false, FFocused = false;
  int FTabOrder = -1;
  std::u16string FText;
  TPlatformFontPtr FFont;
  bool FEnabled = true, FTabStop = true, FBorderless = false, FReadOnly = false, FChecked = false;
  bool FMulti = false, FWordWrap = true;
  int FMaxLength = 0, FTopIndex = 0, FCaret = 0;
  std::vector<std::u16string> FItems;
  std::vector<bool> FSelected;
};

// The host of documents without a window: records invalidations, errors and the timer; the
// test or tool drives the timer by calling Tick().
class THeadlessHost : public TLayoutHost {
 public:
  void InvalidateRect(const TRect& r, bool) override { Invalidated.push_back(r); }
  void InvalidateAll() override { ++InvalidateAllCount; }
  void StartTimer(int intervalMs, std::function<void()> tick) override {
    TimerInterval = intervalMs;
    FTick = std::move(tick);
  }
  void StopTimer() override { TimerInterval = 0; }
  bool TimerRunning() const override { return TimerInterval > 0; }
  void ShowError(const std::string& message) override { Errors.push_back(message); }
  std::unique_ptr<TNativeControl> CreateControl(TControlKind kind) override {
    auto c = std::make_unique<THeadlessControl>(kind);
    c->FFocusSlot = FFocus;
    Controls.push_back(c.get());
    return c;
  }
  bool LeftButtonDown() const override { return ButtonDown; }
  void ScrollIntoView(const TRect& r) override { ScrolledTo.push_back(r); }
  bool Showing() const override { return IsShowing; }
  bool ViewImages() const override { return ShowImages; }
  // The control that has the focus, or null.
  THeadlessControl* FocusedControl() const { return *FFocus; }
  // One timer period: calls the handler when the timer runs.
  void Tick() {
    if (TimerRunning() && FTick) FTick();
  }

  std::vector<TRect> Invalidated;
  int InvalidateAllCount = 0;
  int TimerInterval = 0;
  std::vector<std::string> Errors;
  std::vector<THeadlessControl*> Controls;  // owned by the document's objects
  std::vector<TRect> ScrolledTo;
  bool ButtonDown = false;
  bool IsShowing = true;
  bool ShowImages = true;

 private:
  std::function<void()> FTick;
  std::shared_ptr<THeadlessControl*> FFocus = std::make_shared<THeadlessControl*>(nullptr);
};

}  // namespace korva
