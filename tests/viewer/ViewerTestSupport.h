// An off-screen application, a shown viewer with fixed font metrics, and mouse events sent
// straight to the paint panel.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

#include "platform/Font.h"
#include "viewer/PageViewer.h"
#include "viewer/ViewerWidgets.h"

namespace korva::test {

inline QApplication& App() {
  static int argc = 1;
  static char name[] = "test_viewer";
  static char* argv[] = {name, nullptr};
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

// Runs the event loop until the condition holds (or 5 s pass); returns the condition.
inline bool WaitUntil(const std::function<bool()>& done, int ms = 5000) {
  QElapsedTimer t;
  t.start();
  while (!done() && t.elapsed() < ms) QTest::qWait(10);
  return done();
}

class ViewerTest : public ::testing::Test {
 protected:
  std::unique_ptr<TPageViewer> V;

  void SetUp() override {
    App();
    SetFixedFontMetrics(true);
    V = std::make_unique<TPageViewer>();
    // No page margins, so pixel positions follow from the text alone: 12 points is a 16-pixel
    // em, every character 8 pixels wide.
    V->SetMarginWidth(0);
    V->SetMarginHeight(0);
    V->OnErrorDialog = [this](TPageViewer*, const std::string& m) { Errors.push_back(m); };
    V->resize(300, 200);
    V->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(V.get()));
  }
  void TearDown() override {
    V.reset();
    SetFixedFontMetrics(false);
  }

  QWidget* Panel() const { return V->PaintPanel(); }
  void Send(QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held,
            Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QMouseEvent e(type, QPointF(at), QPointF(Panel()->mapToGlobal(at)), button, held, mods);
    QApplication::sendEvent(Panel(), &e);
  }
  void Press(QPoint at, Qt::MouseButton b = Qt::LeftButton, Qt::KeyboardModifiers m = Qt::NoModifier) {
    Send(QEvent::MouseButtonPress, at, b, b, m);
  }
  void Move(QPoint at, Qt::MouseButtons held = Qt::NoButton) { Send(QEvent::MouseMove, at, Qt::NoButton, held); }
  void Release(QPoint at, Qt::MouseButton b = Qt::LeftButton, Qt::KeyboardModifiers m = Qt::NoModifier) {
    Send(QEvent::MouseButtonRelease, at, b, Qt::NoButton, m);
  }
  void Click(QPoint at) {
    Press(at);
    Release(at);
  }
  void DoubleClick(QPoint at) {
    Press(at);
    Release(at);
    Send(QEvent::MouseButtonDblClick, at, Qt::LeftButton, Qt::LeftButton);
    Release(at);
  }
  void Key(Qt::Key key) { QTest::keyClick(V.get(), key); }
  // Lets posted calls and paints run.
  static void Settle() {
    for (int i = 0; i < 3; ++i) QApplication::processEvents();
  }
  // A page of n paragraphs, each "Paragraph i" with an anchor p<i>, one line each.
  static std::string Paragraphs(int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += "<p><a name=\"p" + std::to_string(i) + "\"></a>Paragraph " + std::to_string(i) + "</p>\n";
    return s;
  }

  std::vector<std::string> Errors;
};

// A temporary folder removed with its files.
class TTempFolder {
 public:
  TTempFolder() {
    char tmpl[] = "/tmp/korva_viewer_XXXXXX";
    FPath = mkdtemp(tmpl);
  }
  ~TTempFolder() { std::filesystem::remove_all(FPath); }
  const std::string& Path() const { return FPath; }
  std::string Write(const std::string& name, const std::string& data) const {
    std::string file = FPath + "/" + name;
    std::ofstream(file, std::ios::binary) << data;
    return file;
  }

 private:
  std::string FPath;
};

}  // namespace korva::test
