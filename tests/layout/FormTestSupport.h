// Form tests: a document whose host records submissions and form events, a paragraph section
// to put controls in as the builder does (element style pushed, control added, style taken,
// popped), and attribute lists written as (symbol, name, text) triples.
#pragma once

#include <charconv>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "LayoutFixture.h"
#include "core/Attributes.h"
#include "layout/FormControl.h"
#include "layout/ImageObj.h"
#include "layout/Section.h"

namespace korva::test {

struct TAttr {
  TSymbol Symbol;
  std::string Name;  // upper case, as the reader gives it
  std::string Text;
};

inline std::unique_ptr<TAttributeList> FormAttrs(std::initializer_list<TAttr> items) {
  auto list = std::make_unique<TAttributeList>();
  for (const TAttr& a : items) {
    int value = 0;
    std::from_chars(a.Text.data(), a.Text.data() + a.Text.size(), value);
    list->Add(a.Symbol, a.Name, value, a.Text);
  }
  return list;
}

inline THeadlessControl& Native(TFormControlObj* c) { return *static_cast<THeadlessControl*>(c->Control()); }
// The advance of a character and the text height in a control's font (fixed metrics).
inline int CharW(TFormControlObj* c, char16_t ch = u'0') { return Native(c).Font()->CharWidth(ch); }
inline int TextH(TFormControlObj* c) { return Native(c).Font()->Metrics().Height; }

struct TFormFixture : TLayoutFixture {
  struct TSubmission {
    std::string Action, Method;
    std::vector<std::string> Items;
  };
  std::vector<TSubmission> Submitted;
  std::vector<std::string> Events;  // "focus f()", "blur b()", "change c()", "click k()"
  ThtmlForm* Form = nullptr;        // the builder's current form (null: outside any FORM)
  TSection* Sec = nullptr;          // the open paragraph
  std::vector<std::unique_ptr<TAttributeList>> Kept;

  TFormFixture() {
    Host.OnFormSubmit = [this](const std::string& action, const std::string&, const std::string&,
                               const std::string& method, const std::vector<std::string>& items) {
      Submitted.push_back({action, method, items});
    };
    auto record = [this](const char* what) {
      return [this, what](TFormControlObj&, const std::string& script) { Events.push_back(std::string(what) + " " + script); };
    };
    Host.OnObjectFocus = record("focus");
    Host.OnObjectBlur = record("blur");
    Host.OnObjectChange = record("change");
    Host.OnObjectClick = record("click");
  }

  // A FORM element's form becomes the current one.
  ThtmlForm* OpenForm(std::initializer_list<TAttr> attrs = {}) {
    Kept.push_back(FormAttrs(attrs));
    Form = NewHtmlForm(Doc, Kept.back().get());
    return Form;
  }
  void OpenParagraph(std::string_view style = {}) {
    TProperties& p = Push("p", style);
    auto s = std::make_unique<TSection>(&Doc, nullptr, p, true, nullptr);
    Sec = s.get();
    FOpen = std::move(s);
  }
  void Text(std::u16string_view text) {
    TokenObj t;
    for (char16_t c : text) t.AddUnicodeChar(c, FPos++);
    Sec->AddTokenObj(t);
  }
  // An INPUT, SELECT or TEXTAREA in the open paragraph (one is opened when there is none);
  // options and text lines are added before the style is taken, as the builder does.
  TFormControlObj* Add(TSymbol which, std::initializer_list<TAttr> attrs, std::string_view style = {},
                       std::vector<std::pair<std::string, bool>> options = {}, std::vector<std::string> lines = {}) {
    if (!Sec) OpenParagraph();
    const char* tag = which == sySelect ? "select" : which == syTextarea ? "textarea" : "input";
    Push(tag, style);
    Kept.push_back(FormAttrs(attrs));
    TFormControlObj* c = Sec->AddFormControl(which, *Kept.back(), Top(), Form, nullptr, FPos++);
    if (auto* list = dynamic_cast<TListBoxFormControlObj*>(c)) {
      for (const auto& [text, selected] : options) list->AddStr(text, selected, {}, 1252);
      list->DoneAdding();
    }
    if (auto* area = dynamic_cast<TTextAreaFormControlObj*>(c)) {
      for (const std::string& line : lines) area->AddLine(line);
      area->DoneAdding();
    }
    if (c) c->TakeStyle(Top());
    Pop(tag);
    return c;
  }
  // Finishes the paragraph into the document.
  void CloseParagraph() {
    if (!Sec) return;
    Sec->Finish();
    Pop("p");
    Doc.AddSection(std::move(FOpen));
    Sec = nullptr;
  }
  std::string LayoutAt(int width) {
    CloseParagraph();
    return Layout(width);
  }
  // Items of the last submission; empty when there was none.
  std::vector<std::string> LastItems() const { return Submitted.empty() ? std::vector<std::string>{} : Submitted.back().Items; }

 private:
  std::unique_ptr<TSection> FOpen;
  int FPos = 0;
};

}  // namespace korva::test
