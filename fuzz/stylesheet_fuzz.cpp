// Style sheet text of any kind: parsed into a style list with the default sheet, then a few
// elements are combined against it so the cascade walks what the parser produced.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/Attributes.h"
#include "platform/Font.h"
#include "style/PropStack.h"
#include "style/StyleList.h"
#include "style/StyleParser.h"

using namespace korva;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  SetFixedFontMetrics(true);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  static const char* const bases[] = {"", "c:\\docs\\", "http://host/dir/", "file:///c|/x/"};
  const char* base = bases[data[0] & 3];
  std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

  TStyleList styles;
  styles.Initialize(TStyleDefaults{});
  styles.SetMediaEnv({(data[0] & 8) ? 500 : 1200, 700, false});
  // Every import reads the sheet itself again: cycles and depth are the parser's to bound.
  std::string self(text);
  styles.SetImportFetcher([&](const std::string&, std::string& out) {
    out = self;
    return true;
  });
  TStringStyleSource source(text);
  char ch = (data[0] & 4) ? '>' : ' ';
  ParseStyleSheet(styles, ch, source, base);
  if (ch != '<' && ch != StyleEofChar) __builtin_trap();

  TPropStack stack;
  stack.Reset(*styles.DefaultProps());
  auto inlineStyle = std::make_shared<TProperties>();
  ParseInlineStyle(text.substr(0, 200), *inlineStyle);
  TAttributeList attrs;
  attrs.Add(syUnknownAttr, "TITLE", 0, "a b");
  attrs.Add(syUnknownAttr, "LANG", 0, "en-GB");
  stack.PushElement(styles, "html", {}, {}, nullptr, {}, {});
  stack.PushElement(styles, "body", {}, {}, nullptr, {}, {});
  stack.PushElement(styles, "h1", "a b", {}, nullptr, {}, {}, &attrs);
  stack.PopElement(styles, "h1");
  stack.PushElement(styles, "div", "note", "x", inlineStyle, "t", {}, &attrs);
  stack.PushElement(styles, "span", {}, {}, nullptr, {}, {});
  stack.PopElement(styles, "span");
  stack.PushElement(styles, "span", "x y", {}, nullptr, {}, {}, &attrs);
  stack.PushElement(styles, "a", "note", {}, nullptr, {}, "link").BuildFont();
  stack.PushElement(styles, "p", "c", "y", nullptr, {}, {}).BuildFont();
  stack.PopElement(styles, "div");
  styles.SetMediaEnv({320, 900, false});
  stack.PushElement(styles, "p", "c", "y", nullptr, {}, {}, &attrs);
  (void)styles.WidthBreakpoints();
  TVMarginArray m;
  stack.Last().GetVerticalBox(m);
  TBoxValues r;
  int autos;
  ResolveBlockBox(m, 500, 400, 16, 8, r, autos);
  return 0;
}
