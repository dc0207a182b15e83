// The cascade remembers what the rules give each element identity and reuses the sets it pops;
// neither may change a result.
#include <gtest/gtest.h>

#include <string>

#include "StyleTestEnv.h"
#include "style/StyleLimits.h"

using namespace korva;
using namespace korva::test;

namespace {

TColor ColorOf(const TProperties& p) { return TColor(p.Value(piColor).Int()); }

}  // namespace

TEST(CascadeMemo, IdentitiesThatShareTheirCharactersStayApart) {
  auto styles = StylesWith(".x { color: red } #x { color: lime } .xy { color: blue } p#y { color: yellow }");
  TElementStack s(*styles);
  s.Push("body");
  struct TCase {
    const char* Tag;
    std::string Class, Id;
    TColor Color;
  };
  const TCase cases[] = {
      {"p", "x", "", 0xFFu},                     // .x
      {"p", "", "x", 0x00FF00u},                 // #x
      {"p", "xy", "", 0xFF0000u},                // .xy, not .x
      {"p", "x", "y", 0x00FFFFu},                // p#y after .x
      // Pieces holding the character a key might separate them with.
      {"p", "x", std::string("\0", 1), 0xFFu},
      {"p", std::string("x\0", 2), "", 0u},
  };
  for (int round = 0; round < 2; ++round)  // the second round is answered from memory
    for (const TCase& c : cases) {
      TProperties& p = s.Push(c.Tag, c.Class, c.Id);
      EXPECT_EQ(p.Value(piColor).IsInt() ? ColorOf(p) : 0u, c.Color) << c.Class << "/" << c.Id << " " << round;
      s.Stack.PopElement(*styles, c.Tag);
    }
}

TEST(CascadeMemo, RulesAddedLaterApplyToIdentitiesSeenBefore) {
  auto styles = StylesWith("p.note { margin-left: 3px }");
  TElementStack s(*styles);
  s.Push("body");
  EXPECT_EQ(s.Push("p", "note").Value(piMarginLeft), TPropValue("3px"));
  s.Stack.PopElement(*styles, "p");
  ParseStyleText(*styles, ".note { color: red } body p.note { margin-top: 2px }", {});
  TProperties& p = s.Push("p", "note");
  EXPECT_EQ(ColorOf(p), 0xFFu);
  EXPECT_EQ(p.Value(piMarginTop), TPropValue("2px"));
  EXPECT_EQ(p.Value(piMarginLeft), TPropValue("3px"));
}

TEST(CascadeMemo, LongIdentitiesStillMatch) {
  const std::string longClass(MaxRememberedIdentityBytes + 50, 'k');
  auto styles = StylesWith("." + longClass + " { color: red } div ." + longClass + " { margin-left: 4px }");
  TElementStack s(*styles);
  s.Push("div");
  for (int round = 0; round < 2; ++round) {
    TProperties& p = s.Push("span", longClass);
    EXPECT_EQ(ColorOf(p), 0xFFu) << round;
    EXPECT_EQ(p.Value(piMarginLeft), TPropValue("4px")) << round;
    s.Stack.PopElement(*styles, "span");
  }
}

TEST(CascadeMemo, UnderALinkEachRuleChangesTheFontsInTurn) {
  // Each rule changes the link fonts as it is merged: the underline the first rule gives
  // stays, since "overline" is no word the fonts know and clears nothing.
  auto styles =
      StylesWith("a { text-decoration: none } .u { text-decoration: underline } b.u { text-decoration: overline }");
  TElementStack s(*styles);
  s.Push("body");
  TProperties& link = s.Push("a", {}, {}, "link");
  ASSERT_TRUE(link.FHasLinkFonts);
  for (const ThtFontInfo& f : link.FLinkFonts->Ar) ASSERT_FALSE(f.Style & fsUnderline);
  TProperties& b = s.Push("b", "u");
  EXPECT_EQ(b.Value(piTextDecoration), TPropValue("overline"));
  ASSERT_TRUE(b.FLinkFonts);
  for (const ThtFontInfo& f : b.FLinkFonts->Ar) EXPECT_TRUE(f.Style & fsUnderline);
}

TEST(CascadeMemo, ARecycledSetIsAsNew) {
  auto styles = StylesWith("a { color: red; margin-left: 5px; z-index: 3 } .c { display: none }");
  TElementStack s(*styles);
  s.Push("body");
  s.Push("div", "c", "id1", {}, nullptr, "a title");
  TProperties& link = s.Push("a", "c", {}, "link");
  ASSERT_TRUE(link.FLinkFonts);
  link.SetCharsetCode(EASTEUROPE_CHARSET);
  link.SetTextBackColor();
  const int serial = link.FSerial;
  s.Stack.Recycle(s.Stack.PopElement(*styles, "a"));
  s.Stack.Recycle(s.Stack.PopElement(*styles, "div"));

  std::unique_ptr<TProperties> reused = s.Stack.NewSet();
  TProperties fresh;
  EXPECT_GT(reused->FSerial, serial);
  EXPECT_EQ(reused->FSerial + 1, fresh.FSerial);
  for (int i = 0; i < PropCount; ++i) {
    EXPECT_EQ(reused->Value(i), fresh.Value(i)) << i;
    EXPECT_FALSE(reused->FLocalFlags[std::size_t(i)]) << i;
  }
  EXPECT_TRUE(reused->FTagName.empty() && reused->FClassName.empty() && reused->FIdName.empty());
  EXPECT_TRUE(reused->FPseudoClass.empty() && reused->FTitleText.empty());
  EXPECT_FALSE(reused->FHasOwnTitle || reused->FHasLinkFonts || reused->FLinkFonts || reused->FInlineStyle);
  EXPECT_EQ(reused->FCharsetCode, fresh.FCharsetCode);
  EXPECT_EQ(reused->FTextBackColor, clNone);
  EXPECT_EQ(reused->FSelfBloom.W, fresh.FSelfBloom.W);

  // Pushed again, a recycled set gives what a new one gives: nothing of the link stays.
  s.Stack.Recycle(std::move(reused));
  TProperties& span = s.Push("span");
  EXPECT_FALSE(span.FHasLinkFonts);
  EXPECT_EQ(span.Value(piMarginLeft), TPropValue(NotSetValue));
  EXPECT_EQ(span.Value(piZIndex), TPropValue(0));
  EXPECT_EQ(span.FCharsetCode, s.Stack[1].FCharsetCode);
  EXPECT_FALSE(span.DisplayNone());
}
