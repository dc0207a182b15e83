// The program's command line:
//   korva-api-loader [ARCHIVE.zip [MEMBER[#anchor]]] [--screenshot FILE.png]
// plus --help and --version. Qt's own options (-platform NAME and the like) are passed over and
// left for the application object.
#pragma once

#include <string>
#include <vector>

namespace korva {

constexpr const char* ProgramName = "korva-api-loader";
// Kept in step with the version of the project in the top-level CMakeLists.txt.
constexpr const char* ProgramVersion = "0.1";

struct TCommandLine {
  enum TAction {
    caRun,      // open the window (or write the screenshot)
    caHelp,     // usage on standard output, exit 0
    caVersion,  // name and version on standard output, exit 0
    caError     // Error and the short usage on standard error, exit 2
  };
  TAction Action = caRun;
  std::string Error;
  // Empty: the archive named by the INI file.
  std::string Archive;
  // The page to open as a link click would (empty: the start page), and its anchor without "#".
  std::string StartMember;
  std::string StartAnchor;
  std::string Screenshot;
};

// args are the program's arguments without the program name.
TCommandLine ParseCommandLine(const std::vector<std::string>& args);
// The full help, for --help.
std::string UsageText();
// The synopsis and a pointer to --help, for errors.
std::string ShortUsageText();
std::string VersionText();

}  // namespace korva
