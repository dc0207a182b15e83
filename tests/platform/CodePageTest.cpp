#include <gtest/gtest.h>

#include "platform/CodePage.h"

using namespace korva;

TEST(CodePage, SingleBytePagesRoundTrip) {
  for (unsigned cp : {1250u, 1251u, 1252u, 1253u, 1254u, 1256u, 1257u, 874u, 28592u, 437u, 850u}) {
    std::string all;
    for (int b = 0x20; b < 256; ++b) all.push_back(char(b));
    std::u16string wide = MultiByteToWide(cp, all);
    ASSERT_EQ(wide.size(), all.size()) << cp;
    std::string back = WideToMultiByte(cp, wide);
    // Bytes the page leaves undefined come back as '?'; every defined byte survives.
    for (size_t i = 0; i < all.size(); ++i) {
      if (wide[i] != 0xFFFD) {
        EXPECT_EQ(back[i], all[i]) << "page " << cp << " byte " << i + 0x20;
      }
    }
  }
}

TEST(CodePage, KnownCharacters) {
  EXPECT_EQ(MultiByteToWide(1252, "\x80\x96\x93\xE9"), u"\u20AC\u2013\u201C\u00E9");
  EXPECT_EQ(MultiByteToWide(1251, "\xC0\xFF"), u"\u0410\u044F");
  EXPECT_EQ(MultiByteToWide(28592, "\xA3"), u"\u0141");
  EXPECT_EQ(MultiByteToWide(437, "\xB0\xE1"), u"\u2591\u00DF");
  // The holes of 1252 keep their byte value, as the system's converter does.
  EXPECT_EQ(MultiByteToWide(1252, "\x81\x8D"), u"\u0081\u008D");
  // CP_ACP is 1252 here; an unknown page converts as 1252.
  EXPECT_EQ(MultiByteToWide(CP_ACP, "\x80"), u"\u20AC");
  EXPECT_EQ(MultiByteToWide(12345, "\x80"), u"\u20AC");
  EXPECT_EQ(WideToMultiByte(1252, u"a\u0416b"), "a?b");
  EXPECT_EQ(WideToMultiByte(1252, u"a\U0001F600b", '#'), "a#b");
}

TEST(CodePage, Utf8) {
  EXPECT_EQ(MultiByteToWide(CP_UTF8, "a\xC3\xA9\xE2\x82\xAC"), u"a\u00E9\u20AC");
  EXPECT_EQ(MultiByteToWide(CP_UTF8, "\xF0\x9F\x98\x80"), u"\U0001F600");
  // Invalid bytes become one replacement character each, and decoding goes on.
  EXPECT_EQ(MultiByteToWide(CP_UTF8, "a\xC3(\xFF\xED\xA0\x80z"), u"a\uFFFD(\uFFFD\uFFFD\uFFFD\uFFFDz");
  EXPECT_EQ(MultiByteToWide(CP_UTF8, "\xE2\x82"), u"\uFFFD\uFFFD");
  EXPECT_EQ(WideToMultiByte(CP_UTF8, u"\u00E9\U0001F600"), "\xC3\xA9\xF0\x9F\x98\x80");
  EXPECT_EQ(WideToMultiByte(CP_UTF8, std::u16string(1, char16_t(0xD800))), "?");
}

TEST(CodePage, DoubleBytePages) {
  // Shift-JIS: "日本" is 93 FA 96 7B; half-width katakana is single-byte.
  std::string sjis = "A\x93\xFA\x96\x7B\xB1";
  EXPECT_EQ(MultiByteToWide(932, sjis), u"A\u65E5\u672C\uFF71");
  EXPECT_EQ(WideToMultiByte(932, u"A\u65E5\u672C\uFF71"), sjis);
  // Character positions: stepping by CharNextEx visits each character's first byte.
  std::vector<size_t> starts;
  for (const char* p = sjis.data(); p < sjis.data() + sjis.size(); p = CharNextEx(932, p, sjis.data() + sjis.size()))
    starts.push_back(size_t(p - sjis.data()));
  EXPECT_EQ(starts, (std::vector<size_t>{0, 1, 3, 5}));
  // A lead byte at the end, or before a zero byte, stands alone.
  std::string tail = "a\x93";
  EXPECT_EQ(CharNextEx(932, tail.data() + 1, tail.data() + 2), tail.data() + 2);
  std::string zero("\x93\0b", 3);
  EXPECT_EQ(CharNextEx(932, zero.data(), zero.data() + 3), zero.data() + 1);
  EXPECT_EQ(MultiByteToWide(932, tail), u"a\uFFFD");
  EXPECT_TRUE(IsDBCSLeadByteEx(932, 0x81));
  EXPECT_FALSE(IsDBCSLeadByteEx(932, 0xA1));
  EXPECT_FALSE(IsDBCSLeadByteEx(1252, 0x81));
  EXPECT_TRUE(IsMultiByteCodePage(936));
  EXPECT_FALSE(IsMultiByteCodePage(1251));

  EXPECT_EQ(MultiByteToWide(936, "\xC4\xE3\xBA\xC3"), u"\u4F60\u597D");
  EXPECT_EQ(MultiByteToWide(949, "\xC7\xD1"), u"\uD55C");
  EXPECT_EQ(MultiByteToWide(950, "\xA4\xA4"), u"\u4E2D");
  EXPECT_EQ(WideToMultiByte(1361, MultiByteToWide(1361, "\x88\x61")), "\x88\x61");
}

TEST(CodePage, OemConversion) {
  EXPECT_EQ(OemToAnsi("\x82t\x82"), "\xE9t\xE9");  // é in 437 is 0x82
  EXPECT_EQ(AnsiToOem("\xE9"), "\x82");
  EXPECT_EQ(OemToAnsi("plain.txt"), "plain.txt");
}

TEST(CodePage, StatefulJapaneseEncodings) {
  EXPECT_EQ(MultiByteToWide(50220, "\x1B$B;z\x1B(B!"), u"\u5B57!");
  EXPECT_EQ(MultiByteToWide(51932, "\xBB\xFA"), u"\u5B57");
}

TEST(CodePage, PagesOfWebEncodings) {
  // One character each that tells the page apart from its neighbours.
  const struct {
    unsigned CodePage;
    const char* Bytes;
    std::u16string Text;
  } cases[] = {
      {20866, "\xC1\xE1", u"\u0430\u0410"},   // KOI8-R
      {21866, "\xA4\xB4", u"\u0454\u0404"},   // KOI8-U
      {866, "\x80\xE0", u"\u0410\u0440"},
      {28595, "\xB0", u"\u0410"},
      {28597, "\xE1", u"\u03B1"},
      {28605, "\xA4", u"\u20AC"},
      {28606, "\xAA", u"\u0218"},
      {10000, "\x8E", u"\u00E9"},
      {10007, "\x80", u"\u0410"},
      {51932, "\xA4\xA2\x8E\xB1\x8F\xB0\xA1", u"\u3042\uFF71\u4E02"},  // EUC-JP, two and three bytes
      {51949, "\xB0\xA1", u"\uAC00"},                                // EUC-KR
      {54936, "\xB0\xA1\x81\x30\x81\x30", u"\u554A\u0080"},          // GB18030, two and four bytes
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.CodePage);
    EXPECT_TRUE(IsCodePageSupported(c.CodePage));
    EXPECT_EQ(MultiByteToWide(c.CodePage, c.Bytes), c.Text);
    EXPECT_EQ(WideToMultiByte(c.CodePage, c.Text), c.Bytes);
  }
  EXPECT_EQ(MultiByteToWide(1200, std::string("A\0\x34\xD8\x1E\xDD", 6)), u"A\U0001D11E");
  EXPECT_EQ(MultiByteToWide(1201, std::string("\0A\xD8\x34\xDD\x1E", 6)), u"A\U0001D11E");
  EXPECT_TRUE(IsMultiByteCodePage(54936));
  EXPECT_FALSE(IsMultiByteCodePage(20866));
}

TEST(CodePage, CharacterSteppingOfWebEncodings) {
  auto steps = [](unsigned cp, std::string s) {
    std::vector<int> starts;
    for (const char* p = s.data(); p < s.data() + s.size(); p = CharNextEx(cp, p, s.data() + s.size()))
      starts.push_back(static_cast<int>(p - s.data()));
    return starts;
  };
  EXPECT_EQ(steps(51932, "a\xA4\xA2\x8E\xB1\x8F\xB0\xA1z"), (std::vector<int>{0, 1, 3, 5, 8}));
  EXPECT_EQ(steps(54936, "a\xB0\xA1\x81\x30\x81\x30z"), (std::vector<int>{0, 1, 3, 7}));
  EXPECT_EQ(steps(51949, "\xB0\xA1x"), (std::vector<int>{0, 2}));
  // Cut short at the end: never beyond it.
  EXPECT_EQ(steps(51932, "\x8F\xB0"), (std::vector<int>{0}));
  EXPECT_EQ(steps(54936, "\x81\x30\x81"), (std::vector<int>{0}));
}
