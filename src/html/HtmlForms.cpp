// Form controls: INPUT, SELECT with its options, TEXTAREA.
#include <string>
#include <vector>

#include "html/HtmlBuilder.h"
#include "html/HtmlBuilderSets.h"
#include "layout/FormControl.h"
#include "layout/Section.h"
#include "layout/SectionList.h"
#include "platform/CodePage.h"
#include "style/PropStack.h"

namespace korva {

namespace {

// What ends the options of a SELECT whose end tag is missing.
constexpr TSymbolSet OptionsEndSet{syP,   syEndTable, syTd,  syEndTd,      syTr,    syEndTr,    syTh,  syEndTh,
                                   syCaption, syEndCaption, syInput, syEndSelect, syCol, syColgroup};

std::string TrimSpaces(const std::string& s) {
  std::size_t a = s.find_first_not_of(' ');
  if (a == std::string::npos) return {};
  std::size_t b = s.find_last_not_of(' ');
  return s.substr(a, b - a + 1);
}

}  // namespace

bool TDocumentBuilder::FormControlProduction(const TSymbolSet& term) {
  (void)term;
  const TSymbol sy = R->Sy();
  EnsureSection();
  const std::string tag = TagNameOf(sy);
  const bool pushed = CanNest();
  if (pushed) Push(tag, true);
  TFormControlObj* control =
      FSection->AddFormControl(sy, R->Attributes(), Top(), FForm, FCell, R->TagPos());
  bool readOn = true;
  if (sy == syTextarea) {
    auto* area = dynamic_cast<TTextAreaFormControlObj*>(control);
    R->ReadTextArea([&](const std::string& text) {
      if (area) area->AddLine(text);
    });
    if (area) area->DoneAdding();
  } else if (sy == sySelect) {
    ReadOptions(dynamic_cast<TListBoxFormControlObj*>(control));
    // The end tag is the caller's to read past; any other symbol that ended the options stays.
    readOn = R->Sy() == syEndSelect;
  }
  if (control) control->TakeStyle(Top());
  if (pushed) Pop(tag);
  return readOn;
}

void TDocumentBuilder::ReadOptions(TListBoxFormControlObj* control) {
  const bool savedNoBreak = FNoBreak;
  FNoBreak = false;
  bool open = false, selected = false;
  std::string text;
  std::vector<std::string> attributes;
  const unsigned codePage = R->CodePage();
  auto finish = [&] {
    if (!open) return;
    if (control) control->AddStr(TrimSpaces(text), selected, attributes, R->CodePage());
    open = false;
    text.clear();
    attributes.clear();
  };
  R->Next();
  while (R->Sy() != syEof && !OptionsEndSet.Contains(R->Sy())) {
    switch (R->Sy()) {
      case syText:
        if (open && text.size() < MaxOptionTextBytes) text += WideToMultiByte(codePage, R->Token().S());
        break;
      case syOption:
        finish();
        open = true;
        selected = R->Attributes().Find(sySelected) != nullptr;
        attributes = R->Attributes().AsStringList();
        break;
      case syEndOption:
        finish();
        break;
      default:
        break;
    }
    R->Next();
  }
  finish();
  if (control) control->DoneAdding();
  FNoBreak = savedNoBreak;
}

}  // namespace korva
