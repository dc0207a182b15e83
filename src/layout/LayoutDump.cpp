#include "layout/LayoutDump.h"

#include <algorithm>
#include <cstdio>

#include "platform/CodePage.h"

namespace korva {

TDumpWriter& TDumpWriter::Line(int depth) {
  if (FOpen) FOut += '\n';
  FOut.append(std::size_t(2 * std::max(0, depth)), ' ');
  FOpen = true;
  return *this;
}

TDumpWriter& TDumpWriter::operator<<(std::string_view s) {
  FOut += s;
  return *this;
}

TDumpWriter& TDumpWriter::operator<<(int v) {
  FOut += std::to_string(v);
  return *this;
}

TDumpWriter& TDumpWriter::Box(const TRect& r) {
  FOut += ' ';
  FOut += std::to_string(r.Left) + ',' + std::to_string(r.Top) + ' ' + std::to_string(r.Width()) + 'x' +
          std::to_string(r.Height());
  return *this;
}

TDumpWriter& TDumpWriter::Quoted(std::u16string_view text) {
  FOut += '"';
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    if (c == '"' || c == '\\') {
      FOut += '\\';
      FOut += char(c);
    } else if (c < 0x20 || c == 0x7F) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04X", unsigned(c));
      FOut += buf;
    } else {
      AppendUtf8(FOut, c);
    }
  }
  FOut += '"';
  return *this;
}

std::string TDumpWriter::Text() {
  if (FOpen) {
    FOut += '\n';
    FOpen = false;
  }
  return FOut;
}

}  // namespace korva
