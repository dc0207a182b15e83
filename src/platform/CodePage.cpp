#include "platform/CodePage.h"

#include <iconv.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <algorithm>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace korva {


namespace {

unsigned Normalize(unsigned cp) {
  if (cp == CP_ACP) return 1252;
  if (cp == CP_OEMCP) return 437;
  return cp;
}

const char* IconvName(unsigned cp) {
  switch (cp) {
    case 1250: return "CP1250";
    case 1251: return "CP1251";
    case 1252: return "CP1252";
    case 1253: return "CP1253";
    case 1254: return "CP1254";
    case 1255: return "CP1255";
    case 1256: return "CP1256";
    case 1257: return "CP1257";
    case 1258: return "CP1258";
    case 874: return "CP874";
    case 932: return "CP932";
    case 936: return "CP936";
    case 949: return "CP949";
    case 950: return "CP950";
    case 1361: return "JOHAB";
    case 28591: return "ISO-8859-1";
    case 28592: return "ISO-8859-2";
    case 28593: return "ISO-8859-3";
    case 28594: return "ISO-8859-4";
    case 28595: return "ISO-8859-5";
    case 28596: return "ISO-8859-6";
    case 28597: return "ISO-8859-7";
    case 28598: case 38598: return "ISO-8859-8";  // visual and logical order: the same bytes
    case 28599: return "ISO-8859-9";
    case 28600: return "ISO-8859-10";
    case 28603: return "ISO-8859-13";
    case 28604: return "ISO-8859-14";
    case 28605: return "ISO-8859-15";
    case 28606: return "ISO-8859-16";
    case 866: return "CP866";
    case 20866: return "KOI8-R";
    case 21866: return "KOI8-U";
    case 10000: return "MACINTOSH";
    case 10007: return "MAC-CYRILLIC";
    case 54936: return "GB18030";
    case 51949: return "EUC-KR";
    case 1200: return "UTF-16LE";
    case 1201: return "UTF-16BE";
    case 437: return "CP437";
    case 850: return "CP850";
    case 20932: case 51932: return "EUC-JP";
    case 50220: case 50221: case 50222: return "ISO-2022-JP";
    case CP_UTF8: return "UTF-8";
    default: return nullptr;
  }
}

bool IsDoubleBytePage(unsigned cp) {
  return cp == 932 || cp == 936 || cp == 949 || cp == 950 || cp == 1361;
}

// Pages of several bytes per character that are not lead/trail-byte pages.
bool IsOtherMultiBytePage(unsigned cp) {
  return cp == CP_UTF8 || cp == 20932 || cp == 51932 || (cp >= 50220 && cp <= 50222) || cp == 54936 ||
         cp == 51949 || cp == 1200 || cp == 1201;
}

// 1258 and 1255 combine characters, so they go through iconv like the double-byte pages;
// every other single-byte page uses a 256-entry table.
bool UsesTable(unsigned cp) {
  return !IsDoubleBytePage(cp) && !IsOtherMultiBytePage(cp) && cp != 1258 && cp != 1255;
}

struct TSingleByteTable {
  std::array<char16_t, 256> ToWide{};
  std::unordered_map<char16_t, unsigned char> FromWide;
};

class TIconv {
 public:
  TIconv(const char* to, const char* from) : FHandle(iconv_open(to, from)) {}
  ~TIconv() {
    if (Valid()) iconv_close(FHandle);
  }
  bool Valid() const { return FHandle != reinterpret_cast<iconv_t>(-1); }
  iconv_t Handle() const { return FHandle; }
  void Reset() { iconv(FHandle, nullptr, nullptr, nullptr, nullptr); }

 private:
  iconv_t FHandle;
};

struct TPageConverters {
  std::unique_ptr<TIconv> ToWide, FromWide;
  std::unique_ptr<TSingleByteTable> Table;
};

// The converters of each page are opened once and kept; the program is single-threaded but
// tests may run converters from several threads, so the cache is per thread.
TPageConverters& Converters(unsigned cp) {
  thread_local std::unordered_map<unsigned, TPageConverters> cache;
  TPageConverters& c = cache[cp];
  if (!c.ToWide) {
    c.ToWide = std::make_unique<TIconv>("UTF-16LE", IconvName(cp));
    c.FromWide = std::make_unique<TIconv>(IconvName(cp), "UTF-16LE");
  }
  return c;
}

const TSingleByteTable& Table(unsigned cp) {
  TPageConverters& c = Converters(cp);
  if (!c.Table) {
    auto t = std::make_unique<TSingleByteTable>();
    for (int b = 0; b < 256; ++b) {
      char in = char(b);
      char16_t out[4] = {};
      char* ip = &in;
      size_t il = 1;
      char* op = reinterpret_cast<char*>(out);
      size_t ol = sizeof(out);
      c.ToWide->Reset();
      char16_t ch = 0xFFFD;
      if (c.ToWide->Valid() && iconv(c.ToWide->Handle(), &ip, &il, &op, &ol) != size_t(-1) && ol == sizeof(out) - 2)
        ch = out[0];
      else if (cp == 1252 && (b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D))
        ch = char16_t(b);  // the five holes of 1252 map to the C1 controls of the same value
      t->ToWide[b] = ch;
    }
    for (int b = 255; b >= 0; --b)
      if (t->ToWide[b] != 0xFFFD) t->FromWide[t->ToWide[b]] = static_cast<unsigned char>(b);
    c.Table = std::move(t);
  }
  return *c.Table;
}

void AppendCodePoint(std::u16string& out, char32_t cp) {
  if (cp >= 0x10000) {
    cp -= 0x10000;
    out.push_back(char16_t(0xD800 + (cp >> 10)));
    out.push_back(char16_t(0xDC00 + (cp & 0x3FF)));
  } else {
    out.push_back(char16_t(cp));
  }
}

std::u16string Utf8ToWide(std::string_view bytes) {
  std::u16string out;
  out.reserve(bytes.size());
  auto p = reinterpret_cast<const unsigned char*>(bytes.data());
  auto end = p + bytes.size();
  while (p < end) {
    if (*p < 0x80) {
      out.push_back(*p++);
      continue;
    }
    char32_t cp;
    int len = DecodeUtf8(p, end, cp);
    if (len == 0) {
      out.push_back(0xFFFD);
      ++p;
    } else {
      AppendCodePoint(out, cp);
      p += len;
    }
  }
  return out;
}

std::string WideToUtf8(std::u16string_view text, char defaultChar) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      out.push_back(defaultChar);
      continue;
    }
    if (c < 0x80) {
      out.push_back(char(c));
    } else if (c < 0x800) {
      out.push_back(char(0xC0 | (c >> 6)));
      out.push_back(char(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.push_back(char(0xE0 | (c >> 12)));
      out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(char(0x80 | (c & 0x3F)));
    } else {
      out.push_back(char(0xF0 | (c >> 18)));
      out.push_back(char(0x80 | ((c >> 12) & 0x3F)));
      out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(char(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

std::u16string IconvToWide(unsigned cp, std::string_view bytes) {
  std::u16string out;
  TIconv& cv = *Converters(cp).ToWide;
  if (!cv.Valid()) return out;
  cv.Reset();
  out.reserve(bytes.size());
  char16_t buf[1024];
  char* ip = const_cast<char*>(bytes.data());
  size_t il = bytes.size();
  while (il > 0) {
    char* op = reinterpret_cast<char*>(buf);
    size_t ol = sizeof(buf);
    size_t r = iconv(cv.Handle(), &ip, &il, &op, &ol);
    out.append(buf, (sizeof(buf) - ol) / 2);
    if (r == size_t(-1)) {
      if (errno == E2BIG) continue;
      // An invalid or incomplete sequence: one replacement character per byte, then go on.
      out.push_back(0xFFFD);
      ++ip;
      --il;
      cv.Reset();
    }
  }
  // Flush the shift state of stateful encodings.
  char* op = reinterpret_cast<char*>(buf);
  size_t ol = sizeof(buf);
  iconv(cv.Handle(), nullptr, nullptr, &op, &ol);
  out.append(buf, (sizeof(buf) - ol) / 2);
  return out;
}

std::string IconvFromWide(unsigned cp, std::u16string_view text, char defaultChar) {
  std::string out;
  TIconv& cv = *Converters(cp).FromWide;
  if (!cv.Valid()) return out;
  cv.Reset();
  out.reserve(text.size() * 2);
  char buf[2048];
  char* ip = reinterpret_cast<char*>(const_cast<char16_t*>(text.data()));
  size_t il = text.size() * 2;
  while (il > 0) {
    char* op = buf;
    size_t ol = sizeof(buf);
    size_t r = iconv(cv.Handle(), &ip, &il, &op, &ol);
    out.append(buf, sizeof(buf) - ol);
    if (r == size_t(-1)) {
      if (errno == E2BIG) continue;
      out.push_back(defaultChar);
      // Skip the unmappable character: two units for a surrogate pair.
      char16_t u;
      std::memcpy(&u, ip, 2);
      size_t skip = (u >= 0xD800 && u <= 0xDBFF && il >= 4) ? 4 : 2;
      skip = std::min(skip, il);
      ip += skip;
      il -= skip;
      cv.Reset();
    }
  }
  char* op = buf;
  size_t ol = sizeof(buf);
  iconv(cv.Handle(), nullptr, nullptr, &op, &ol);
  out.append(buf, sizeof(buf) - ol);
  return out;
}

}  // namespace

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += char(cp);
  } else if (cp < 0x800) {
    out += char(0xC0 | (cp >> 6));
    out += char(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += char(0xE0 | (cp >> 12));
    out += char(0x80 | ((cp >> 6) & 0x3F));
    out += char(0x80 | (cp & 0x3F));
  } else {
    out += char(0xF0 | (cp >> 18));
    out += char(0x80 | ((cp >> 12) & 0x3F));
    out += char(0x80 | ((cp >> 6) & 0x3F));
    out += char(0x80 | (cp & 0x3F));
  }
}

int DecodeUtf8(const unsigned char* p, const unsigned char* end, char32_t& cp) {
  unsigned char b = *p;
  if (b < 0x80) {
    cp = b;
    return 1;
  }
  int len;
  char32_t min;
  if (b >= 0xC2 && b <= 0xDF) len = 2, cp = b & 0x1F, min = 0x80;
  else if (b >= 0xE0 && b <= 0xEF) len = 3, cp = b & 0x0F, min = 0x800;
  else if (b >= 0xF0 && b <= 0xF4) len = 4, cp = b & 0x07, min = 0x10000;
  else return 0;
  if (end - p < len) return 0;
  for (int i = 1; i < len; ++i) {
    if ((p[i] & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (p[i] & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return len;
}

bool IsDoubleByteCodePage(unsigned codePage) { return IsDoubleBytePage(Normalize(codePage)); }

bool IsCodePageSupported(unsigned codePage) { return IconvName(Normalize(codePage)) != nullptr; }

bool IsMultiByteCodePage(unsigned codePage) {
  unsigned cp = Normalize(codePage);
  return IsDoubleBytePage(cp) || IsOtherMultiBytePage(cp);
}

std::u16string MultiByteToWide(unsigned codePage, std::string_view bytes) {
  unsigned cp = Normalize(codePage);
  if (!IconvName(cp)) cp = 1252;
  if (cp == CP_UTF8) return Utf8ToWide(bytes);
  if (UsesTable(cp)) {
    const TSingleByteTable& t = Table(cp);
    std::u16string out(bytes.size(), u'\0');
    for (size_t i = 0; i < bytes.size(); ++i) out[i] = t.ToWide[static_cast<unsigned char>(bytes[i])];
    return out;
  }
  return IconvToWide(cp, bytes);
}

std::string WideToMultiByte(unsigned codePage, std::u16string_view text, char defaultChar) {
  unsigned cp = Normalize(codePage);
  if (!IconvName(cp)) cp = 1252;
  if (cp == CP_UTF8) return WideToUtf8(text, defaultChar);
  if (UsesTable(cp)) {
    const TSingleByteTable& t = Table(cp);
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
      char16_t c = text[i];
      auto it = t.FromWide.find(c);
      if (it != t.FromWide.end()) {
        out.push_back(char(it->second));
      } else {
        out.push_back(defaultChar);
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) ++i;
      }
    }
    return out;
  }
  return IconvFromWide(cp, text, defaultChar);
}

bool IsDBCSLeadByteEx(unsigned codePage, unsigned char b) {
  switch (Normalize(codePage)) {
    case 932: return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
    case 936: case 949: case 950: return b >= 0x81 && b <= 0xFE;
    case 1361: return (b >= 0x84 && b <= 0xD3) || (b >= 0xD8 && b <= 0xDE) || (b >= 0xE0 && b <= 0xF9);
    default: return false;
  }
}

const char* CharNextEx(unsigned codePage, const char* p, const char* end) {
  if (p >= end) return end;
  unsigned cp = Normalize(codePage);
  auto b = static_cast<unsigned char>(*p);
  if (cp == CP_UTF8) {
    char32_t c;
    int len = DecodeUtf8(reinterpret_cast<const unsigned char*>(p), reinterpret_cast<const unsigned char*>(end), c);
    return p + (len == 0 ? 1 : len);
  }
  auto next = [&](std::ptrdiff_t n) { return end - p >= n ? p + n : end; };
  if (cp == 20932 || cp == 51932) {
    // 0x8F opens a character of three bytes; 0x8E and 0xA1-0xFE one of two.
    if (b == 0x8F) return next(3);
    if (b == 0x8E || (b >= 0xA1 && b <= 0xFE)) return next(2);
    return p + 1;
  }
  if (cp == 51949) return b >= 0xA1 && b <= 0xFE ? next(2) : p + 1;
  if (cp == 54936) {
    // Four bytes when the second is a digit, else two.
    if (b < 0x81 || b == 0xFF || end - p < 2) return p + 1;
    auto b1 = static_cast<unsigned char>(p[1]);
    return b1 >= 0x30 && b1 <= 0x39 ? next(4) : p + 2;
  }
  if (cp == 1200 || cp == 1201) {
    if (end - p < 2) return end;
    unsigned u = cp == 1200 ? (static_cast<unsigned char>(p[1]) << 8) | b : (b << 8) | static_cast<unsigned char>(p[1]);
    return u >= 0xD800 && u <= 0xDBFF ? next(4) : p + 2;
  }
  // A lead byte followed by a trail byte is one character; a lead byte before a zero byte or
  // at the end stands alone.
  if (IsDBCSLeadByteEx(cp, b) && p + 1 < end && p[1] != '\0') return p + 2;
  return p + 1;
}

std::string OemToAnsi(std::string_view s) { return WideToMultiByte(1252, MultiByteToWide(437, s)); }

std::string AnsiToOem(std::string_view s) { return WideToMultiByte(437, MultiByteToWide(1252, s)); }

}  // namespace korva
