// The selection as text and markup, Select All, and the clipboard.
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include "ViewerTestSupport.h"
#include "layout/SectionList.h"

namespace korva::test {
namespace {

class ClipboardTest : public ViewerTest {
 protected:
  void Select(int first, int end) {
    V->Document().FSelB = first;
    V->Document().FSelE = end;
  }
};

// Paragraphs are set apart by an empty line, as a browser copies them; lines of preformatted text
// as they stand.
TEST_F(ClipboardTest, SelectedTextKeepsParagraphBreaksAndLeavesObjectsOut) {
  V->LoadStream("<p>One <b>two</b></p><p>Three<img src=x.png> four</p><pre>a  b\nc</pre>", "");
  EXPECT_EQ(V->SelectedText(), "");
  V->SelectAll();
  EXPECT_EQ(V->SelLength(), V->Document().FCharCount);
  EXPECT_EQ(V->SelectedText(), "One two\n\nThree four\n\na  b\nc");
  // Part of a word.
  Select(1, 6);
  EXPECT_EQ(V->SelectedText(), "ne tw");
}

TEST_F(ClipboardTest, NonAsciiTextComesOutAsUtf8) {
  V->LoadStream("<p>caf&eacute; &#8212; &#x65E5;&#x672C;</p>", "");
  V->SelectAll();
  EXPECT_EQ(V->SelectedText(), "caf\xC3\xA9 \xE2\x80\x94 \xE6\x97\xA5\xE6\x9C\xAC");
}

TEST_F(ClipboardTest, CopyGivesPlainTextAndTheMarkupBehindIt) {
  V->LoadStream("<p>Plain <b>bold</b> end</p>", "");
  QGuiApplication::clipboard()->clear();
  EXPECT_FALSE(V->CopyToClipboard());  // nothing selected: the clipboard is left alone
  V->SelectAll();
  ASSERT_TRUE(V->CopyToClipboard());
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(data->text().toStdString(), "Plain bold end");
  EXPECT_EQ(data->html().toStdString(), "Plain <b>bold</b> end");
}

TEST_F(ClipboardTest, KeysCopySelectAllAndPageWithSpace) {
  V->LoadStream(Paragraphs(100), "");
  QTest::keyClick(V.get(), Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(V->SelLength(), V->Document().FCharCount);
  QGuiApplication::clipboard()->clear();
  QTest::keyClick(V.get(), Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QGuiApplication::clipboard()->text().left(24).toStdString(), "Paragraph 0\n\nParagraph 1");
  const int page = V->PaintPanel()->height() - 16;
  V->SetPosition(0);
  Key(Qt::Key_Space);
  EXPECT_EQ(V->Position(), page);
  QTest::keyClick(V.get(), Qt::Key_Space, Qt::ShiftModifier);
  EXPECT_EQ(V->Position(), 0);
}

TEST_F(ClipboardTest, NoSelectLeavesSelectAllDoingNothing) {
  V->LoadStream("<p>text</p>", "");
  V->SetNoSelect(true);
  V->SelectAll();
  EXPECT_EQ(V->SelLength(), 0);
}

}  // namespace
}  // namespace korva::test
