#include "app/CommandLine.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace korva {

namespace {

// Options the application object reads itself; they must not count as ours, nor as unknown.
constexpr std::array<std::string_view, 14> QtValueOptions = {
    "platform", "platformpluginpath", "platformtheme", "plugin",          "qmljsdebugger", "style",  "stylesheet",
    "session",  "display",            "geometry",      "qwindowgeometry", "qwindowicon",   "qwindowtitle", "title"};
constexpr std::array<std::string_view, 5> QtFlagOptions = {"reverse", "widgetcount", "nograb", "dograb", "sync"};

template <std::size_t N>
bool Contains(const std::array<std::string_view, N>& list, std::string_view s) {
  return std::find(list.begin(), list.end(), s) != list.end();
}

TCommandLine Fail(std::string text) {
  TCommandLine r;
  r.Action = TCommandLine::caError;
  r.Error = std::move(text);
  return r;
}

}  // namespace

TCommandLine ParseCommandLine(const std::vector<std::string>& args) {
  TCommandLine r;
  std::vector<std::string> positional;
  bool optionsDone = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (optionsDone || a.size() < 2 || a[0] != '-') {
      if (!optionsDone && a == "-") return Fail("unknown option -");
      positional.push_back(a);
      continue;
    }
    if (a == "--") {
      optionsDone = true;
    } else if (a == "--help" || a == "-h") {
      TCommandLine help;
      help.Action = TCommandLine::caHelp;
      return help;
    } else if (a == "--version") {
      TCommandLine version;
      version.Action = TCommandLine::caVersion;
      return version;
    } else if (a == "--screenshot") {
      if (i + 1 >= args.size() || args[i + 1].empty()) return Fail("option --screenshot needs a file name");
      r.Screenshot = args[++i];
    } else if (a.rfind("--screenshot=", 0) == 0) {
      if (a.size() == 13) return Fail("option --screenshot needs a file name");
      r.Screenshot = a.substr(13);
    } else {
      // Qt takes its options with one dash or two, and a value after "=" or as the next argument.
      const std::string_view body = std::string_view(a).substr(a[1] == '-' ? 2 : 1);
      const std::string_view name = body.substr(0, body.find('='));
      if (Contains(QtValueOptions, name)) {
        if (name.size() == body.size() && ++i >= args.size()) return Fail("option " + a + " needs a value");
      } else if (!Contains(QtFlagOptions, body)) {
        return Fail("unknown option " + a);
      }
    }
  }
  if (positional.size() > 2) return Fail("too many arguments, from " + positional[2]);
  if (!positional.empty()) {
    if (positional[0].empty()) return Fail("an empty archive name");
    r.Archive = positional[0];
  }
  if (positional.size() == 2) {
    const std::string& page = positional[1];
    const std::size_t hash = page.find('#');
    r.StartMember = page.substr(0, hash);
    if (hash != std::string::npos) r.StartAnchor = page.substr(hash + 1);
    if (r.StartMember.empty() && r.StartAnchor.empty()) return Fail("an empty page name");
  }
  return r;
}

std::string UsageText() {
  return std::string("usage: ") + ProgramName + " [ARCHIVE.zip [MEMBER[#anchor]]] [--screenshot FILE.png]\n" +
         "       " + ProgramName + " --help | --version\n" +
         "\n"
         "Shows the pages of a documentation archive: its navigation page on the left and\n"
         "its content pages on the right.\n"
         "\n"
         "  ARCHIVE.zip            open this archive instead of the one named in KORVAAPILoader.ini\n"
         "                         (the INI file is left as it is)\n"
         "  MEMBER[#anchor]        open this page of the archive and scroll to the anchor, as a\n"
         "                         link to it would; folders may be written with / or \\\n"
         "  --screenshot FILE.png  write the window to a PNG file once its pages are shown, then\n"
         "                         exit; needs no display\n"
         "  --help                 show this help and exit\n"
         "  --version              show the version and exit\n";
}

std::string ShortUsageText() {
  return std::string("usage: ") + ProgramName + " [ARCHIVE.zip [MEMBER[#anchor]]] [--screenshot FILE.png]\n" +
         "Try '" + ProgramName + " --help' for more information.\n";
}

std::string VersionText() { return std::string(ProgramName) + " " + ProgramVersion + "\n"; }

}  // namespace korva
