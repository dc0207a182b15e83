// The viewer: the mouse over the paint panel (cursors, hover reports, selection, link clicks,
// right clicks, middle-button scrolling and the automatic scroll loop), the keyboard, the wheel
// and what the viewer does with a link click its owner leaves to it.
#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>
#include <QWheelEvent>
#include <algorithm>
#include <cstdlib>

#include "core/CharCase.h"
#include "layout/DetailsBlock.h"
#include "layout/FontObj.h"
#include "layout/FormControl.h"
#include "layout/ImageObj.h"
#include "viewer/Cursors.h"
#include "viewer/PageViewer.h"
#include "viewer/ViewerHost.h"
#include "viewer/ViewerPath.h"
#include "viewer/ViewerWidgets.h"

namespace korva {

namespace {

// Distance from the start point before middle-button scrolling moves.
constexpr int PanDeadZone = 20;

TShiftState ShiftOf(const QMouseEvent* e) {
  TShiftState s = 0;
  const Qt::KeyboardModifiers m = e->modifiers();
  if (m & Qt::ShiftModifier) s |= ssShift;
  if (m & Qt::AltModifier) s |= ssAlt;
  if (m & Qt::ControlModifier) s |= ssCtrl;
  const Qt::MouseButtons b = e->buttons();
  if (b & Qt::LeftButton) s |= ssLeft;
  if (b & Qt::RightButton) s |= ssRight;
  if (b & Qt::MiddleButton) s |= ssMiddle;
  return s;
}

TMouseButton ButtonOf(const QMouseEvent* e) {
  return e->button() == Qt::RightButton ? mbRight : e->button() == Qt::MiddleButton ? mbMiddle : mbLeft;
}

bool IsWordChar(char16_t c) {
  return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || c >= 192;
}

QPoint PointOf(const QMouseEvent* e) { return e->position().toPoint(); }

}  // namespace

// ---- hit tests ----

int TPageViewer::DocCaretAt(int x, int y, bool* inText, int* under) {
  int xr = 0, yr = 0, height = 0;
  bool text = false;
  const int docX = x + HScrollPos(), docY = y + FDocument->FYOff;
  const int index = FDocument->CaretFromPoint(*FMeasureCanvas, docX, docY, xr, yr, height, text);
  if (inText) *inText = index >= 0 && text;
  // The caret goes to the nearer side of a character; the character the point is on is the
  // one before when the caret went past the point.
  if (under) *under = index > 0 && xr > docX ? index - 1 : index;
  return index;
}

bool TPageViewer::WordAt(int x, int y, std::u16string& word, int& first, int& last) {
  bool inText = false;
  int at = -1;
  if (DocCaretAt(x, y, &inText, &at) < 0 || at < 0) return false;
  FCaretPos = at;
  char16_t ch = 0;
  TCharObject object;
  if (!inText || !FDocument->CharAt(at, ch, object) || !IsWordChar(ch)) return false;
  // The word stays inside the text section that holds the character.
  int lo = 0, hi = FDocument->FCharCount;
  const auto& list = FDocument->FPositionList;
  auto it = std::upper_bound(list.begin(), list.end(), at, [](int p, const TSectionBase* s) { return p < s->FFirstChar; });
  if (it != list.begin()) {
    const TSectionBase* s = *(it - 1);
    if (at < s->FFirstChar + s->CharCount()) {
      lo = s->FFirstChar;
      hi = s->FFirstChar + s->CharCount();
    }
  }
  auto wordChar = [&](int p) {
    char16_t c = 0;
    TCharObject o;
    return p >= lo && p < hi && FDocument->CharAt(p, c, o) && IsWordChar(c);
  };
  first = at;
  while (wordChar(first - 1)) --first;
  last = at;
  while (wordChar(last + 1)) ++last;
  word.clear();
  for (int p = first; p <= last; ++p) {
    TCharObject o;
    FDocument->CharAt(p, ch, o);
    word += ch;
  }
  return true;
}

void TPageViewer::SetPanelCursor(int id) {
  if (id == FPanelCursorId) return;
  FPanelCursorId = id;
  FPaintPanel->setCursor(EngineCursor(id));
}

// ---- mouse ----

void TPageViewer::PanelMouseDown(QMouseEvent* event) {
  const QPoint pt = PointOf(event);
  FMousePos = pt;
  FMouseInPanel = true;
  setFocus(Qt::MouseFocusReason);
  FLinkClicked = false;
  if (event->button() == Qt::LeftButton) FLeftHeld = true;
  if (FPanMode) {
    EndPanMode();
    return;
  }
  if (event->button() == Qt::MiddleButton) {
    FPanMode = true;
    FPanStartY = pt.y();
    SetPanelCursor(crUpDown);
    return;
  }
  if (event->button() != Qt::LeftButton) return;
  FLeftDown = true;
  FSelecting = true;
  const int index = DocCaretAt(pt.x(), pt.y());
  FSelAnchor = index;
  if (index >= 0) {
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    if (SelLength() > 0 || shift) FPaintPanel->update();
    if (shift) {
      FDocument->FSelB = std::min(FCaretPos, index);
      FDocument->FSelE = std::max(FCaretPos, index);
    } else {
      FDocument->FSelB = FDocument->FSelE = index;
      FCaretPos = index;
    }
  }
  FDocument->MouseDownAt(true);
}

void TPageViewer::PanelMouseMove(QMouseEvent* event) {
  const QPoint pt = PointOf(event);
  FMousePos = pt;
  FMouseInPanel = FPaintPanel->rect().contains(pt);
  if (FPanMode) {
    if (!FAutoScrolling && std::abs(pt.y() - FPanStartY) > PanDeadZone) StartAutoScroll();
    return;
  }
  int cursor = crArrow;
  std::string url, target;
  FOverTitle.clear();
  const int docX = pt.x() + HScrollPos(), docY = pt.y() + FDocument->FYOff;
  THotSpot spot;
  FDocument->DocHotSpotAt(*FMeasureCanvas, docX, docY, spot);
  if (spot.IsLink) {
    url = spot.Link.Url();
    target = spot.Link.Target();
    cursor = crHandLink;
  } else if (dynamic_cast<TImageFormControlObj*>(spot.Control) || spot.Disclosure) {
    cursor = crHandLink;
  }
  if (spot.HasTitle) FOverTitle = spot.Title;
  TFloatingObj* object = nullptr;
  int ix = 0, iy = 0;
  TImageObj* image = nullptr;
  if ((OnImageClick || OnImageOver) && FDocument->ObjectAt(docX, docY, object, ix, iy))
    image = dynamic_cast<TImageObj*>(object);
  if (image) {
    if (OnImageOver) OnImageOver(this, image, ix, iy, ShiftOf(event));
  } else if (cursor != crHandLink) {
    bool inText = false;
    if (DocCaretAt(pt.x(), pt.y(), &inText) >= 0 && inText) cursor = FTextCursorId;
  }
  SetPanelCursor(cursor);
  if (cursor == crHandLink || FDocument->FActiveImage) FHoverTimer->start();
  else FHoverTimer->stop();
  if (url != FOverURL || target != FOverTarget) {
    FOverURL = url;
    FOverTarget = target;
    if (OnHotSpotCovered) OnHotSpotCovered(this, url);
  }
  if (event->buttons() & Qt::LeftButton) {
    if (!FAutoScrolling && (pt.y() <= 0 || pt.y() >= height())) StartAutoScroll();
    if (!FNoSelect) ExtendSelection(pt.x(), pt.y());
  }
}

void TPageViewer::ExtendSelection(int x, int y) {
  if (!FSelecting || FSelAnchor < 0) return;
  y = std::clamp(y, 0, height());
  const int index = DocCaretAt(x, y);
  if (index >= 0 && !FNoSelect) {
    FDocument->FSelB = std::min(FSelAnchor, index);
    FDocument->FSelE = std::max(FSelAnchor, index);
    FPaintPanel->update();
  }
  if (index >= 0) FCaretPos = index;
}

void TPageViewer::PanelMouseUp(QMouseEvent* event) {
  const QPoint pt = PointOf(event);
  FMousePos = pt;
  if (event->button() == Qt::LeftButton) FLeftHeld = false;
  if (FPanMode) {
    // A middle click without movement leaves the mode on until the next press or key.
    if (!(event->button() == Qt::MiddleButton && pt.y() == FPanStartY)) EndPanMode();
    return;
  }
  const int docX = pt.x() + HScrollPos(), docY = pt.y() + FDocument->FYOff;
  if (OnImageClick || OnRightClick) {
    TFloatingObj* object = nullptr;
    int ix = 0, iy = 0;
    TImageObj* image = nullptr;
    if (FDocument->ObjectAt(docX, docY, object, ix, iy)) image = dynamic_cast<TImageObj*>(object);
    if (image && OnImageClick) OnImageClick(this, image, ix, iy, ButtonOf(event), ShiftOf(event));
    if (event->button() == Qt::RightButton && OnRightClick) {
      TRightClickParameters params;
      params.Image = image;
      params.ClickImageX = ix;
      params.ClickImageY = iy;
      THotSpot spot;
      if (FDocument->DocHotSpotAt(*FMeasureCanvas, docX, docY, spot) && spot.IsLink) {
        params.URL = spot.Link.Url();
        params.Target = spot.Link.Target();
      }
      int first = 0, last = 0;
      WordAt(pt.x(), pt.y(), params.ClickedWord, first, last);
      FHoverTimer->stop();
      OnRightClick(this, params);
      FHoverTimer->start();
    }
  }
  if (event->button() != Qt::LeftButton || (event->modifiers() & Qt::ShiftModifier)) return;
  FAutoScrollTimer->stop();
  FAutoScrolling = false;
  ExtendSelection(pt.x(), pt.y());
  if (FSelecting) OfferSelection();
  FSelecting = false;
  FDocument->MouseDownAt(false);
  if (!FLeftDown) return;
  FLeftDown = false;
  if (FDocument->FSelB < FDocument->FSelE) return;
  THotSpot spot;
  FDocument->DocHotSpotAt(*FMeasureCanvas, docX, docY, spot);
  if (auto* button = dynamic_cast<TImageFormControlObj*>(spot.Control)) {
    TFloatingObj* object = nullptr;
    int ix = 0, iy = 0;
    if (!FDocument->ObjectAt(docX, docY, object, ix, iy)) ix = iy = 0;
    button->ImageClick(ix, iy);
    return;
  }
  if (spot.Disclosure) {
    // A summary opens or closes its box; the page is laid out again where it stands.
    spot.Disclosure->Toggle();
    Reformat();
    return;
  }
  if (!spot.IsLink) return;
  FOverURL = spot.Link.Url();
  FOverTarget = spot.Link.Target();
  // The link's keyboard stop takes the focus; the view stays where the user clicked.
  for (TLinkRun* run : FDocument->FLinkList) {
    auto* f = static_cast<TRunExtra*>(run);  // the list holds font runs' link records
    if (f->LinkID() == spot.Link.ID() && f->TabControl()) {
      FFocusingControl = true;
      f->TabControl()->SetFocus();
      FFocusingControl = false;
      break;
    }
  }
  FLinkClicked = true;
  ProcessHotSpotClick();
}

void TPageViewer::PanelDoubleClick(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  const QPoint pt = PointOf(event);
  FDocument->MouseDownAt(true);
  if (FProcessing || FLinkClicked) return;
  if (!FNoSelect) {
    std::u16string word;
    int first = 0, last = 0;
    if (WordAt(pt.x(), pt.y(), word, first, last)) {
      FDocument->FSelB = first;
      FDocument->FSelE = last + 1;
      FCaretPos = first;
      FPaintPanel->update();
      OfferSelection();
    }
  }
  if (OnMouseDouble) OnMouseDouble(this, mbLeft, ShiftOf(event), pt.x(), pt.y());
}

void TPageViewer::PanelLeave() { FMouseInPanel = false; }

void TPageViewer::HoverTimerTick() {
  if (FMouseInPanel) return;
  FDocument->ClearActiveLinks();
  FHoverTimer->stop();
  if (!FOverURL.empty()) {
    FOverURL.clear();
    FOverTarget.clear();
    if (OnHotSpotCovered) OnHotSpotCovered(this, "");
  }
}

// ---- the automatic scroll loop ----

void TPageViewer::StartAutoScroll() {
  QMetaObject::invokeMethod(
      this,
      [this] {
        if (FAutoScrolling || !AutoScrollWanted()) return;
        FAutoScrolling = true;
        AutoScrollStep();
        if (FAutoScrolling) FAutoScrollTimer->start();
      },
      Qt::QueuedConnection);
}

bool TPageViewer::AutoScrollWanted() const {
  const int y = FMousePos.y();
  if (FPanMode) return std::abs(y - FPanStartY) > PanDeadZone;
  return FLeftHeld && (y <= 0 || y > height());
}

void TPageViewer::AutoScrollStep() {
  if (!AutoScrollWanted()) {
    FAutoScrollTimer->stop();
    FAutoScrolling = false;
    if (FPanMode) SetPanelCursor(crUpDown);
    return;
  }
  const int y = FMousePos.y();
  const int small = FVScrollBar->SmallChange();
  int step = 0;
  if (FPanMode) {
    const int d = y - FPanStartY;
    step = d < -60 ? -32 : d < -PanDeadZone ? -8 : d > 60 ? 32 : 8;
    SetPanelCursor(step < 0 ? crUpOnly : crDownOnly);
  } else {
    const int h = height();
    step = y < -15 ? -8 * small : y <= 0 ? -small : y > h + 15 ? 8 * small : small;
  }
  const int pos = std::clamp(Position() + step, 0, MaxVertical());
  FVScrollBar->SetPosition(pos);
  FDocument->SetScrollTop(pos);
  ExtendSelection(FMousePos.x(), y);
  FPaintPanel->update();
}

void TPageViewer::EndPanMode() {
  FPanMode = false;
  FAutoScrolling = false;
  FAutoScrollTimer->stop();
  SetPanelCursor(crArrow);
}

// ---- keys and wheel ----

void TPageViewer::keyPressEvent(QKeyEvent* event) {
  if (FPanMode) {
    EndPanMode();
    return;
  }
  if (event->matches(QKeySequence::Copy)) {
    CopyToClipboard();
    return;
  }
  if (event->matches(QKeySequence::SelectAll)) {
    SelectAll();
    return;
  }
  const int p = Position();
  int y = p;
  switch (event->key()) {
    case Qt::Key_PageUp: y = p - FVScrollBar->LargeChange(); break;
    case Qt::Key_PageDown: y = p + FVScrollBar->LargeChange(); break;
    // As in a browser: a page down, or up with Shift.
    case Qt::Key_Space:
      if (event->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier)) {
        QWidget::keyPressEvent(event);
        return;
      }
      y = event->modifiers() & Qt::ShiftModifier ? p - FVScrollBar->LargeChange() : p + FVScrollBar->LargeChange();
      break;
    case Qt::Key_End: y = FDocHeight; break;
    case Qt::Key_Home: y = 0; break;
    case Qt::Key_Up: y = p - FVScrollBar->SmallChange(); break;
    case Qt::Key_Down: y = p + FVScrollBar->SmallChange(); break;
    case Qt::Key_Left:
      SetHScrollPos(HScrollPos() - FHScrollBar->SmallChange());
      return;
    case Qt::Key_Right:
      SetHScrollPos(HScrollPos() + FHScrollBar->SmallChange());
      return;
    default:
      QWidget::keyPressEvent(event);
      return;
  }
  y = std::clamp(std::max(y, 0), 0, MaxVertical());
  ScrollVertically(y, std::abs(y - p) == FVScrollBar->SmallChange());
}

void TPageViewer::wheelEvent(QWheelEvent* event) {
  const int delta = event->angleDelta().y();
  if (delta == 0) {
    event->ignore();
    return;
  }
  const int lines = WheelScrollLines ? WheelScrollLines() : QApplication::wheelScrollLines();
  const int p = Position();
  int y = p;
  if (lines > 0) y = delta > 0 ? p - lines * FVScrollBar->SmallChange() : p + lines * FVScrollBar->SmallChange();
  else y = p - delta / 2;
  y = std::clamp(y, 0, MaxVertical());
  if (y != p) {
    ScrollVertically(y, true);
    RefreshHover();
  }
  event->accept();
}

void TPageViewer::RefreshHover() {
  // The page moved under a mouse that did not: what it points at now is another thing.
  if (!FMouseInPanel || FPanMode) return;
  QMouseEvent move(QEvent::MouseMove, QPointF(FMousePos), QPointF(FPaintPanel->mapToGlobal(FMousePos)), Qt::NoButton,
                   QApplication::mouseButtons(), QApplication::keyboardModifiers());
  PanelMouseMove(&move);
}

// ---- link clicks the owner leaves to the viewer ----

void TPageViewer::PostHotSpotClick() {
  QMetaObject::invokeMethod(this, [this] { ProcessHotSpotClick(); }, Qt::QueuedConnection);
}

void TPageViewer::ProcessHotSpotClick() {
  const std::string url = FOverURL;
  bool handled = false;
  if (OnHotSpotClick) OnHotSpotClick(this, url, handled);
  if (handled) return;
  const std::int64_t saved = SavePosition();
  if (!url.empty() && url[0] == '#') {
    if (GoToAnchor(url)) {
      BumpHistory(saved);
      AddVisited(FDocFile + url);
    }
    return;
  }
  const std::size_t hash = url.find('#');
  const std::string anchor = hash == std::string::npos ? std::string() : url.substr(hash);
  const std::string name = ExpandLinkName(url.substr(0, hash));
  const std::string ext = UpperCase(ExtractFileExt(name)).substr(0, 5);
  // A page that cannot be opened is reported; the click must not take the event loop down.
  try {
    if (ext == ".HTM" || ext == ".HTML") {
      if (name != FDocFile) {
        OpenHtmlFile(name + anchor);
        AddVisited(name + anchor);
      } else if (GoToAnchor(anchor)) {
        BumpHistory(saved);
        AddVisited(name + anchor);
      }
    } else if (ext == ".BMP" || ext == ".GIF" || ext == ".JPG" || ext == ".JPEG" || ext == ".PNG") {
      OpenImageFile(name);
    }
  } catch (const std::exception& e) {
    FHost->ShowError(e.what());
  }
}

}  // namespace korva
