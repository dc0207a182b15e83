// The selection as text, the whole page selected, and the clipboard.
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QString>

#include "layout/SectionList.h"
#include "platform/CodePage.h"
#include "viewer/PageViewer.h"
#include "viewer/ViewerWidgets.h"

namespace korva {

std::string TPageViewer::SelectedText() {
  if (SelLength() <= 0) return {};
  std::u16string text;
  FDocument->AppendSelectedText(text);
  QString s = QString::fromUtf16(text.data(), qsizetype(text.size()));
  s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  // The break after the last selected line belongs to no text the reader chose.
  while (s.endsWith(QLatin1Char('\n'))) s.chop(1);
  const QByteArray utf8 = s.toUtf8();
  return std::string(utf8.constData(), std::size_t(utf8.size()));
}

void TPageViewer::SelectAll() {
  if (FNoSelect) return;
  FDocument->FSelB = 0;
  FDocument->FSelE = FDocument->FCharCount;
  FPaintPanel->update();
}

std::string TPageViewer::SelectedSource() {
  if (SelLength() <= 0) return {};
  int first = FDocument->SourcePosOf(FDocument->FSelB);
  int last = FDocument->SourcePosOf(FDocument->FSelE - 1);
  if (first < 0 || last < first || std::size_t(last) >= FSourceText.size()) return {};
  // Whole characters: a character's position is that of its first byte. The page's bytes are
  // taken as UTF-8 when they read as UTF-8, else as Windows-1252.
  const char* begin = FSourceText.data();
  const char* end = begin + FSourceText.size();
  const char* stop = CharNextEx(CP_UTF8, begin + last, end);
  const std::string_view bytes(begin + first, std::size_t(stop - (begin + first)));
  bool valid = true;
  for (auto* p = reinterpret_cast<const unsigned char*>(bytes.data()), *e = p + bytes.size(); p < e && valid;) {
    char32_t cp = 0;
    if (*p < 0x80) {
      ++p;
    } else if (const int n = DecodeUtf8(p, e, cp); n > 0) {
      p += n;
    } else {
      valid = false;
    }
  }
  if (valid) return std::string(bytes);
  const std::u16string wide = MultiByteToWide(1252, bytes);
  const QByteArray utf8 = QString::fromUtf16(wide.data(), qsizetype(wide.size())).toUtf8();
  return std::string(utf8.constData(), std::size_t(utf8.size()));
}

bool TPageViewer::CopyToClipboard() {
  const std::string text = SelectedText();
  if (text.empty()) return false;
  auto* data = new QMimeData;
  data->setText(QString::fromUtf8(text.data(), qsizetype(text.size())));
  const std::string html = SelectedSource();
  if (!html.empty()) data->setHtml(QString::fromUtf8(html.data(), qsizetype(html.size())));
  QClipboard* clipboard = QGuiApplication::clipboard();
  clipboard->setMimeData(data);
  if (clipboard->supportsSelection())
    clipboard->setText(QString::fromUtf8(text.data(), qsizetype(text.size())), QClipboard::Selection);
  return true;
}

void TPageViewer::OfferSelection() {
  QClipboard* clipboard = QGuiApplication::clipboard();
  if (!clipboard->supportsSelection()) return;
  const std::string text = SelectedText();
  if (!text.empty()) clipboard->setText(QString::fromUtf8(text.data(), qsizetype(text.size())), QClipboard::Selection);
}

}  // namespace korva
