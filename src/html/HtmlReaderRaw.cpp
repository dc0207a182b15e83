// The markup of elements that are not HTML, taken through whole for another reader.
#include <string>
#include <string_view>

#include "html/HtmlReader.h"

namespace korva {

namespace {

bool ForeignNameByte(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == ':' || c == '-' ||
         c == '_' || c == '.';
}

// Names longer than this are not compared (no element of interest has one).
constexpr std::size_t MaxForeignNameLength = 64;

}  // namespace

bool THtmlReader::ReadForeignElement(std::string_view upperName, std::size_t maxBytes, std::string& markup) {
  markup.clear();
  // Comments inside belong to the element; the raw flag keeps them.
  struct TRawGuard {
    THtmlReader& R;
    bool Was;
    ~TRawGuard() { R.FRaw = Was; }
  } guard{*this, FRaw};
  FRaw = true;

  // The start tag as written, when it came from the main text (an include buffer's bytes are
  // gone by now: the tag is then made again from its attributes, names in lower case).
  const bool fromText = FMode == 1 && FTagPos >= 0 && FTagPos < FCharPos &&
                        static_cast<std::size_t>(FTagPos) < FText.size() && FText[std::size_t(FTagPos)] == '<';
  std::string startTag;
  if (fromText) {
    std::size_t end = FCh == 0 ? FText.size() : std::size_t(FCharPos);
    startTag = FText.substr(std::size_t(FTagPos), end - std::size_t(FTagPos));
  } else {
    startTag = "<" + LowerCase(std::string(upperName));
    for (int i = 0; i < FAttributes.Count(); ++i) {
      const TAttribute* a = FAttributes[i];
      startTag += " " + LowerCase(a->WhichName()) + "=\"";
      for (char c : a->Text()) startTag += c == '"' ? std::string("&quot;") : std::string(1, c);
      startTag += "\"";
    }
    startTag += ">";
  }
  std::size_t last = startTag.find_last_not_of(" \r\n\t>");
  const bool selfClosed = last != std::string::npos && startTag[last] == '/' && startTag.back() == '>';

  std::string collected;  // the bytes after the start tag when they cannot be cut from the text
  bool fits = startTag.size() <= maxBytes;
  auto keep = [&](unsigned char c) {
    if (fromText) return;
    if (startTag.size() + collected.size() < maxBytes) collected.push_back(static_cast<char>(c));
    else fits = false;
  };
  auto take = [&] {
    keep(FCh);
    GetCh();
  };
  // Passes over characters up to and including `closer`.
  auto passTo = [&](std::string_view closer) {
    std::size_t matched = 0;
    while (FCh != 0 && matched < closer.size()) {
      unsigned char c = FCh;
      take();
      if (c == static_cast<unsigned char>(closer[matched])) ++matched;
      else matched = c == static_cast<unsigned char>(closer[0]) ? 1 : 0;
    }
  };

  int endPos = -1;
  if (!selfClosed) {
    int depth = 1;
    std::string name;
    while (FCh != 0 && endPos < 0) {
      if (FCh != '<') {
        take();
        continue;
      }
      take();
      if (FCh == '!') {
        take();
        if (FCh == '-') passTo("-->");
        else if (FCh == '[') passTo("]]>");
        else passTo(">");
        continue;
      }
      if (FCh == '?') {
        passTo("?>");
        continue;
      }
      const bool endTag = FCh == '/';
      if (endTag) take();
      name.clear();
      while (ForeignNameByte(FCh)) {
        if (name.size() < MaxForeignNameLength) name.push_back(static_cast<char>(FChUp));
        take();
      }
      if (name.empty()) continue;  // a "<" that opens no tag
      // The rest of the tag, quoted values taken whole.
      unsigned char quote = 0, lastSeen = 0;
      while (FCh != 0) {
        if (quote) {
          if (FCh == quote) quote = 0;
        } else if (FCh == '"' || FCh == '\'') {
          quote = FCh;
        } else if (FCh == '>') {
          break;
        } else if (FCh != ' ' && FCh != '\r') {
          lastSeen = FCh;
        }
        take();
      }
      if (FCh == 0) break;
      const std::size_t colon = name.rfind(':');
      const std::string_view local = colon == std::string::npos ? std::string_view(name)
                                                                 : std::string_view(name).substr(colon + 1);
      if (local == upperName) {
        if (endTag) {
          if (--depth == 0) endPos = FCharPos;
        } else if (lastSeen != '/') {
          ++depth;
        }
      }
      take();  // the ">"
    }
  }

  if (fromText) {
    std::size_t end = std::size_t(FTagPos) + startTag.size();
    if (endPos >= 0) end = std::size_t(endPos) + 1;
    else if (!selfClosed) end = FText.size();  // no end tag: the element runs to the end
    const std::size_t n = end - std::size_t(FTagPos);
    fits = n <= maxBytes;
    if (fits) markup = FText.substr(std::size_t(FTagPos), n);
  } else if (fits) {
    markup = startTag + collected;
  }
  // A comment right after the element is removed as anywhere else.
  FRaw = guard.Was;
  while (FCh == '<' && !FRaw && !FInComment && PeekByte() == '!') RemoveComment();
  return fits;
}

void THtmlReader::SkipHiddenElement(std::string_view endTag) {
  std::string ignored;
  ReadRawContents(endTag, false, false, nullptr, ignored);
  while (FCh != '>' && FCh != 0) GetCh();
  if (FCh == '>') GetCh();
}

}  // namespace korva
