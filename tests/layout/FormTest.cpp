// Forms: which controls an element makes, what they submit, radio groups, keys, events, reset
// and values set from outside.
#include <gtest/gtest.h>

#include "FormTestSupport.h"

namespace korva::test {
namespace {

using Items = std::vector<std::string>;

TEST(FormTest, ControlsOutsideAnyFormShareAnImplicitForm) {
  TFormFixture f;
  TFormControlObj* q = f.Add(syInput, {{syName, "NAME", "q"}, {syValue, "VALUE", "hello"}});
  TFormControlObj* r = f.Add(syInput, {{syName, "NAME", "r"}, {syValue, "VALUE", "x"}});
  ASSERT_NE(f.Form, nullptr);
  EXPECT_TRUE(f.Form->Implicit);
  EXPECT_EQ(q->MasterList, r->MasterList);
  EXPECT_EQ(f.Doc.FHtmlFormList.size(), 1u);
  EXPECT_EQ(f.Doc.FFormControlList.size(), 2u);

  EXPECT_TRUE(Native(q).PressEnter());
  ASSERT_EQ(f.Submitted.size(), 1u);
  EXPECT_EQ(f.LastItems(), (Items{"q=hello", "r=x"}));
  EXPECT_EQ(f.Submitted[0].Method, "Get");
}

TEST(FormTest, FormAttributes) {
  TFormFixture f;
  f.OpenForm({{syMethod, "METHOD", "POSTED"}, {syAction, "ACTION", "/go"}});
  TFormControlObj* e = f.Add(syInput, {{syName, "NAME", "a"}});
  Native(e).PressEnter();
  ASSERT_EQ(f.Submitted.size(), 1u);
  EXPECT_EQ(f.Submitted[0].Action, "/go");
  EXPECT_EQ(f.Submitted[0].Method, "POST");  // a method is kept to four characters
}

TEST(FormTest, EnterSubmitsWithoutButtonAndTheButtonItemComesLast) {
  TFormFixture f;
  f.OpenForm();
  TFormControlObj* go = f.Add(syInput, {{syType, "TYPE", "submit"}, {syName, "NAME", "go"}, {syValue, "VALUE", "Go"}});
  TFormControlObj* a = f.Add(syInput, {{syName, "NAME", "a"}, {syValue, "VALUE", "1"}});
  f.Add(syInput, {{syType, "TYPE", "hidden"}, {syName, "NAME", "h"}, {syValue, "VALUE", "v"}});
  Native(a).Type(u"typed");

  EXPECT_TRUE(Native(a).PressEnter());
  EXPECT_EQ(f.LastItems(), (Items{"a=typed", "h=v"}));
  Native(go).Click();
  EXPECT_EQ(f.LastItems(), (Items{"a=typed", "h=v", "go=Go"}));
  // A submit button without a name adds nothing; a plain button does not submit.
  TFormControlObj* anon = f.Add(syInput, {{syType, "TYPE", "submit"}});
  TFormControlObj* plain = f.Add(syInput, {{syType, "TYPE", "button"}, {syName, "NAME", "b"}});
  Native(anon).Click();
  EXPECT_EQ(f.LastItems(), (Items{"a=typed", "h=v"}));
  const std::size_t count = f.Submitted.size();
  Native(plain).Click();
  EXPECT_EQ(f.Submitted.size(), count);
}

TEST(FormTest, DefaultCaptionsAndValues) {
  TFormFixture f;
  struct {
    const char* type;
    std::u16string caption;
  } cases[] = {{"submit", u"Submit"}, {"reset", u"Reset"}, {"button", u"Button"}, {"BUTTON", u"Button"}};
  for (const auto& c : cases) {
    TFormControlObj* b = f.Add(syInput, {{syType, "TYPE", c.type}});
    EXPECT_EQ(Native(b).Text(), c.caption) << c.type;
  }
  TFormControlObj* valued = f.Add(syInput, {{syType, "TYPE", "submit"}, {syValue, "VALUE", "Send"}});
  EXPECT_EQ(Native(valued).Text(), u"Send");
  // An unknown type is an edit.
  TFormControlObj* odd = f.Add(syInput, {{syType, "TYPE", "colour"}});
  EXPECT_STREQ(odd->KindName(), "edit");
  EXPECT_EQ(Native(odd).Kind(), TControlKind::Edit);
}

TEST(FormTest, CheckBoxWithoutValueSubmitsOn) {
  TFormFixture f;
  f.OpenForm();
  TFormControlObj* c = f.Add(syInput, {{syType, "TYPE", "checkbox"}, {syName, "NAME", "c"}, {syChecked, "CHECKED", ""}});
  TFormControlObj* d = f.Add(syInput, {{syType, "TYPE", "checkbox"}, {syName, "NAME", "d"}, {syValue, "VALUE", "yes"}});
  TFormControlObj* e = f.Add(syInput, {{syName, "NAME", "e"}});
  Native(e).PressEnter();
  EXPECT_EQ(f.LastItems(), (Items{"c=on", "e="}));
  Native(c).Click();
  Native(d).Click();
  Native(e).PressEnter();
  EXPECT_EQ(f.LastItems(), (Items{"d=yes", "e="}));
  EXPECT_EQ(c->VertAlign, acBaseline);
  EXPECT_EQ(c->Width, 13);
  EXPECT_EQ(c->Height, 13);
}

TEST(FormTest, RadioNamesDifferingInCaseShareAGroup) {
  TFormFixture f;
  f.OpenForm();
  auto* a = f.Add(syInput, {{syType, "TYPE", "radio"}, {syName, "NAME", "A"}, {syValue, "VALUE", "1"}, {syChecked, "CHECKED", ""}});
  auto* b = f.Add(syInput, {{syType, "TYPE", "radio"}, {syName, "NAME", "a"}, {syValue, "VALUE", "2"}});
  auto* other = f.Add(syInput, {{syType, "TYPE", "radio"}, {syName, "NAME", "b"}, {syValue, "VALUE", "3"}, {syChecked, "CHECKED", ""}});
  // Only the first of a group without a checked button keeps a tab stop.
  EXPECT_TRUE(Native(a).TabStop());
  EXPECT_FALSE(Native(b).TabStop());

  Native(b).Click();
  EXPECT_FALSE(Native(a).Checked());
  EXPECT_TRUE(Native(b).Checked());
  EXPECT_TRUE(Native(other).Checked());
  EXPECT_FALSE(Native(a).TabStop());
  EXPECT_TRUE(Native(b).TabStop());
  f.Form->SubmitTheForm({});
  EXPECT_EQ(f.LastItems(), (Items{"a=2", "b=3"}));

  // A later checked button unchecks the earlier ones of its group at creation.
  auto* c = f.Add(syInput, {{syType, "TYPE", "radio"}, {syName, "NAME", "A"}, {syValue, "VALUE", "4"}, {syChecked, "CHECKED", ""}});
  EXPECT_FALSE(Native(b).Checked());
  EXPECT_TRUE(Native(c).Checked());
}

TEST(FormTest, ArrowKeysMoveWithinTheRadioGroupAndStopAtItsEnds) {
  TFormFixture f;
  f.OpenForm();
  auto* a = f.Add(syInput, {{syType, "TYPE", "radio"}, {syName, "NAME", "g"}, {syValue, "VALUE", "1"}});
  f.Add(syInput, {{syType, "TYPE", "radio"}, {syName, "NAME", "x"}});
  auto* b = f.Add(syInput, {{syType, "TYPE", "radio"}, {syName, "NAME", "G"}, {syValue, "VALUE", "2"}});
  Native(a).SetFocus();
  EXPECT_TRUE(Native(a).PressArrow(TControlKey::Right));
  EXPECT_EQ(f.Host.FocusedControl(), &Native(b));
  EXPECT_TRUE(Native(b).PressArrow(TControlKey::Down));  // the last stays
  EXPECT_EQ(f.Host.FocusedControl(), &Native(b));
  EXPECT_TRUE(Native(b).PressArrow(TControlKey::Up));
  EXPECT_EQ(f.Host.FocusedControl(), &Native(a));
  EXPECT_TRUE(Native(a).PressArrow(TControlKey::Left));
  EXPECT_EQ(f.Host.FocusedControl(), &Native(a));
  // Enter on a radio button is not the form's.
  EXPECT_FALSE(Native(a).PressEnter());
}

TEST(FormTest, HardWrapSubmitsTheLinesShownJoinedWithCrLf) {
  TFormFixture f;
  f.OpenForm();
  auto* hard = f.Add(syTextarea, {{syName, "NAME", "t"}, {syCols, "COLS", "10"}, {syWrap, "WRAP", "HARD"}}, {}, {},
                     {"hello world again\r\n", "end"});
  auto* soft = f.Add(syTextarea, {{syName, "NAME", "s"}, {syCols, "COLS", "10"}}, {}, {}, {"hello world again"});
  auto* off = f.Add(syTextarea, {{syName, "NAME", "o"}, {syWrap, "WRAP", "off"}}, {}, {}, {"x"});
  f.LayoutAt(600);
  // Ten columns of "s" plus 5 pixels: ten characters of the fixed metrics fit, eleven do not.
  ASSERT_EQ(hard->Control()->Bounds().Width() - hard->Control()->FrameExtra().cx, 10 * CharW(hard, u's') + 5);
  ASSERT_GT(CharW(hard, u's'), 5);
  f.Form->SubmitTheForm({});
  EXPECT_EQ(f.LastItems(), (Items{"t=hello \r\nworld \r\nagain\r\nend", "s=hello world again", "o=x"}));
  EXPECT_TRUE(Native(soft).WordWrap());
  EXPECT_FALSE(Native(off).WordWrap());
  // Rows default to 5: text height times rows plus 5, inside the frame and scroll bars.
  EXPECT_EQ(off->Height, TextH(off) * 5 + 5 + 4 + 16);
}

TEST(FormTest, SelectWithoutSelectedOptionSelectsItsFirst) {
  TFormFixture f;
  f.OpenForm();
  auto* none = f.Add(sySelect, {{syName, "NAME", "n"}}, {}, {{"a", false}, {"b", false}});
  auto* marked = f.Add(sySelect, {{syName, "NAME", "m"}}, {}, {{"a", false}, {"b", true}});
  auto* list = f.Add(sySelect, {{syName, "NAME", "l"}, {sySize, "SIZE", "3"}}, {}, {{"a", true}, {"b", true}, {"c", false}});
  auto* multi = f.Add(sySelect, {{syName, "NAME", "x"}, {syMultiple, "MULTIPLE", ""}}, {}, {{"a", false}, {"b", false}});
  EXPECT_STREQ(none->KindName(), "combo");
  EXPECT_STREQ(list->KindName(), "listbox");
  EXPECT_EQ(Native(none).ItemIndex(), 0);
  EXPECT_EQ(Native(marked).ItemIndex(), 1);
  // One selection: the last option marked.
  EXPECT_FALSE(Native(list).ItemSelected(0));
  EXPECT_TRUE(Native(list).ItemSelected(1));
  f.Form->SubmitTheForm({});
  // A multiple selection with nothing marked submits nothing.
  EXPECT_EQ(f.LastItems(), (Items{"n=a", "m=b", "l=b"}));
  Native(multi).SetItemSelected(0, true);
  Native(multi).SetItemSelected(1, true);
  f.Form->SubmitTheForm({});
  EXPECT_EQ(f.LastItems(), (Items{"n=a", "m=b", "l=b", "x=a", "x=b"}));
}

TEST(FormTest, OptionValuesAndTexts) {
  TFormFixture f;
  f.OpenForm();
  auto* s = static_cast<TListBoxFormControlObj*>(f.Add(sySelect, {{syName, "NAME", "s"}}, {}, {}));
  s->AddStr("Shown", true, {"VALUE=sent", "CLASS=k"}, 1252);
  s->AddStr("", false, {"value=low"}, 1252);
  s->AddStr("caf\xE9", false, {}, 1252);
  s->DoneAdding();
  EXPECT_EQ(Native(s).Items(), (std::vector<std::u16string>{u"Shown", u" ", u"caf\u00E9"}));
  f.Form->SubmitTheForm({});
  EXPECT_EQ(f.LastItems(), (Items{"s=sent"}));
  Native(s).SetItemIndex(1);
  f.Form->SubmitTheForm({});
  EXPECT_EQ(f.LastItems(), (Items{"s=low"}));
  Native(s).SetItemIndex(2);
  f.Form->SubmitTheForm({});
  EXPECT_EQ(f.LastItems(), (Items{"s=caf\xE9"}));
}

TEST(FormTest, ImageInputAddsAnImageAndSubmitsItsClickOnce) {
  TFormFixture f;
  f.OpenForm();
  f.OpenParagraph();
  f.Text(u"x");
  auto* img = static_cast<TImageFormControlObj*>(
      f.Add(syInput, {{syType, "TYPE", "image"}, {syName, "NAME", "pt"}, {sySrc, "SRC", "a.gif"}}));
  auto* hidden = f.Add(syInput, {{syType, "TYPE", "hidden"}, {syName, "NAME", "h"}, {syValue, "VALUE", "v"}});
  auto* e = f.Add(syInput, {{syName, "NAME", "e"}});
  // The image stands for placeholder 4, the hidden input for nothing, the edit for 2.
  EXPECT_EQ(f.Sec->Text(), std::u16string(u"x") + char16_t(ccObject) + char16_t(ccControl));
  ASSERT_NE(img->MyImage, nullptr);
  EXPECT_EQ(img->MyImage->ImageControl(), img);
  EXPECT_FALSE(hidden->InText());
  EXPECT_EQ(f.Form->NonHiddenCount, 2);

  f.LayoutAt(400);
  img->ImageClick(5, 7);
  EXPECT_EQ(f.LastItems(), (Items{"pt.x=5", "pt.y=7", "h=v", "e="}));
  EXPECT_EQ(f.Host.FocusedControl(), &Native(img));
  // The focus shows the picture, not the hidden button that holds it.
  const TImageObj& pic = *img->MyImage;
  ASSERT_FALSE(f.Host.ScrolledTo.empty());
  EXPECT_EQ(f.Host.ScrolledTo.back(), Bounds(pic.X(), pic.Y(), pic.BoxWidth, pic.BoxHeight));
  EXPECT_GT(pic.X(), 0);
  Native(e).PressEnter();
  EXPECT_EQ(f.LastItems(), (Items{"h=v", "e="}));

  auto* anon = static_cast<TImageFormControlObj*>(f.Add(syInput, {{syType, "TYPE", "image"}}));
  anon->ImageClick(1, 2);
  EXPECT_EQ(f.LastItems(), (Items{"h=v", "e=", "x=1", "y=2"}));
}

TEST(FormTest, DisabledAndNamelessControlsAreNotSubmitted) {
  TFormFixture f;
  f.OpenForm();
  f.Add(syInput, {{syName, "NAME", "off"}, {syDisabled, "DISABLED", ""}, {syValue, "VALUE", "1"}});
  auto* e = f.Add(syInput, {{syValue, "VALUE", "no name"}});
  auto* dis = static_cast<TImageFormControlObj*>(
      f.Add(syInput, {{syType, "TYPE", "image"}, {syName, "NAME", "i"}, {syDisabled, "DISABLED", ""}}));
  EXPECT_FALSE(Native(dis).Enabled());
  Native(e).PressEnter();
  EXPECT_EQ(f.LastItems(), Items{});
  const std::size_t count = f.Submitted.size();
  dis->ImageClick(1, 1);  // a disabled image button does not submit
  EXPECT_EQ(f.Submitted.size(), count);
}

TEST(FormTest, ResetRestoresEveryKind) {
  TFormFixture f;
  f.OpenForm();
  auto* e = f.Add(syInput, {{syName, "NAME", "e"}, {syValue, "VALUE", "start"}});
  auto* c = f.Add(syInput, {{syType, "TYPE", "checkbox"}, {syName, "NAME", "c"}});
  auto* r = f.Add(syInput, {{syType, "TYPE", "radio"}, {syName, "NAME", "r"}, {syChecked, "CHECKED", ""}});
  auto* s = f.Add(sySelect, {{syName, "NAME", "s"}}, {}, {{"a", false}, {"b", true}});
  auto* t = f.Add(syTextarea, {{syName, "NAME", "t"}}, {}, {}, {"line\r\n", "two"});
  auto* reset = f.Add(syInput, {{syType, "TYPE", "reset"}});
  Native(e).Type(u"changed");
  Native(c).Click();
  Native(r).SetChecked(false);
  Native(s).SetItemIndex(0);
  Native(t).Type(u"other");
  Native(reset).Click();
  EXPECT_EQ(Native(e).Text(), u"start");
  EXPECT_FALSE(Native(c).Checked());
  EXPECT_TRUE(Native(r).Checked());
  EXPECT_EQ(Native(s).ItemIndex(), 1);
  EXPECT_EQ(Native(t).Text(), u"line\r\ntwo");
  EXPECT_EQ(Native(t).Caret(), 0);
  EXPECT_TRUE(f.Submitted.empty());
}

TEST(FormTest, FocusBlurChangeAndClickEvents) {
  TFormFixture f;
  f.OpenForm();
  auto* e = f.Add(syInput, {{syName, "NAME", "e"},
                            {syOnfocus, "ONFOCUS", "f()"},
                            {syOnblur, "ONBLUR", "b()"},
                            {syOnchange, "ONCHANGE", "c()"}});
  auto* k = f.Add(syInput, {{syType, "TYPE", "checkbox"}, {syOnclick, "ONCLICK", "k()"}});
  f.LayoutAt(400);
  Native(e).SetFocus();
  EXPECT_TRUE(e->Active);
  ASSERT_FALSE(f.Host.ScrolledTo.empty());
  EXPECT_EQ(f.Host.ScrolledTo.back(), Bounds(e->Left, e->Top, e->Width, e->Height));
  Native(k).Click();  // leaves the edit unchanged: no change event
  EXPECT_FALSE(e->Active);
  Native(e).SetFocus();
  Native(e).Type(u"new");
  Native(k).SetFocus();
  EXPECT_EQ(f.Events, (Items{"focus f()", "blur b()", "click k()", "focus f()", "change c()", "blur b()"}));
}

TEST(FormTest, FileInputBrowseButtonFillsItsEdit) {
  TFormFixture f;
  f.OpenForm();
  f.Host.OnFileBrowse = [](TFormControlObj&, std::string& text) { text = text.empty() ? "c:\\a.txt" : text + "!"; };
  auto* file = f.Add(syInput, {{syType, "TYPE", "file"}, {syName, "NAME", "up"}, {syId, "ID", "fid"}});
  ASSERT_EQ(f.Form->Controls().size(), 2u);
  auto* browse = static_cast<TButtonFormControlObj*>(f.Form->Controls()[1].get());
  EXPECT_EQ(browse->Which, TButtonFormControlObj::bBrowse);
  EXPECT_TRUE(browse->FName.empty());
  EXPECT_TRUE(browse->FID.empty());
  EXPECT_EQ(Native(browse).Text(), u"Browse...");
  EXPECT_EQ(f.Sec->Text(), std::u16string(2, char16_t(ccControl)));
  EXPECT_EQ(f.Doc.IDNameList().Find("FID"), file);
  Native(browse).Click();
  EXPECT_EQ(Native(file).Text(), u"c:\\a.txt");
  Native(browse).Click();
  EXPECT_EQ(Native(file).Text(), u"c:\\a.txt!");
}

TEST(FormTest, ValuesSetFromOutside) {
  TFormFixture f;
  f.OpenForm();
  auto* e = f.Add(syInput, {{syName, "NAME", "e"}});
  auto* c = f.Add(syInput, {{syType, "TYPE", "checkbox"}, {syName, "NAME", "c"}, {syValue, "VALUE", "Yes"}});
  auto* r1 = f.Add(syInput, {{syType, "TYPE", "radio"}, {syName, "NAME", "r"}, {syValue, "VALUE", "1"}, {syChecked, "CHECKED", ""}});
  auto* r2 = f.Add(syInput, {{syType, "TYPE", "radio"}, {syName, "NAME", "r"}, {syValue, "VALUE", "2"}});
  auto* m = f.Add(sySelect, {{syName, "NAME", "m"}, {syMultiple, "MULTIPLE", ""}}, {}, {{"a", true}, {"b", false}, {"c", false}});
  auto* d = f.Add(sySelect, {{syName, "NAME", "d"}}, {}, {{"a", false}, {"b", false}});
  f.Form->SetFormData({"e=hi", "c=yes", "r=2", "m=b", "m=c", "d=b", "zz=1"});
  EXPECT_EQ(Native(e).Text(), u"hi");
  EXPECT_TRUE(Native(c).Checked());  // compared without regard to case
  EXPECT_FALSE(Native(r1).Checked());
  EXPECT_TRUE(Native(r2).Checked());
  EXPECT_FALSE(Native(m).ItemSelected(0));  // the first value clears the old selection
  EXPECT_TRUE(Native(m).ItemSelected(1));
  EXPECT_TRUE(Native(m).ItemSelected(2));
  EXPECT_EQ(Native(d).ItemIndex(), 1);
}

TEST(FormTest, CollectedValuesComeBackAfterAReset) {
  TFormFixture f;
  EXPECT_EQ(f.Doc.CollectFormValues(), nullptr);
  f.OpenForm();
  auto* e = f.Add(syInput, {{syName, "NAME", "e"}});
  auto* c = f.Add(syInput, {{syType, "TYPE", "checkbox"}, {syName, "NAME", "c"}});
  auto* s = f.Add(sySelect, {{syName, "NAME", "s"}, {sySize, "SIZE", "4"}}, {}, {{"a", false}, {"b", false}});
  Native(e).Type(u"kept");
  Native(c).Click();
  Native(s).SetItemIndex(1);
  std::unique_ptr<TFormValues> saved = f.Doc.CollectFormValues();
  ASSERT_NE(saved, nullptr);
  f.Form->ResetControls();
  EXPECT_EQ(Native(e).Text(), u"");
  RestoreFormValues(f.Doc, *saved);
  EXPECT_EQ(Native(e).Text(), u"kept");
  EXPECT_TRUE(Native(c).Checked());
  EXPECT_EQ(Native(s).ItemIndex(), 1);
}

TEST(FormTest, ClearingTheDocumentDropsFormsAndControls) {
  TFormFixture f;
  auto* a = f.Add(syInput, {{syName, "NAME", "a"}, {syId, "ID", "x"}, {syTabindex, "TABINDEX", "2"}});
  f.LayoutAt(300);
  EXPECT_EQ(Native(a).TabOrder(), 0);  // tab indexes are given out by the layout
  f.Doc.Clear();
  EXPECT_TRUE(f.Doc.FHtmlFormList.empty());
  EXPECT_TRUE(f.Doc.FFormControlList.empty());
  EXPECT_EQ(f.Doc.IDNameList().Find("x"), nullptr);
}

// The picture of an image input goes with its section (a dropped table frees it) while the form
// lives on: the control must not keep pointing at it.
TEST(FormTest, ImageInputOutlivesItsPicture) {
  TFormFixture f;
  f.OpenForm();
  auto* c = static_cast<TImageFormControlObj*>(f.Add(syInput, {{syType, "TYPE", "image"}, {sySrc, "SRC", "go.gif"}}));
  ASSERT_NE(nullptr, c);
  ASSERT_NE(nullptr, c->MyImage);
  f.CloseParagraph();
  f.Doc.Delete(f.Doc.Count() - 1);
  EXPECT_EQ(nullptr, c->MyImage);
  EXPECT_TRUE(c->FocusBox().IsEmpty());
}

}  // namespace
}  // namespace korva::test
