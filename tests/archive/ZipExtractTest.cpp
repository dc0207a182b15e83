// Extraction into the component's stream through the unzip library: results, messages,
// library loading, damaged members and re-entry.
#include <cstdlib>
#include <filesystem>

#include "ArchiveFixture.h"
#include "archive/ZipMsg.h"
#include "platform/System.h"

namespace korva::test {
namespace {

class ZipExtractTest : public ArchiveTest {};

TEST_F(ZipExtractTest, ExtractsStoredAndDeflatedMembers) {
  const std::string big = HtmlLikeText(2 * 1024 * 1024 + 3);
  Open({{"index.html", "<title>Index</title>"}, {"big.html", big}, {"raw.bin", std::string("\0\1\2\3", 4), 0}});
  TZipStream* s = Zip.ExtractMemberToStream("BIG.html");
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->Size(), std::int64_t(big.size()));
  EXPECT_EQ(s->Position(), 0);
  char first[5] = {};
  EXPECT_EQ(s->Read(first, 4), 4u);
  EXPECT_EQ(std::string(first), big.substr(0, 4));
  EXPECT_EQ(s->Bytes(), big);
  EXPECT_EQ(Extract("raw.bin"), std::string("\0\1\2\3", 4));
  EXPECT_EQ(Extract("index.html"), "<title>Index</title>");
  EXPECT_TRUE(Messages.empty());
  EXPECT_TRUE(Dialogs.empty());
  EXPECT_GE(Pumps, 1);
  // Busy periods balance.
  int depth = 0;
  for (bool b : Cursor) depth += b ? 1 : -1;
  EXPECT_EQ(depth, 0);
}

TEST_F(ZipExtractTest, ZeroLengthMemberGivesAnEmptyStream) {
  Open({{"empty.txt", "", 0}, {"empty.z", "", 8}});
  TZipStream* s = Zip.ExtractMemberToStream("empty.txt");
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->Size(), 0);
  EXPECT_EQ(Extract("empty.z"), "");
}

TEST_F(ZipExtractTest, NextExtractionEmptiesTheStream) {
  Open({{"a.txt", "alpha"}, {"b.txt", "bravo"}});
  TZipStream* a = Zip.ExtractMemberToStream("a.txt");
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(Zip.ExtractMemberToStream("nothing.txt"), nullptr);
  EXPECT_EQ(a->Size(), 0);
  TZipStream* b = Zip.ExtractMemberToStream("b.txt");
  EXPECT_EQ(a, b);
  EXPECT_EQ(b->Bytes(), "bravo");
}

TEST_F(ZipExtractTest, AbsentMemberIsQuietAndNeverLoadsTheLibrary) {
  Open({{"a.txt", "alpha"}});
  Zip.SetVerbose(true);
  EXPECT_EQ(Extract("b.txt"), std::nullopt);
  EXPECT_TRUE(Dialogs.empty());
  for (const TMsg& m : Messages) EXPECT_EQ(m.Text.find("Loaded "), std::string::npos) << m.Text;
  EXPECT_EQ(Extract(""), std::nullopt);
  EXPECT_EQ(CountCode(zmNothingToZip), 1);
}

TEST_F(ZipExtractTest, VerboseReportsLoadingAndUnloading) {
  Open({{"a.txt", "alpha"}});
  Zip.SetVerbose(true);
  EXPECT_EQ(Extract("a.txt"), "alpha");
  std::vector<std::string> texts;
  for (const TMsg& m : Messages)
    if (m.Code == 0) texts.push_back(m.Text);
  const std::string lib = std::filesystem::canonical(std::string(KORVA_BIN_DIR) + "/libunzlib.so").string();
  ASSERT_GE(texts.size(), 2u);
  EXPECT_EQ(texts.front(), "Loaded " + lib);
  EXPECT_EQ(texts.back(), "Unloaded " + lib);
  EXPECT_TRUE(Dialogs.empty());
  EXPECT_FALSE(Zip.Worker().UnzLib().Loaded());
}

TEST_F(ZipExtractTest, MissingArchiveReportsOnEveryExtraction) {
  Zip.SetZipFileName(Dir / "Korva_API.zip");
  EXPECT_TRUE(Messages.empty());
  EXPECT_EQ(Extract("a.txt"), std::nullopt);
  EXPECT_EQ(Extract("a.txt"), std::nullopt);
  EXPECT_EQ(CountCode(zmCannotOpen), 2);
  EXPECT_EQ(Dialogs, (std::vector<std::string>(2, "Zip file could not be opened")));
  // So does an archive without members: each extraction reads the directory again.
  Messages.clear();
  Open({});
  EXPECT_EQ(Extract("a.txt"), std::nullopt);
  EXPECT_EQ(Extract("a.txt"), std::nullopt);
  EXPECT_EQ(CountCode(zmCannotOpen), 2);
  // And no name at all.
  Messages.clear();
  TZipArchive unnamed;
  unnamed.FEvents.OnMessage = Zip.FEvents.OnMessage;
  EXPECT_EQ(unnamed.ExtractMemberToStream("a.txt"), nullptr);
  EXPECT_EQ(CountCode(zmNoZipSpecified), 1);
}

TEST_F(ZipExtractTest, MissingLibraryIsReportedPerExtraction) {
  Open({{"a.txt", "alpha"}});
  TZipLibLoader::SetUnzLibFileNameForTests("libunzlib-missing.so");
  EXPECT_EQ(Extract("a.txt"), std::nullopt);
  EXPECT_EQ(Extract("a.txt"), std::nullopt);
  TZipLibLoader::SetUnzLibFileNameForTests("");
  EXPECT_EQ(Dialogs, (std::vector<std::string>(2, "Failed to load libunzlib-missing.so")));
  EXPECT_EQ(CountCode(zmLoadFailed), 2);
  EXPECT_EQ(Zip.Worker().ZipStream().Size(), 0);
  // The library is back.
  EXPECT_EQ(Extract("a.txt"), "alpha");
}

TEST_F(ZipExtractTest, LibraryIsFoundInTheFolderBesideTheProgramOrOnTheRunPath) {
  Open({{"a.txt", "alpha"}});
  // "." means the program's folder.
  SetProgramDirForTests(KORVA_BIN_DIR);
  Zip.SetDLLDirectory(".");
  EXPECT_EQ(Extract("a.txt"), "alpha");
  SetProgramDirForTests("");
  // A folder without the library: the plain name goes through the run path.
  Zip.SetDLLDirectory(Dir.Path());
  EXPECT_EQ(Extract("a.txt"), "alpha");
  Zip.SetDLLDirectory("");
  EXPECT_EQ(Extract("a.txt"), "alpha");
  EXPECT_TRUE(Messages.empty());
}

TEST_F(ZipExtractTest, OldLibraryIsRefused) {
  Open({{"a.txt", "alpha"}});
  Zip.SetDLLDirectory(KORVA_FAKE_UNZLIB_DIR);
  const std::string lib = std::filesystem::canonical(std::string(KORVA_FAKE_UNZLIB_DIR) + "/libunzlib.so").string();
  setenv("KORVA_FAKE_UNZLIB_VERSION", "177", 1);
  EXPECT_EQ(Extract("a.txt"), std::nullopt);
  EXPECT_EQ(Dialogs, (std::vector<std::string>{"Unable to load " + lib + " - It is old or corrupt"}));
  setenv("KORVA_FAKE_UNZLIB_VERSION", "301", 1);
  EXPECT_EQ(Extract("a.txt"), std::nullopt);
  EXPECT_EQ(CountCode(zmLibTooOld), 2);
  unsetenv("KORVA_FAKE_UNZLIB_VERSION");
  EXPECT_FALSE(Zip.Worker().UnzLib().Loaded());
}

TEST_F(ZipExtractTest, LibraryFailuresMapToTheirTexts) {
  Open({{"a.txt", "alpha"}});
  Zip.SetDLLDirectory(KORVA_FAKE_UNZLIB_DIR);
  setenv("KORVA_FAKE_UNZLIB_VERSION", "178", 1);
  const std::pair<const char*, const char*> cases[] = {
      {"-1", "DLL Error - Aborting"},          {"-2", "DLL Error - Aborting"},
      {"-3", "DLL Error - Busy"},              {"-4", "DLL Error - User Cancelled"},
      {"-5", "DLL Error - Not enough memory"}, {"-6", "DLL Error - Invalid structure"},
      {"-8", "DLL Error - Exception in handler "}, {"-7", "critical DLL Error -7"},
      {"-99", "critical DLL Error -99"}};
  for (const auto& [result, text] : cases) {
    SCOPED_TRACE(result);
    Dialogs.clear();
    setenv("KORVA_FAKE_UNZLIB_RESULT", result, 1);
    EXPECT_EQ(Extract("a.txt"), std::nullopt);
    EXPECT_EQ(Dialogs, (std::vector<std::string>{text}));
  }
  // Two members "done" for one asked is no result either.
  setenv("KORVA_FAKE_UNZLIB_RESULT", "2", 1);
  EXPECT_EQ(Extract("a.txt"), std::nullopt);
  unsetenv("KORVA_FAKE_UNZLIB_RESULT");
  unsetenv("KORVA_FAKE_UNZLIB_VERSION");
}

TEST_F(ZipExtractTest, DamagedMembersGiveOneMessageAndNoStream) {
  const std::string text = HtmlLikeText(5000);
  const std::string packed = Deflate(text);
  TZipMember badCrc{"crc.txt", text};
  badCrc.Crc = 0xDEADBEEF;
  TZipMember tooLong{"long.txt", text};
  tooLong.Size = 4000;
  TZipMember tooShort{"short.txt", text};
  tooShort.Size = 6000;
  TZipMember cut{"cut.txt", text};
  cut.RawData = packed.substr(0, packed.size() / 2);
  TZipMember local{"local.txt", "abc", 0};
  local.LocalName = "lokal.txt";
  TZipMember encrypted{"enc.txt", "secret", 0};
  encrypted.Flags = 1;
  TZipMember method{"bzip.txt", "abc", 12};
  TZipMember huge{"huge.txt", "abc", 0};
  huge.Size = 257u * 1024 * 1024;
  TZipMember ratio{"ratio.txt", text};
  ratio.Size = 100u * 1024 * 1024;
  TZipMember storedLie{"stored.txt", "abc", 0};
  storedLie.Size = 100000;
  TZipMember outside{"outside.txt", "abc", 0};
  outside.LocalOffset = 0x00FFFFFF;
  Open({badCrc, tooLong, tooShort, cut, local, encrypted, method, huge, ratio, storedLie, outside});
  const std::pair<const char*, std::string> cases[] = {
      {"crc.txt", "CRC error: crc.txt"},
      {"long.txt", "Extracted size does not match the declared size: long.txt"},
      {"short.txt", "Extracted size does not match the declared size: short.txt"},
      {"cut.txt", "Compressed data is damaged: cut.txt"},
      {"local.txt", "Local header does not match the central directory: local.txt"},
      {"enc.txt", "Member is encrypted: enc.txt"},
      {"bzip.txt", "Compression method not supported: bzip.txt (method 12)"},
      {"huge.txt", "Member is larger than the size limit: huge.txt"},
      {"ratio.txt", "Declared size cannot come from the compressed data: ratio.txt"},
      {"stored.txt", "Declared size cannot come from the compressed data: stored.txt"},
      {"outside.txt", "Member data lies outside the archive: outside.txt"}};
  for (const auto& [name, text] : cases) {
    SCOPED_TRACE(name);
    Dialogs.clear();
    EXPECT_EQ(Extract(name), std::nullopt);
    ASSERT_EQ(Dialogs.size(), 1u);
    EXPECT_EQ(Dialogs[0].substr(0, text.size()), text);
    EXPECT_EQ(Zip.Worker().ZipStream().Size(), 0);
  }
}

TEST_F(ZipExtractTest, CrcHandlerMayKeepTheBytes) {
  TZipMember badCrc{"crc.txt", "payload"};
  badCrc.Crc = 1;
  Open({badCrc});
  std::uint32_t found = 0, stored = 0;
  Zip.FEvents.OnCRC32Error = [&](TZipArchive*, const std::string& name, std::uint32_t f, std::uint32_t s, bool& keep) {
    EXPECT_EQ(name, "crc.txt");
    found = f;
    stored = s;
    keep = true;
  };
  EXPECT_EQ(Extract("crc.txt"), "payload");
  EXPECT_EQ(found, Crc32("payload"));
  EXPECT_EQ(stored, 1u);
}

TEST_F(ZipExtractTest, SkippedMemberGoesToOnExtractSkippedOrOnMessage) {
  TZipMember enc{"sub/enc.txt", "x", 0};
  enc.Flags = 1;
  Open({enc});
  EXPECT_EQ(Extract("sub\\enc.txt"), std::nullopt);
  ASSERT_EQ(CountCode(zmSkipped), 1);
  for (const TMsg& m : Messages) {
    if (m.Code == zmSkipped) {
      EXPECT_EQ(m.Text, "Skipped sub\\enc.txt 1");
    }
  }
  int reason = -1;
  Zip.FEvents.OnExtractSkipped = [&](TZipArchive*, const std::string& name, int r, int) {
    EXPECT_EQ(name, "sub\\enc.txt");
    reason = r;
  };
  EXPECT_EQ(Extract("sub\\enc.txt"), std::nullopt);
  EXPECT_EQ(reason, 1);
}

TEST_F(ZipExtractTest, UnattendedShowsNoDialogs) {
  TZipMember badCrc{"crc.txt", "payload"};
  badCrc.Crc = 1;
  Open({badCrc});
  Zip.SetUnattended(true);
  EXPECT_EQ(Extract("crc.txt"), std::nullopt);
  Zip.SetZipFileName(Dir / "missing.zip");
  EXPECT_EQ(Extract("crc.txt"), std::nullopt);
  EXPECT_TRUE(Dialogs.empty());
  EXPECT_EQ(CountCode(zmUnattendedWarning), 1);  // no password and nobody to ask for one
  EXPECT_EQ(CountCode(zmCannotOpen), 1);
  EXPECT_GE(Messages.size(), 3u);
}

TEST_F(ZipExtractTest, NestedOperationsAreRefused) {
  Open({{"a.txt", HtmlLikeText(3 * 1024 * 1024)}, {"b.txt", "bravo"}});
  TZipStream* nested = reinterpret_cast<TZipStream*>(1);
  int calls = 0;
  TZipUserInterface ui;
  ui.ProcessMessages = [&] {
    if (calls++ == 0) {
      nested = Zip.ExtractMemberToStream("b.txt");
      Zip.SetZipFileName(Dir / "other.zip");
    }
  };
  Zip.SetUserInterface(ui);
  EXPECT_EQ(Extract("a.txt"), HtmlLikeText(3 * 1024 * 1024));
  EXPECT_EQ(nested, nullptr);
  EXPECT_EQ(Zip.ReEntries(), 2);
  EXPECT_EQ(Zip.ZipFileName(), Dir / "a.zip");
  EXPECT_EQ(Extract("b.txt"), "bravo");
}

TEST_F(ZipExtractTest, HandlerExceptionStopsTheExtraction) {
  Open({{"a.txt", "alpha"}});
  Zip.FEvents.OnProgress = [](TZipArchive*, TZipProgressType t, const std::string&, std::int64_t) {
    if (t == ptNewFile) throw std::runtime_error("handler failed");
  };
  EXPECT_EQ(Extract("a.txt"), std::nullopt);
  ASSERT_EQ(Dialogs.size(), 1u);
  EXPECT_EQ(Dialogs[0], "DLL Error - Exception in handler handler failed [action 1]");
}

TEST_F(ZipExtractTest, CheckTerminateCancels) {
  Open({{"a.txt", HtmlLikeText(2 * 1024 * 1024)}});
  Zip.FEvents.OnCheckTerminate = [](TZipArchive*, bool& abort) { abort = true; };
  EXPECT_EQ(Extract("a.txt"), std::nullopt);
  EXPECT_EQ(Dialogs, (std::vector<std::string>{"DLL Error - User Cancelled"}));
}

TEST_F(ZipExtractTest, DataDescriptorAndPrependedStub) {
  TZipMember dd{"dd.html", HtmlLikeText(20000)};
  dd.DataDescriptor = true;
  TZipOptions o;
  o.Prefix = "#!/bin/sh\nexit 0\n";
  Open({dd, {"s.txt", "stored", 0}}, o);
  EXPECT_EQ(Extract("dd.html"), dd.Data);
  EXPECT_EQ(Extract("S.TXT"), "stored");
}

TEST_F(ZipExtractTest, ArchiveReplacedAfterReadingIsNotMisread) {
  // The directory was read from one archive; by extraction time the file holds another.
  // The library reads the file as it is now: a member still there comes whole from the new
  // archive (the buffer resized to its new length), never bytes of the old one read at the old
  // offsets.
  std::string path = Open({{"a.txt", "alpha"}, {"b.txt", "bravo"}});
  WriteFile(path, BuildZip({{"c.txt", "charlie"}, {"a.txt", "ALPHA!"}}));
  EXPECT_EQ(Extract("a.txt"), "ALPHA!");
  EXPECT_TRUE(Messages.empty());
  EXPECT_TRUE(Dialogs.empty());
  // A member that is gone is not found, and says so.
  EXPECT_EQ(Extract("b.txt"), std::nullopt);
  EXPECT_EQ(Dialogs, (std::vector<std::string>{"Member not found: b.txt"}));
  // A member only the new archive has is not in the directory read before: quietly nothing.
  Dialogs.clear();
  EXPECT_EQ(Extract("c.txt"), std::nullopt);
  EXPECT_TRUE(Dialogs.empty());
}

TEST_F(ZipExtractTest, StreamAdoptsOutsideMemory) {
  TZipStream s;
  char buffer[4] = {'a', 'b', 'c', 'd'};
  s.SetPointer(buffer, 4);
  EXPECT_EQ(s.Bytes(), "abcd");
  s.Seek(0, soFromEnd);
  EXPECT_EQ(s.Write("e", 1), 1u);  // grows into memory of its own
  EXPECT_EQ(s.Bytes(), "abcde");
  EXPECT_EQ(std::string(buffer, 4), "abcd");
  s.SetPosition(1);
  char two[2];
  EXPECT_EQ(s.Read(two, 2), 2u);
  EXPECT_EQ(std::string(two, 2), "bc");
  EXPECT_FALSE(s.SetSize(-1));
}

}  // namespace
}  // namespace korva::test
