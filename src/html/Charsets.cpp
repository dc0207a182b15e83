#include "html/Charsets.h"

#include "style/PropStack.h"

namespace korva {

namespace {

struct TCharsetRow {
  std::string_view Fragment;
  int Charset;
};

constexpr TCharsetRow CharsetTable[46] = {
    {"1252", 0},        {"8859-1", 0},      {"1253", 161},      {"8859-7", 161},   {"1250", 238},
    {"8859-2", 31},     {"1251", 204},      {"8859-5", 204},    {"koi", 204},      {"866", 204},
    {"1254", 162},      {"8859-3", 162},    {"8859-9", 162},    {"1257", 186},     {"8859-4", 186},
    {"932", 128},       {"949", 129},       {"936", 134},       {"950", 136},      {"1255", 177},
    {"1256", 178},      {"1258", 163},      {"874", 222},       {"ansi", 0},       {"default", 1},
    {"symbol", 2},      {"shiftjis", 128},  {"shift_jis", 128}, {"x-sjis", 128},   {"hangeul", 129},
    {"gb2312", 134},    {"big5", 136},      {"oem", 255},       {"johab", 130},    {"hebrew", 177},
    {"arabic", 178},    {"greek", 161},     {"turkish", 162},   {"vietnamese", 163}, {"thai", 222},
    {"easteurope", 238}, {"russian", 204},  {"euc-kr", 129},    {"5601", 129},     {"euc-jp", 30},
    {"8859-15", 0}};

struct TCodePageRow {
  int Charset;
  unsigned CodePage;
};

constexpr TCodePageRow CodePageTable[19] = {
    {0, 1252},   {1, 0},      {2, 0},      {77, 2},     {128, 932},  {129, 949},  {130, 1361},
    {134, 936},  {136, 950},  {161, 1253}, {162, 1254}, {163, 1258}, {177, 1255}, {178, 1256},
    {186, 1257}, {204, 1251}, {222, 874},  {238, 1250}, {255, 1}};

unsigned char FirstByte(unsigned a) { return static_cast<unsigned char>((a + 1) / 2 + (a >= 33 && a <= 96 ? 112 : 176)); }

unsigned char SecondByte(unsigned a, unsigned b) {
  if (a & 1) return static_cast<unsigned char>(b + (b >= 96 ? 32 : 31));
  return static_cast<unsigned char>(b + 126);
}

}  // namespace

bool LookupCharset(std::string_view lowerValue, int& charset) {
  for (const auto& row : CharsetTable) {
    if (lowerValue.find(row.Fragment) != std::string_view::npos) {
      charset = row.Charset;
      return true;
    }
  }
  return false;
}

bool CharsetToCodePage(int charset, unsigned& codePage) {
  if (charset == CharsetIso8859_2) {
    codePage = 28592;
    return true;
  }
  for (const auto& row : CodePageTable) {
    if (row.Charset == charset) {
      codePage = row.CodePage;
      return true;
    }
  }
  return false;
}

int CodePageToCharset(unsigned codePage) {
  switch (codePage) {
    case 1250: case 28592: case 28606: return 238;
    case 1251: case 866: case 20866: case 21866: case 28595: case 10007: return 204;
    case 1253: case 28597: return 161;
    case 1254: case 28593: case 28599: return 162;
    case 1255: case 28598: case 38598: return 177;
    case 1256: case 28596: return 178;
    case 1257: case 28594: case 28603: return 186;
    case 1258: return 163;
    case 874: return 222;
    case 932: case 20932: case 51932: case 50220: case 50221: case 50222: return 128;
    case 936: case 54936: return 134;
    case 949: case 51949: return 129;
    case 950: return 136;
    case 1361: return 130;
    default: return 0;
  }
}

void TSimpleCharsets::SetCharsetCode(int charset) {
  unsigned cp;
  if (CharsetToCodePage(charset, cp)) FCodePage = cp;
}

unsigned TPropStackCharsets::CodePage() const {
  return FStack.Empty() ? 0u : static_cast<unsigned>(FStack.Last().FCodePageNum);
}

void TPropStackCharsets::SetCharsetCode(int charset) {
  if (!FStack.Empty()) FStack.Last().SetCharsetCode(charset);
}

void TPropStackCharsets::SetUtf8() {
  if (!FStack.Empty()) FStack.Last().SetUtf8();
}

void TPropStackCharsets::SetCodePage(unsigned codePage) {
  if (FStack.Empty()) return;
  if (codePage == 65001) {
    FStack.Last().SetUtf8();
    return;
  }
  // The fonts take the character set; the text keeps the page itself, which the character
  // set alone could not name (KOI8-R and windows-1251 share one).
  FStack.Last().SetCharsetCode(CodePageToCharset(codePage));
  FStack.Last().FCodePageNum = static_cast<int>(codePage);
}

bool HasIso2022JpEscape(std::string_view text) {
  return text.find("\x1b$@") != std::string_view::npos || text.find("\x1b$B") != std::string_view::npos;
}

std::string Iso2022JpToShiftJis(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  bool doubleByte = false;
  bool haveFirst = false;
  unsigned first = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    unsigned b = static_cast<unsigned char>(text[i]) & 0x7F;
    if (b == 0x1B && i + 2 < text.size()) {
      char c1 = text[i + 1], c2 = text[i + 2];
      if (c1 == '(' && (c2 == 'B' || c2 == 'J')) {
        doubleByte = false;
        haveFirst = false;
        i += 2;
        continue;
      }
      if (c1 == '$' && (c2 == '@' || c2 == 'B')) {
        doubleByte = true;
        haveFirst = false;
        i += 2;
        continue;
      }
    }
    if (!doubleByte) {
      out.push_back(static_cast<char>(b));
    } else if (!haveFirst) {
      first = b;
      haveFirst = true;
      out.push_back(static_cast<char>(FirstByte(first)));
    } else {
      haveFirst = false;
      out.push_back(static_cast<char>(SecondByte(first, b)));
    }
  }
  return out;
}

}  // namespace korva
