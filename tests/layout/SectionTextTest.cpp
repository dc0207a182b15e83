// A section's compact text: one byte per character while every character has one, UTF-16
// after, and the same layout and drawing either way.
#include <gtest/gtest.h>

#include "LayoutFixture.h"
#include "TextTestUtil.h"
#include "layout/DocumentStore.h"
#include "layout/SectionText.h"
#include "platform/CodePage.h"

namespace korva::test {
namespace {

std::u16string Chars(const TSectionText& t) {
  std::u16string out;
  for (int i = 0; i < t.Size(); ++i) out.push_back(t[i]);
  return out;
}

// The one-byte form is Windows-1252 (holes as themselves), and exactly the characters it can
// show are kept narrow, each coming back as it went in.
TEST(SectionTextTest, OneByteFormIsWindows1252) {
  std::string all(256, '\0');
  for (int b = 0; b < 256; ++b) all[std::size_t(b)] = char(b);
  const std::u16string wide = MultiByteToWide(1252, all);
  ASSERT_EQ(256u, wide.size());
  for (int b = 0; b < 256; ++b) EXPECT_EQ(wide[std::size_t(b)], TSectionText::Decode(std::uint8_t(b))) << b;

  int narrow = 0;
  for (int c = 0; c < 0x10000; ++c) {
    const int code = TSectionText::Encode(char16_t(c));
    if (code < 0) continue;
    ++narrow;
    EXPECT_EQ(char16_t(c), TSectionText::Decode(std::uint8_t(code))) << c;
  }
  EXPECT_EQ(256, narrow);
}

// Growth from the inline form to a block, widening for a character without a byte, replacing,
// truncating and shrinking back to one byte per character once that character is gone.
TEST(SectionTextTest, GrowsWidensAndNarrowsWithoutLosingCharacters) {
  TSectionText t;
  EXPECT_TRUE(t.Empty());
  std::u16string expected;
  for (char16_t c : std::u16string(u"abc\u201Cd\u00E9\u2014")) {  // seven, all with a byte
    t.Append(c);
    expected.push_back(c);
  }
  EXPECT_EQ(0u, t.CapacityBytes());  // still inside the object
  EXPECT_EQ(expected, Chars(t));
  for (int i = 0; i < 40; ++i) {
    t.Append(char16_t(u'a' + i % 26));
    expected.push_back(char16_t(u'a' + i % 26));
  }
  EXPECT_FALSE(t.Wide());
  EXPECT_EQ(expected, Chars(t));

  t.Append(u'\u4E2D');  // no byte: everything widens
  expected.push_back(u'\u4E2D');
  EXPECT_TRUE(t.Wide());
  EXPECT_EQ(expected, Chars(t));
  EXPECT_EQ(expected, t.String());
  EXPECT_EQ(expected.substr(3, 5), t.String(3, 5));

  TSectionText copy(t);
  t.Set(0, u'Z');
  EXPECT_EQ(expected, copy.String());  // copies are independent
  expected[0] = u'Z';
  EXPECT_EQ(expected, t.String());

  t.Truncate(int(expected.size()) - 1);  // the wide character goes
  expected.pop_back();
  t.ShrinkToFit();
  EXPECT_FALSE(t.Wide());
  EXPECT_EQ(expected, t.String());
  EXPECT_LT(t.CapacityBytes(), expected.size() + 16);

  t.Truncate(3);
  t.ShrinkToFit();
  EXPECT_EQ(u"Zbc", t.String());
  EXPECT_EQ(0u, t.CapacityBytes());

  TSectionText moved(std::move(t));
  EXPECT_EQ(u"Zbc", moved.String());
  EXPECT_TRUE(t.Empty());  // NOLINT(bugprone-use-after-move): a moved-from text is empty
  moved.Set(1, u'\u0416');  // inline text widens when a replacement has no byte
  EXPECT_TRUE(moved.Wide());
  EXPECT_EQ(u"Z\u0416c", moved.String());
}

// Appending many characters at once and dropping characters keep the same text as doing it one
// by one, in each form: inline, one byte per character, and wide (a batch that holds a
// character without a byte widens everything before it too).
TEST(SectionTextTest, BatchAppendAndCompactMatchOneByOne) {
  const std::u16string batches[] = {u"ab", u"cdefgh", u"\u2014ijk", u"x", u"", u"lmnopqrstuvwxyz0123", u"\u4E2Dz",
                                    u"tail"};
  TSectionText batched, single;
  std::u16string expected;
  for (const std::u16string& b : batches) {
    batched.Append(b.data(), int(b.size()));
    for (char16_t c : b) single.Append(c);
    expected += b;
    ASSERT_EQ(expected, batched.String()) << std::string(b.begin(), b.end());
    EXPECT_EQ(single.Wide(), batched.Wide());
    EXPECT_EQ(expected, single.String());
  }
  EXPECT_TRUE(batched.Wide());

  // Every third character dropped, in the wide, narrow and inline forms.
  auto compacted = [](const std::u16string& text) {
    std::u16string out;
    for (std::size_t i = 0; i < text.size(); ++i)
      if (i % 3 != 1) out.push_back(text[i]);
    return out;
  };
  auto keepOf = [](int n) {
    std::string keep(std::size_t(n), 1);
    for (int i = 1; i < n; i += 3) keep[std::size_t(i)] = 0;
    return keep;
  };
  for (const std::u16string& text : {expected, std::u16string(u"narrow text of \u00E9 twenty"), std::u16string(u"in\u2019line")}) {
    TSectionText t;
    t.Append(text.data(), int(text.size()));
    const std::string keep = keepOf(int(text.size()));
    t.Compact(keep.data());
    EXPECT_EQ(compacted(text), t.String());
    t.ShrinkToFit();
    EXPECT_EQ(compacted(text), t.String());
  }
  TSectionText t;
  t.Append(u"ab", 2);
  const std::string none(2, 0);
  t.Compact(none.data());
  EXPECT_TRUE(t.Empty());
}

// Text moved into a document's store reads as before, in both widths; changing it afterwards
// copies it back to the heap first, so the store is never written and the change sticks; a copy
// owns its characters; and text whose store is gone can still be destroyed.
TEST(SectionTextTest, StoredTextReadsAndChangesLikeHeapText) {
  auto store = std::make_unique<TDocumentStore>();
  const std::u16string narrow = u"stored text of some length";
  const std::u16string wide = u"wide \u4E2D text of some length";
  for (const std::u16string& text : {narrow, wide}) {
    TSectionText t;
    t.Append(text.data(), int(text.size()));
    t.ShrinkToFit();
    t.MoveTo(*store);
    EXPECT_GT(store->Bytes(), 0u);
    EXPECT_EQ(text, Chars(t));
    EXPECT_EQ(text == wide, t.Wide());
    EXPECT_EQ(text, TSectionText(t).String());
    // Stored, the text keeps one word of size before its characters.
    EXPECT_EQ(4 + text.size() * (text == wide ? 2 : 1), t.CapacityBytes());
    t.ShrinkToFit();
    EXPECT_EQ(text, t.String());

    TSectionText grown(t);
    grown.MoveTo(*store);
    grown.Append(u'!');
    grown.Append(u"?!", 2);
    EXPECT_EQ(text + u"!?!", grown.String());

    TSectionText changed(t);
    changed.MoveTo(*store);
    changed.Set(0, u'S');
    changed.Append(u'!');
    EXPECT_EQ(u'S' + text.substr(1) + u'!', changed.String());
    EXPECT_EQ(text, t.String()) << "the stored original is untouched";

    TSectionText cut(t);
    cut.MoveTo(*store);
    cut.Truncate(6);
    EXPECT_EQ(text.substr(0, 6), cut.String());
    EXPECT_EQ(text, t.String());
  }
  TSectionText orphan;
  orphan.Append(narrow.data(), int(narrow.size()));
  orphan.MoveTo(*store);
  store.reset();  // the text must not touch its store when it goes
}

// A UTF-16 piece of narrow text, short or longer than the in-place buffer, and of wide text.
TEST(SectionTextTest, PiecesGiveTheCharactersAsUtf16) {
  TSectionText narrow, wide;
  std::u16string n, w;
  for (int i = 0; i < 700; ++i) {
    const char16_t c = i % 7 == 6 ? u'\u2019' : char16_t(u'a' + i % 26);
    narrow.Append(c);
    n.push_back(c);
    wide.Append(i == 0 ? u'\u0100' : c);
    w.push_back(i == 0 ? u'\u0100' : c);
  }
  for (auto [pos, len] : {std::pair{0, 5}, std::pair{10, 256}, std::pair{3, 600}}) {
    TUtf16Piece a(narrow, pos, len), b(wide, pos, len);
    EXPECT_EQ(n.substr(std::size_t(pos), std::size_t(len)), std::u16string(a.Data(), std::size_t(len)));
    EXPECT_EQ(w.substr(std::size_t(pos), std::size_t(len)), std::u16string(b.Data(), std::size_t(len)));
  }
}

// Narrow text is measured and fitted in pieces: long paragraphs, unbreakable runs and
// preformatted lines longer than a piece break and draw exactly as the same text held wide
// (one character swapped for a wide one of the same fixed width).
TEST(SectionTextTest, NarrowAndWideTextLayOutAlike) {
  std::u16string words;
  for (int i = 0; words.size() < 1500; ++i) words += (i % 5 == 0 ? u"paragraph" : u"ab") + std::u16string(u" ");
  const std::u16string unbroken(900, u'm');
  for (const std::u16string& text : {words, unbroken}) {
    for (bool pre : {false, true}) {
      std::string dumps[2], draws[2];
      for (int k = 0; k < 2; ++k) {
        TLayoutFixture f;
        std::u16string t = text;
        if (k == 1) t[1] = u'\u0101';  // forces UTF-16 storage
        else t[1] = u'\u00E1';
        TSection* s = AddParagraph(f, t, pre ? "white-space: pre" : "");
        EXPECT_EQ(k == 1, s->Text()[1] == u'\u0101');
        dumps[k] = f.Layout(pre ? 3000 : 500);
        draws[k] = f.Draw();
      }
      auto same = [](std::string a) {
        for (std::size_t p; (p = a.find("\u0101")) != std::string::npos;) a.replace(p, 2, "\u00E1");
        return a;
      };
      EXPECT_EQ(dumps[0], same(dumps[1]));
      EXPECT_EQ(draws[0], same(draws[1]));
      EXPECT_NE(std::string::npos, dumps[0].find("line")) << dumps[0];
    }
  }
}

}  // namespace
}  // namespace korva::test
