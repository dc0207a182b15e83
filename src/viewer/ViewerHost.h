// What the document asks of its viewer, answered with Qt: invalidation of the paint panel, the
// animation timer, the error dialog, and native widgets for form controls, panels and the
// keyboard stops of links, placed on the paint panel.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <memory>

#include "layout/LayoutHost.h"

class QTimer;

namespace korva {

class TPageViewer;
class TViewerHost;

// One native control over the paint panel. The widget is the toolkit's own for the kind (a
// line edit, push button, check box, radio button, list, drop-down list, plain text edit, a
// frame for panels, and an invisible focus stop for links).
class TQtControl : public QObject, public TNativeControl {
  Q_OBJECT

 public:
  TQtControl(TControlKind kind, QWidget* parent, TViewerHost* host);
  ~TQtControl() override;
  TControlKind Kind() const { return FKind; }
  QWidget* Widget() const { return FWidget; }

  void SetBounds(const TRect& r) override;
  TRect Bounds() const override { return FBounds; }
  void SetVisible(bool on) override;
  bool Visible() const override;
  void SetFocus() override;
  bool Focused() const override;
  void SetTabOrder(int order) override { FTabOrder = order; }
  int TabOrder() const { return FTabOrder; }
  void SetText(const std::u16string& text) override;
  std::u16string Text() const override;

  void SetFont(const TPlatformFontPtr& font) override;
  int NaturalHeight() const override;
  TSize FrameExtra() const override;
  int ScrollBarWidth() const override;
  void SetEnabled(bool on) override;
  bool Enabled() const override;
  void SetTabStop(bool on) override;
  bool TabStop() const override;
  void SetBorderless(bool on) override;
  void SetReadOnly(bool on) override;
  bool ReadOnly() const override;
  void SetMaxLength(int length) override;
  void SetChecked(bool on) override;
  bool Checked() const override;
  void SetItems(const std::vector<std::u16string>& items) override;
  int ItemCount() const override;
  void SetMultiSelect(bool on) override;
  void SetItemSelected(int index, bool on) override;
  bool ItemSelected(int index) const override;
  void SetItemIndex(int index) override;
  int ItemIndex() const override;
  void SetTopIndex(int index) override;
  void SetWordWrap(bool on) override;
  std::vector<std::u16string> DisplayLines() const override;
  void SetCaretToStart() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  TControlKind FKind;
  TViewerHost* FHost;
  QPointer<QWidget> FWidget;
  TRect FBounds;
  int FTabOrder = -1;
  bool FWordWrap = true;
};

class TViewerHost : public TLayoutHost {
 public:
  explicit TViewerHost(TPageViewer& viewer);
  ~TViewerHost() override;
  TPageViewer& Viewer() const { return FViewer; }

  void InvalidateRect(const TRect& r, bool erase) override;
  void InvalidateAll() override;
  void StartTimer(int intervalMs, std::function<void()> tick) override;
  void StopTimer() override;
  bool TimerRunning() const override;
  void ShowError(const std::string& message) override;
  std::unique_ptr<TNativeControl> CreateControl(TControlKind kind) override;
  bool LeftButtonDown() const override;
  void ScrollIntoView(const TRect& r) override;
  bool Showing() const override;
  bool ViewImages() const override;

  bool HasBitmapRequest() const override;
  bool HasImageRequest() const override;
  void BitmapRequest(const std::string& source, TBitmapPtr& bitmap, TColor& color) override;
  void ImageRequest(const std::string& source, TMemoryStream*& stream) override;
  std::string ExpandImageName(const std::string& source) override;

  // The kind of the control whose focus change is being reported (links and form controls
  // are scrolled into view differently).
  TControlKind FFocusKind = TControlKind::Edit;
  // A key a link's focus stop does not use goes to the viewer.
  void ForwardKey(QKeyEvent* event);

 private:
  TPageViewer& FViewer;
  QTimer* FTimer;
  std::function<void()> FTick;
};

}  // namespace korva
