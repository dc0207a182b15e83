#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/TokenObj.h"

using namespace korva;

namespace {

// Gathers bytes at positions 100, 101, ... and decodes them.
TokenObj& Decode(TokenObj& t, const std::string& bytes, unsigned codePage) {
  TCharCollection c;
  for (std::size_t i = 0; i < bytes.size(); ++i) c.Add(static_cast<unsigned char>(bytes[i]), 100 + int(i));
  t.AddString(c, codePage);
  return t;
}

std::vector<int> PositionsOf(const TokenObj& t) {
  return std::vector<int>(t.Positions(), t.Positions() + t.Count());
}

}  // namespace

TEST(TCharCollection, GrowsKeepsPositionsAndConcats) {
  TCharCollection a;
  for (int i = 0; i < 1000; ++i) a.Add(static_cast<unsigned char>('a' + i % 26), i * 2);
  ASSERT_EQ(a.Count(), 1000);
  EXPECT_EQ(a.Positions()[999], 1998);
  EXPECT_EQ(a.AsString().substr(0, 3), "abc");

  TCharCollection b;
  b.AddRun("xyz", 3, 7);
  a.Concat(b);
  ASSERT_EQ(a.Count(), 1003);
  EXPECT_EQ(a.AsString().substr(1000), "xyz");
  EXPECT_EQ(a.Positions()[1002], 9);

  a.Clear();
  EXPECT_EQ(a.Count(), 0);
  EXPECT_EQ(a.AsString(), "");
  a.Add('q', 5);
  EXPECT_EQ(a.AsString(), "q");
}

TEST(TokenObj, SingleByteCodePagesMapEveryByteToItsOwnPosition) {
  TokenObj t;
  Decode(t, "a\x96\x80z", 1252);
  EXPECT_EQ(t.S(), u"a\u2013\u20ACz");
  EXPECT_EQ(PositionsOf(t), (std::vector<int>{100, 101, 102, 103}));

  TokenObj r;
  Decode(r, "\xC0\xFF", 1251);
  EXPECT_EQ(r.S(), u"\u0410\u044F");
}

TEST(TokenObj, Utf8CharactersTakeThePositionOfTheirFirstByte) {
  TokenObj t;
  // a, e-acute (2 bytes), euro (3 bytes), U+1F600 (4 bytes, a surrogate pair), b
  Decode(t, "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80" "b", 65001);
  EXPECT_EQ(t.S(), u"a\u00E9\u20AC\U0001F600b");
  EXPECT_EQ(PositionsOf(t), (std::vector<int>{100, 101, 103, 106, 106, 110}));
}

TEST(TokenObj, InvalidUtf8BecomesOneReplacementPerByte) {
  TokenObj t;
  Decode(t, "x\xC3(\xE2\x82y\xFF", 65001);
  EXPECT_EQ(t.S(), u"x\uFFFD(\uFFFD\uFFFDy\uFFFD");
  EXPECT_EQ(PositionsOf(t), (std::vector<int>{100, 101, 102, 103, 104, 105, 106}));
}

TEST(TokenObj, DoubleBytePositionsFollowCharacterSteps) {
  TokenObj t;
  // Shift-JIS: a, HIRAGANA A (82 A0), b, KATAKANA A (83 41), c
  Decode(t, "a\x82\xA0" "b\x83\x41" "c", 932);
  EXPECT_EQ(t.S(), u"a\u3042b\u30A2c");
  EXPECT_EQ(PositionsOf(t), (std::vector<int>{100, 101, 103, 104, 106}));
}

TEST(TokenObj, DoubleByteInvalidSequencesKeepExactPositions) {
  TokenObj t;
  // A lead byte at the end stands alone.
  Decode(t, "ab\x82", 932);
  ASSERT_EQ(t.Count(), 3);
  EXPECT_EQ(t.S()[2], u'\uFFFD');
  EXPECT_EQ(PositionsOf(t), (std::vector<int>{100, 101, 102}));
}

TEST(TokenObj, AppendsInOrderAndCachesTheString) {
  TokenObj t;
  t.AddUnicodeChar(u'x', 1);
  EXPECT_EQ(t.S(), u"x");
  Decode(t, "yz", 1252);
  EXPECT_EQ(t.S(), u"xyz");  // the cache follows appends
  t.AddUnicodeChar(u'!', 9);
  EXPECT_EQ(t.S(), u"xyz!");
  EXPECT_EQ(t.Leng(), 4);
  t.Clear();
  EXPECT_EQ(t.Count(), 0);
  EXPECT_EQ(t.S(), u"");

  // Far beyond the initial capacity.
  std::string big(100000, 'k');
  Decode(t, big, 1252);
  EXPECT_EQ(t.Count(), 100000);
  EXPECT_EQ(t.Positions()[99999], 100099);

  TokenObj u;
  u.AddUnicodeChar(u'<', 0);
  u.Concat(t);
  EXPECT_EQ(u.Count(), 100001);
  EXPECT_EQ(u.Positions()[1], 100);
}

TEST(TokenObj, UnsupportedCodePageFallsBackToTheSystemPage) {
  TokenObj t;
  Decode(t, "A\x80", 12345);
  EXPECT_EQ(t.S(), u"A\u20AC");
}
