// Switches LC_NUMERIC to a locale whose decimal separator is a comma for the life of the
// object, as Qt does for a German user at start-up, so that tests can show numbers are read
// without the C locale.
#pragma once

#include <clocale>
#include <cstring>
#include <string>

namespace korva::test {

class TCommaLocale {
 public:
  TCommaLocale() {
    const char* old = std::setlocale(LC_NUMERIC, nullptr);
    FOld = old ? old : "C";
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8", "nl_NL.UTF-8", "ru_RU.UTF-8",
                             "de_DE", "de_DE@euro"}) {
      if (std::setlocale(LC_NUMERIC, name) && std::strcmp(std::localeconv()->decimal_point, ",") == 0) {
        FName = name;
        return;
      }
    }
    std::setlocale(LC_NUMERIC, FOld.c_str());
  }
  ~TCommaLocale() { std::setlocale(LC_NUMERIC, FOld.c_str()); }
  TCommaLocale(const TCommaLocale&) = delete;
  TCommaLocale& operator=(const TCommaLocale&) = delete;

  bool Active() const { return !FName.empty(); }
  const std::string& Name() const { return FName; }
  // What to install when no comma locale exists (the install script provides it).
  static constexpr const char* Missing =
      "no locale with a decimal comma is installed: install the Debian package 'locales' and run "
      "'localedef -i de_DE -f UTF-8 de_DE.UTF-8' (scripts/install-deps.sh does both)";

 private:
  std::string FOld;
  std::string FName;
};

}  // namespace korva::test
