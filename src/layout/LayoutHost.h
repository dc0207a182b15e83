// What the document asks of the window it is shown in. The viewer implements it with Qt widgets;
// THeadlessHost serves tests and tools without any window.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "images/ImageFetch.h"
#include "platform/Bitmap.h"
#include "platform/Types.h"

namespace korva {

// Kinds of native control a form or a link's keyboard stop needs.
enum class TControlKind { Edit, Password, Button, CheckBox, Radio, ListBox, ComboBox, Memo, FileEdit, LinkFocus, Panel };

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
};

// A headless control: keeps what it is told, so tests can read it back.
class THeadlessControl : public TNativeControl {
 public:
  explicit THeadlessControl(TControlKind kind) : FKind(kind) {}
  TControlKind Kind() const { return FKind; }
  void SetBounds(const TRect& r) override { FBounds = r; }
  TRect Bounds() const override { return FBounds; }
  void SetVisible(bool on) override { FVisible = on; }
  bool Visible() const override { return FVisible; }
  void SetFocus() override { FFocused = true; }
  bool Focused() const override { return FFocused; }
  void SetTabOrder(int order) override { FTabOrder = order; }
  int TabOrder() const { return FTabOrder; }
  void SetText(const std::u16string& text) override { FText = text; }
  std::u16string Text() const override { return FText; }

 private:
  TControlKind FKind;
  TRect FBounds;
  bool FVisible = false, FFocused = false;
  int FTabOrder = -1;
  std::u16string FText;
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
    Controls.push_back(c.get());
    return c;
  }
  bool LeftButtonDown() const override { return ButtonDown; }
  void ScrollIntoView(const TRect& r) override { ScrolledTo.push_back(r); }
  bool Showing() const override { return IsShowing; }
  bool ViewImages() const override { return ShowImages; }
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
};

}  // namespace korva
