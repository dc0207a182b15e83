// Shared set-up of the archive tests: a component wired to recording shell services.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "ZipWriter.h"
#include "archive/ZipArchive.h"

namespace korva::test {

struct TMsg {
  int Code;
  std::string Text;
};

class ArchiveTest : public ::testing::Test {
 protected:
  TTempDir Dir;
  TZipArchive Zip;
  std::vector<TMsg> Messages;
  std::vector<std::string> Dialogs;
  std::vector<bool> Cursor;
  int Pumps = 0;
  int DirUpdates = 0;

  ArchiveTest() {
    Zip.FEvents.OnMessage = [this](TZipArchive*, int code, const std::string& text) {
      Messages.push_back({code, text});
    };
    Zip.FEvents.OnDirUpdate = [this](TZipArchive*) { ++DirUpdates; };
    TZipUserInterface ui;
    ui.ShowMessage = [this](const std::string& text) { Dialogs.push_back(text); };
    ui.ProcessMessages = [this] { ++Pumps; };
    ui.SetBusyCursor = [this](bool busy) { Cursor.push_back(busy); };
    Zip.SetUserInterface(ui);
    Zip.SetDLLDirectory(KORVA_BIN_DIR);
  }

  // Writes the archive and reads its directory.
  std::string Open(const std::vector<TZipMember>& members, const TZipOptions& options = {},
                   const std::string& name = "a.zip") {
    std::string path = Dir.Write(name, BuildZip(members, options));
    Zip.SetZipFileName(path);
    return path;
  }

  // The extracted bytes, or nothing.
  std::optional<std::string> Extract(const std::string& member) {
    TZipStream* s = Zip.ExtractMemberToStream(member);
    if (!s) return std::nullopt;
    EXPECT_EQ(s->Position(), 0);
    return std::string(s->Bytes());
  }

  int CountCode(int code) const {
    int n = 0;
    for (const TMsg& m : Messages)
      if (m.Code == code) ++n;
    return n;
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> r;
    for (int i = 0; i < Zip.Count(); ++i) r.push_back(Zip.DirEntry(i).FFileName);
    return r;
  }
};

}  // namespace korva::test
