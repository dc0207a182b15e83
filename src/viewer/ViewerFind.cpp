// Find in page: the document finds and highlights the matches; the viewer picks the current
// one and keeps it in view.
#include <QString>

#include "layout/SectionList.h"
#include "viewer/PageViewer.h"
#include "viewer/ViewerWidgets.h"

namespace korva {

int TPageViewer::MatchCount() const { return int(FDocument->Highlights().size()); }

int TPageViewer::CurrentMatch() const { return FDocument->CurrentHighlight(); }

int TPageViewer::Find(const std::string& text, bool matchCase) {
  const QString q = QString::fromUtf8(text.data(), qsizetype(text.size()));
  const int count = FDocument->FindInPage(std::u16string(reinterpret_cast<const char16_t*>(q.utf16()), std::size_t(q.size())),
                                          matchCase);
  if (count > 0) {
    // The first match from the top of the view on, else the first of the page.
    const int top = Position();
    int current = 0;
    for (int i = 0; i < count; ++i) {
      int y = 0;
      if (FDocument->LineYAt(FDocument->Highlights()[std::size_t(i)].first, y) && y >= top) {
        current = i;
        break;
      }
    }
    FDocument->SetCurrentHighlight(current);
    ShowCurrentMatch();
  }
  FPaintPanel->update();
  return count;
}

bool TPageViewer::FindNext(bool backward, bool* wrapped) {
  if (wrapped) *wrapped = false;
  const int count = MatchCount();
  if (count == 0) return false;
  int current = CurrentMatch() + (backward ? -1 : 1);
  if (current < 0 || current >= count) {
    current = (current + count) % count;
    if (wrapped) *wrapped = true;
  }
  FDocument->SetCurrentHighlight(current);
  ShowCurrentMatch();
  FPaintPanel->update();
  return true;
}

void TPageViewer::ShowCurrentMatch() {
  const int current = CurrentMatch();
  if (current < 0) return;
  int y = 0;
  if (!FDocument->LineYAt(FDocument->Highlights()[std::size_t(current)].first, y)) return;
  const int top = Position(), height = FPaintPanel->height();
  // A match already in view stays where it is; another comes to a third of the way down.
  const int margin = std::min(height / 4, 40);
  if (y >= top + margin / 2 && y < top + height - margin) return;
  SetPosition(std::max(0, y - height / 3));
}

}  // namespace korva
