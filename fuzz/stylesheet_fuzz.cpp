// Style sheet text of any kind: parsed into a style list with the default sheet, then a few
// elements are combined against it so the cascade walks what the parser produced.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

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
  TStringStyleSource source(text);
  char ch = (data[0] & 4) ? '>' : ' ';
  ParseStyleSheet(styles, ch, source, base);
  if (ch != '<' && ch != StyleEofChar) __builtin_trap();

  TPropStack stack;
  stack.Reset(*styles.DefaultProps());
  auto inlineStyle = std::make_shared<TProperties>();
  ParseInlineStyle(text.substr(0, 200), *inlineStyle);
  stack.PushElement(styles, "body", {}, {}, nullptr, {}, {});
  stack.PushElement(styles, "div", "note", "x", inlineStyle, "t", {});
  stack.PushElement(styles, "span", {}, {}, nullptr, {}, {});
  stack.PushElement(styles, "a", "note", {}, nullptr, {}, "link").BuildFont();
  stack.PushElement(styles, "p", "c", "y", nullptr, {}, {}).BuildFont();
  stack.PopElement(styles, "div");
  TVMarginArray m;
  stack.Last().GetVerticalBox(m);
  TBoxValues r;
  int autos;
  ResolveBlockBox(m, 500, 400, 16, 8, r, autos);
  return 0;
}
