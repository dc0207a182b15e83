// korva-api-loader: the documentation browser. With --screenshot FILE.png it runs the main
// window off-screen, lets start-up finish and writes the window as a picture. The command line
// is read by ParseCommandLine (app/CommandLine.h).
#include <QApplication>
#include <QPixmap>
#include <QScreen>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "app/MainForm.h"
#include "app/Navigation.h"
#include "platform/System.h"

namespace {

constexpr int ScreenshotWidth = 1024, ScreenshotHeight = 768;

bool HasDisplay() {
  for (const char* var : {"DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* v = std::getenv(var);
    if (v && *v) return true;
  }
  // A platform chosen by hand (a frame buffer, VNC...) is a display too; off-screen is not.
  const char* qpa = std::getenv("QT_QPA_PLATFORM");
  return qpa && *qpa && std::strcmp(qpa, "offscreen") != 0 && std::strcmp(qpa, "minimal") != 0;
}

// Off-screen runs need no runtime folder and cannot size a native window; Qt says so on every
// run, which tells the user nothing.
void QuietOffscreenNotes(QtMsgType type, const QMessageLogContext&, const QString& text) {
  if (type == QtDebugMsg || text.contains("propagateSizeHints") || text.contains("XDG_RUNTIME_DIR")) return;
  std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}

}  // namespace

int main(int argc, char** argv) {
  const korva::TCommandLine line = korva::ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
  switch (line.Action) {
    case korva::TCommandLine::caHelp:
      std::fputs(korva::UsageText().c_str(), stdout);
      return 0;
    case korva::TCommandLine::caVersion:
      std::fputs(korva::VersionText().c_str(), stdout);
      return 0;
    case korva::TCommandLine::caError:
      std::fprintf(stderr, "korva-api-loader: %s\n%s", line.Error.c_str(), korva::ShortUsageText().c_str());
      return 2;
    case korva::TCommandLine::caRun:
      break;
  }
  // Said here, once, rather than by the archive for every page it cannot give.
  if (!line.Archive.empty() && !korva::FileExists(line.Archive)) {
    std::fprintf(stderr, "korva-api-loader: %s: no such file\n", line.Archive.c_str());
    return 1;
  }
  const std::string& screenshot = line.Screenshot;

  const bool display = HasDisplay();
  if (!screenshot.empty() && !display) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    qInstallMessageHandler(QuietOffscreenNotes);
  }
  if (screenshot.empty() && !display) {
    std::fprintf(stderr,
                 "korva-api-loader: no display (neither DISPLAY nor WAYLAND_DISPLAY is set), so the window "
                 "cannot open.\nRun it as 'korva-api-loader --screenshot FILE.png' to write the start-up window "
                 "to a PNG file instead.\n");
    return 1;
  }

  QApplication app(argc, argv);
  korva::TMainFormOptions options;
  options.ArchiveFile = line.Archive;
  options.StartMember = line.StartMember;
  options.StartAnchor = line.StartAnchor;
  if (screenshot.empty()) {
    korva::TMainForm form(options);
    // Without a window manager a maximise request is never granted: fill the screen ourselves too.
    if (QScreen* screen = form.screen()) form.setGeometry(screen->availableGeometry());
    form.showMaximized();
    return app.exec();
  }

  // Nobody can answer a dialog here: archive messages go to standard error.
  options.ShowMessage = [](const std::string& text) { std::fprintf(stderr, "korva-api-loader: %s\n", text.c_str()); };
  korva::TMainForm form(options);
  form.resize(ScreenshotWidth, ScreenshotHeight);
  form.show();
  // The pages are laid out when the panes get their size; a pending anchor is scrolled to at the
  // next idle moment.
  for (int i = 0; i < 5 || (!form.Navigator().PendingAnchor().empty() && i < 100); ++i) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    bool done = false;
    form.AppIdle(done);
  }
  const QPixmap picture = form.grab();
  if (!picture.save(QString::fromStdString(screenshot), "PNG")) {
    std::fprintf(stderr, "korva-api-loader: cannot write %s\n", screenshot.c_str());
    return 1;
  }
  std::printf("%s\n", form.windowTitle().toStdString().c_str());
  return 0;
}
