// What the paint panel shows: the page colour, a background picture (stretched when it is a
// single pixel), the text moving with the scroll position, and form controls as real widgets.
#include <QAbstractButton>
#include <QApplication>
#include <QImage>
#include <QScreen>
#include <QLineEdit>

#include "ViewerTestSupport.h"
#include "platform/Bitmap.h"
#include "platform/MemoryStream.h"

namespace korva::test {
namespace {

class PaintTest : public ViewerTest {
 protected:
  QImage Grab() { return V->PaintPanel()->grab().toImage(); }
  static QRgb Rgb(int r, int g, int b) { return qRgb(r, g, b); }
};

TEST_F(PaintTest, ThePageColourFillsThePanel) {
  V->LoadStream("<body bgcolor=\"#ff0000\"><p>x</p></body>", "");
  const QImage img = Grab();
  ASSERT_EQ(img.size(), V->PaintPanel()->size());
  EXPECT_EQ(img.pixel(150, 150) & 0xFFFFFF, Rgb(255, 0, 0) & 0xFFFFFF);
  EXPECT_EQ(img.pixel(img.width() - 1, img.height() - 1) & 0xFFFFFF, Rgb(255, 0, 0) & 0xFFFFFF);
}

TEST_F(PaintTest, TextMovesWithTheScrollPosition) {
  // A black block 16 pixels tall at the top of a long white page.
  V->LoadStream("<body bgcolor=white><div style=\"height:16px;background-color:black\"></div>" + Paragraphs(50) +
                    "</body>",
                "");
  EXPECT_EQ(Grab().pixel(5, 5) & 0xFFFFFF, 0u);
  V->SetPosition(8);
  QImage img = Grab();
  EXPECT_EQ(img.pixel(5, 5) & 0xFFFFFF, 0u);
  EXPECT_EQ(img.pixel(5, 9) & 0xFFFFFF, 0xFFFFFFu);
  // A one-line scroll moves the picture and paints the strip: the result is the same.
  V->SetPosition(0);
  Settle();
  Key(Qt::Key_Down);
  Settle();
  img = Grab();
  EXPECT_EQ(img.pixel(5, 0) & 0xFFFFFF, 0xFFFFFFu);
}

TEST_F(PaintTest, OnePixelBackgroundIsStretchedOverThePanel) {
  std::unique_ptr<TBitmap> dot = TBitmap::Create(1, 1, 24);
  dot->SetPixel(0, 0, RGBColor(0, 200, 0));
  const std::vector<std::uint8_t> bmp = dot->SaveToBmp();
  TMemoryStream stream;
  stream.Write(bmp.data(), bmp.size());
  std::vector<std::string> asked;
  V->OnImageRequest = [&](TPageViewer*, const std::string& src, TMemoryStream*& s) {
    asked.push_back(src);
    stream.SetPosition(0);
    s = &stream;
  };
  V->LoadStream("<body background=\"dot.bmp\">" + Paragraphs(30) + "</body>", "");
  QImage img = Grab();
  EXPECT_EQ(asked, std::vector<std::string>{"dot.bmp"});
  // Text is drawn over it; the right edge of the panel holds no text.
  const int x = img.width() - 2;
  for (int y : {0, 57, img.height() - 1}) EXPECT_EQ(img.pixel(x, y) & 0xFFFFFF, Rgb(0, 200, 0) & 0xFFFFFF) << y;
  V->SetPosition(100);
  img = Grab();
  EXPECT_EQ(img.pixel(x, 10) & 0xFFFFFF, Rgb(0, 200, 0) & 0xFFFFFF);
}

// Line scrolling moves the picture on screen and paints only the uncovered strip; what is on
// screen must then be what a full paint gives. A float hanging from a line above the strip (the
// picture on the right) is drawn into the strip too.
TEST_F(PaintTest, LineScrollingLooksLikeAFullPaint) {
  V->resize(500, 300);
  V->LoadStream("<body bgcolor=white><p>An anchor line with a float.<img src=\"x\" width=120 height=400 align=right "
                "style=\"background-color:black\">" +
                    Paragraphs(60) + "</body>",
                "");
  Settle();
  for (int i = 0; i < 6; ++i) {
    Key(Qt::Key_Down);
    Settle();
  }
  ASSERT_EQ(V->Position(), 96);
  const QImage moved = V->screen()->grabWindow(V->winId()).toImage();
  V->PaintPanel()->repaint();
  const QImage fresh = V->screen()->grabWindow(V->winId()).toImage();
  ASSERT_FALSE(moved.isNull());
  EXPECT_EQ(moved, fresh);
}

TEST_F(PaintTest, FormControlsAreWidgetsPlacedOnThePanel) {
  V->LoadStream("<form action=\"go\"><input name=a value=hello> <input type=submit value=Send></form>" + Paragraphs(50),
                "");
  Settle();
  QLineEdit* edit = nullptr;
  QAbstractButton* button = nullptr;
  for (QObject* c : V->PaintPanel()->children()) {
    if (auto* e = qobject_cast<QLineEdit*>(c)) edit = e;
    if (auto* b = qobject_cast<QAbstractButton*>(c)) button = b;
  }
  ASSERT_NE(edit, nullptr);
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(edit->text(), "hello");
  EXPECT_TRUE(edit->isVisible());
  EXPECT_EQ(edit->geometry().left(), 0);
  EXPECT_EQ(edit->geometry().top(), 0);
  // Scrolling moves the controls with the page.
  V->SetPosition(5);
  Settle();
  EXPECT_EQ(edit->geometry().top(), -5);
  // A submission is raised from the event queue, once the button's own click is over.
  std::vector<std::string> results;
  std::string action;
  V->OnFormSubmit = [&](TPageViewer*, const std::string& a, const std::string&, const std::string&,
                        const std::string&, const std::vector<std::string>& r) {
    action = a;
    results = r;
  };
  button->click();
  EXPECT_TRUE(action.empty());
  Settle();
  EXPECT_EQ(action, "go");
  EXPECT_EQ(results, std::vector<std::string>{"a=hello"});
}

TEST_F(PaintTest, ANewPageRemovesTheOldControls) {
  V->LoadStream("<input value=one>", "");
  Settle();
  V->LoadStream("<p>no form", "");
  Settle();
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  int edits = 0;
  for (QObject* c : V->PaintPanel()->children())
    if (qobject_cast<QLineEdit*>(c)) ++edits;
  EXPECT_EQ(edits, 0);
}

// Pictures of sample pages for a person to look at: set KORVA_GRAB_DIR to a folder. The pages
// come as streams with their pictures and style sheets from request handlers, as the program
// gives them from its archive.
TEST(ViewerGrab, SamplePages) {
  const char* dir = std::getenv("KORVA_GRAB_DIR");
  if (!dir) GTEST_SKIP() << "KORVA_GRAB_DIR not set";
  App();
  const std::string samples = KORVA_SAMPLES_DIR;
  auto read = [&](const std::string& name, std::string& data) {
    std::ifstream in(samples + "/" + name, std::ios::binary);
    if (!in) return false;
    data.assign(std::istreambuf_iterator<char>(in), {});
    return true;
  };
  std::vector<std::unique_ptr<TMemoryStream>> streams;
  for (const char* page : {"Overview.html", "NavigationFrame.html", "Core.html", "KvRect.html", "Examples.html",
                           "Settings.html", "Feedback.html", "Credits.html", "Changelog.html", "Types.html"}) {
    TPageViewer v;
    v.OnhtStreamRequest = [&](TPageViewer*, const std::string& src, std::string& data) { return read(src, data); };
    v.OnImageRequest = [&](TPageViewer*, const std::string& src, TMemoryStream*& stream) {
      std::string data;
      if (!read(src, data)) return;
      streams.push_back(std::make_unique<TMemoryStream>());
      streams.back()->Write(data.data(), data.size());
      streams.back()->SetPosition(0);
      stream = streams.back().get();
    };
    v.resize(800, 600);
    v.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&v));
    std::string html;
    ASSERT_TRUE(read(page, html));
    v.LoadStream(html, page);
    for (int i = 0; i < 3; ++i) QApplication::processEvents();
    const std::string out = std::string(dir) + "/" + page + ".png";
    EXPECT_TRUE(v.grab().save(QString::fromStdString(out))) << out;
    // Scrolled by lines (the picture moved, strips painted): must look like a fresh paint.
    for (int i = 0; i < 5; ++i) QTest::keyClick(&v, Qt::Key_Down);
    for (int i = 0; i < 3; ++i) QApplication::processEvents();
    const QImage moved = v.screen()->grabWindow(v.winId()).toImage();
    v.PaintPanel()->repaint();
    const QImage fresh = v.screen()->grabWindow(v.winId()).toImage();
    EXPECT_FALSE(moved.isNull());
    EXPECT_EQ(moved, fresh) << page;
    EXPECT_TRUE(v.grab().save(QString::fromStdString(out + ".scrolled.png"))) << out;
  }
}

}  // namespace
}  // namespace korva::test
