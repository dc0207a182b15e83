// Shared set-up of the style tests: fixed font metrics, a GUI application for the fonts, and
// a helper that builds a style list with the default sheet.
#pragma once

#include <memory>
#include <string>

#include "style/PropStack.h"
#include "style/StyleList.h"
#include "style/StyleParser.h"

namespace korva::test {

inline std::unique_ptr<TStyleList> DefaultStyles(int fontSize = 12, TStyleListDocument* doc = nullptr) {
  auto styles = std::make_unique<TStyleList>(doc);
  TStyleDefaults d;
  d.FontSize = fontSize;
  styles->Initialize(d);
  return styles;
}

inline std::unique_ptr<TStyleList> StylesWith(const std::string& sheet, std::string_view base = {}) {
  auto styles = DefaultStyles();
  ParseStyleText(*styles, sheet, base);
  return styles;
}

// A stack holding the default entry; elements are pushed with Push.
struct TElementStack {
  TStyleList& Styles;
  TPropStack Stack;
  explicit TElementStack(TStyleList& styles) : Styles(styles) { Stack.Reset(*styles.DefaultProps()); }
  TProperties& Push(std::string_view tag, std::string_view cls = {}, std::string_view id = {},
                    std::string_view pseudo = {}, std::shared_ptr<const TProperties> inlineStyle = nullptr,
                    std::string_view title = {}) {
    return Stack.PushElement(Styles, tag, cls, id, std::move(inlineStyle), title, pseudo);
  }
};

}  // namespace korva::test
