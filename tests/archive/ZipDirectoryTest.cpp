// Reading the central directory: finding the end record, comments, junk before and after,
// names, folder entries, code pages and damaged directories.
#include "ArchiveFixture.h"
#include "archive/ZipMsg.h"

namespace korva::test {
namespace {

class ZipDirectoryTest : public ArchiveTest {};

// Drops the last n bytes of the central directory (and fixes the size in the end record), so
// the last entry runs past the directory's end.
std::string CutDirectory(const std::string& zip, std::uint32_t n) {
  std::string end = zip.substr(zip.size() - 22);
  std::uint32_t size = std::uint8_t(end[12]) | (std::uint8_t(end[13]) << 8) | (std::uint8_t(end[14]) << 16) |
                       (std::uint32_t(std::uint8_t(end[15])) << 24);
  size -= n;
  for (int i = 0; i < 4; ++i) end[12 + i] = char((size >> (8 * i)) & 0xFF);
  return zip.substr(0, zip.size() - 22 - n) + end;
}

TEST_F(ZipDirectoryTest, ReadsEntriesWithTheirFields) {
  const std::string text = HtmlLikeText(10000);
  Open({{"index.html", text}, {"docs/page.html", "stored", 0}});
  ASSERT_EQ(Zip.Count(), 2);
  EXPECT_EQ(Names(), (std::vector<std::string>{"index.html", "docs\\page.html"}));
  const ZipDirEntry& e = Zip.DirEntry(0);
  EXPECT_EQ(e.FComprMethod, 8);
  EXPECT_EQ(e.FUncompressedSize, 10000u);
  EXPECT_EQ(e.FCompressedSize, Deflate(text).size());
  EXPECT_EQ(e.FCRC32, Crc32(text));
  EXPECT_EQ(e.FHostVersionNo, 3);
  EXPECT_EQ(e.FFileNameLength, 10);
  EXPECT_EQ(e.FDateTime, 0x21000000u);
  EXPECT_EQ(Zip.DirEntry(1).FComprMethod, 0);
  EXPECT_EQ(Zip.DirEntry(1).FRelOffLocalHdr, 30u + 10 + e.FCompressedSize);
  EXPECT_EQ(Zip.SFXOffset(), 0);
  EXPECT_TRUE(Messages.empty());
  EXPECT_EQ(DirUpdates, 1);
  EXPECT_EQ(Cursor, (std::vector<bool>{true, false}));
}

TEST_F(ZipDirectoryTest, CommentsAndTrailingBytes) {
  // A long comment is found by the backward scan.
  TZipOptions withComment;
  withComment.Comment = std::string(1000, 'c');
  Open({{"a.txt", "alpha"}}, withComment);
  EXPECT_EQ(Zip.Count(), 1);
  EXPECT_EQ(Zip.ZipComment(), withComment.Comment);
  EXPECT_TRUE(Messages.empty());

  // Zero padding after the comment is quietly cut off.
  TZipOptions padded = withComment;
  padded.Trailing = std::string(300, '\0');
  std::string path = Open({{"a.txt", "alpha"}}, padded, "b.zip");
  EXPECT_EQ(Zip.Count(), 1);
  EXPECT_TRUE(Messages.empty());
  EXPECT_EQ(Zip.ZipFileSize(), FileSize(path) - 300);
  EXPECT_EQ(Extract("a.txt"), "alpha");

  // Text after the comment is garbage: a warning, and reading goes on.
  TZipOptions garbage = withComment;
  garbage.Trailing = std::string(300, 'g');
  Open({{"a.txt", "alpha"}}, garbage, "c.zip");
  EXPECT_EQ(Zip.Count(), 1);
  EXPECT_EQ(CountCode(zmGarbageWarning), 1);
  EXPECT_EQ(Messages.back().Text, "Warning - Garbage at the end of the zipfile!");

  // 512 zero bytes or more are garbage too.
  Messages.clear();
  TZipOptions longPad;
  longPad.Trailing = std::string(600, '\0');
  Open({{"a.txt", "alpha"}}, longPad, "d.zip");
  EXPECT_EQ(Zip.Count(), 1);
  EXPECT_EQ(CountCode(zmGarbageWarning), 1);
}

TEST_F(ZipDirectoryTest, CommentLengthBeyondTheFileIsCutNotGrown) {
  TZipOptions o;
  o.Comment = "short";
  o.CommentLength = 4000;
  std::string path = Open({{"a.txt", "alpha"}}, o);
  EXPECT_EQ(Zip.Count(), 1);
  EXPECT_EQ(Zip.ZipComment(), "short");
  EXPECT_EQ(Zip.ZipFileSize(), FileSize(path));
  EXPECT_EQ(Extract("a.txt"), "alpha");
}

TEST_F(ZipDirectoryTest, PrependedStubIsReadWithAWarning) {
  TZipOptions o;
  o.Prefix = std::string(4096, 'M');
  Open({{"a.txt", "alpha"}, {"b.txt", HtmlLikeText(3000)}}, o);
  EXPECT_EQ(Zip.Count(), 2);
  EXPECT_EQ(CountCode(zmStructureWarning), 1);
  EXPECT_EQ(Zip.SFXOffset(), 4096);
  EXPECT_EQ(Extract("b.txt"), HtmlLikeText(3000));

  // A stub whose offsets were adjusted reads without a warning.
  Messages.clear();
  o.AdjustOffsets = true;
  Open({{"a.txt", "alpha"}}, o, "b.zip");
  EXPECT_TRUE(Messages.empty());
  EXPECT_EQ(Zip.SFXOffset(), 4096);
  EXPECT_EQ(Extract("a.txt"), "alpha");
}

TEST_F(ZipDirectoryTest, NamesUseBackslashAndMatchWithoutCase) {
  Open({{"docs/", "", 0}, {"docs/page.html", "page"}, {"Docs/Other.HTML", "other"}});
  EXPECT_EQ(Names(), (std::vector<std::string>{"docs\\page.html", "Docs\\Other.HTML"}));
  EXPECT_EQ(Zip.DirOnlyCount(), 1);
  EXPECT_EQ(Zip.FindMember("docs\\page.html"), 0);
  EXPECT_EQ(Zip.FindMember("DOCS\\PAGE.HTML"), 0);
  EXPECT_EQ(Zip.FindMember("docs\\other.html"), 1);
  EXPECT_EQ(Zip.FindMember("docs/page.html"), -1);
  EXPECT_EQ(Zip.FindMember("page.html"), -1);
  EXPECT_EQ(Extract("DOCS\\PAGE.HTML"), "page");

  TZipArchive keep;
  keep.SetUseDirOnlyEntries(true);
  keep.SetZipFileName(Dir / "a.zip");
  EXPECT_EQ(keep.Count(), 3);
  EXPECT_EQ(keep.DirEntry(0).FFileName, "docs\\");
  EXPECT_EQ(keep.DirOnlyCount(), 0);
}

TEST_F(ZipDirectoryTest, OemNamesAreConvertedByHost) {
  // 0x82 is e-acute in the OEM page, 0xE9 in the ANSI page.
  TZipMember dos{"caf\x82.txt", "x", 0};
  dos.Host = 0;
  dos.Comment = "\x82";
  TZipMember unix{"caf\x82.txt", "y", 0};
  TZipMember utf8{"caf\xC3\xA9.txt", "z", 0};
  utf8.Host = 0;
  utf8.Flags = 0x0800;
  TZipMember hpfs{"h\x82.txt", "h", 0};
  hpfs.Host = 6;
  std::string path = Open({dos, unix, utf8, hpfs});
  EXPECT_EQ(Names(), (std::vector<std::string>{"caf\xE9.txt", "caf\x82.txt", "caf\xC3\xA9.txt", "h\xE9.txt"}));
  EXPECT_EQ(Zip.DirEntry(0).FFileComment, "\xE9");
  // The converted name still reaches the right member through the library.
  EXPECT_EQ(Extract("CAF\xC9.TXT"), "x");

  TZipArchive none;
  none.SetCodePage(cpNone);
  none.SetZipFileName(path);
  EXPECT_EQ(none.DirEntry(0).FFileName, "caf\x82.txt");
  EXPECT_EQ(none.DirEntry(3).FFileName, "h\xE9.txt");
  TZipArchive oem;
  oem.SetCodePage(cpOEM);
  oem.SetZipFileName(path);
  EXPECT_EQ(oem.DirEntry(1).FFileName, "caf\xE9.txt");
}

TEST_F(ZipDirectoryTest, MissingArchiveIsQuiet) {
  Zip.SetZipFileName(Dir / "missing.zip");
  EXPECT_EQ(Zip.Count(), 0);
  EXPECT_TRUE(Messages.empty());
  EXPECT_EQ(DirUpdates, 1);
  Zip.SetZipFileName(Dir / "missing.txt");
  EXPECT_EQ(Zip.Count(), 0);
  EXPECT_TRUE(Messages.empty());
}

TEST_F(ZipDirectoryTest, FileThatIsNotAnArchiveIsReportedOnce) {
  std::string path = Dir.Write("notes.zip", std::string(5000, 'x'));
  Zip.SetZipFileName(path);
  EXPECT_EQ(Zip.Count(), 0);
  ASSERT_EQ(Messages.size(), 1u);
  EXPECT_EQ(Messages[0].Code, zmNotZip);
  EXPECT_EQ(Dialogs, (std::vector<std::string>{"This archive is not a valid Zip archive"}));
  EXPECT_EQ(DirUpdates, 0);
  // Tiny files: no end record fits.
  Messages.clear();
  Zip.SetZipFileName(Dir.Write("empty.zip", ""));
  EXPECT_EQ(CountCode(zmNotZip), 1);
}

TEST_F(ZipDirectoryTest, EmptyArchiveHasNoEntries) {
  std::string path = Open({});
  EXPECT_EQ(FileSize(path), 22);
  EXPECT_EQ(Zip.Count(), 0);
  EXPECT_EQ(Zip.SFXOffset(), 0);
  EXPECT_TRUE(Messages.empty());
}

TEST_F(ZipDirectoryTest, SplitPartIsFoundBesideAMissingArchive) {
  Dir.Write("set001.zip", BuildZip({{"a.txt", "alpha"}}));
  Zip.SetZipFileName(Dir / "set.zip");
  EXPECT_EQ(Zip.Count(), 1);
  EXPECT_EQ(Extract("a.txt"), "alpha");
}

TEST_F(ZipDirectoryTest, DamagedDirectoriesGiveNumberedMessages) {
  struct TCase {
    const char* What;
    std::vector<TZipMember> Members;
    TZipOptions Options;
    int Code;
    int KeptEntries;
  };
  TZipOptions dirTooBig;
  dirTooBig.DirSize = 0x7FFFFFF0;
  TZipOptions tooManyEntries;
  tooManyEntries.EntryCount = 3;
  TZipOptions wrongSignature;
  wrongSignature.EntryCount = 2;
  wrongSignature.DirPadding = std::string(46, 'Z');
  TZipOptions spanned;
  spanned.Disk = 2;
  TZipMember longName{"name.txt", "x", 0};
  TZipMember badComment{"c.txt", "x", 0};
  badComment.Comment = "comment";
  std::vector<TCase> cases = {
      {"directory larger than the file", {{"a.txt", "x"}}, dirTooBig, zmDirOutside, 0},
      {"more entries than the directory holds", {{"a.txt", "x"}, {"b.txt", "y"}}, tooManyEntries, zmReadCentral, 2},
      {"bytes that are no central header", {{"a.txt", "x"}}, wrongSignature, zmCentralSignature, 1},
      {"directory on another disk", {{"a.txt", "x"}}, spanned, zmSpanned, 0},
  };
  for (TCase& c : cases) {
    SCOPED_TRACE(c.What);
    Messages.clear();
    Open(c.Members, c.Options, std::string(c.What) + ".zip");
    EXPECT_EQ(CountCode(c.Code), 1);
    EXPECT_EQ(Zip.Count(), c.KeptEntries);
  }

  // A name, extra field or comment running past the end of the directory: the entries read
  // before it stay.
  struct TTail {
    TZipMember Member;
    int Code;
  };
  TZipMember withExtra{"e.txt", "x", 0};
  withExtra.Extra = std::string(8, 'E');
  std::vector<TTail> tails = {{longName, zmReadCentralName}, {withExtra, zmSeekDirError}, {badComment, zmReadComment}};
  for (TTail& t : tails) {
    SCOPED_TRACE(t.Member.Name);
    Messages.clear();
    DirUpdates = 0;
    Zip.SetZipFileName(Dir.Write(t.Member.Name + ".zip", CutDirectory(BuildZip({{"first.txt", "1", 0}, t.Member}), 3)));
    EXPECT_EQ(CountCode(t.Code), 1);
    EXPECT_EQ(Names(), (std::vector<std::string>{"first.txt"}));
    EXPECT_EQ(DirUpdates, 1);
  }
}

TEST_F(ZipDirectoryTest, ActivationPerformsTheRememberedRead) {
  std::string path = Dir.Write("a.zip", BuildZip({{"a.txt", "alpha"}}));
  TZipArchive zip;
  zip.SetActive(false);
  zip.SetZipFileName(path);
  EXPECT_EQ(zip.Count(), 0);
  EXPECT_EQ(zip.ExtractMemberToStream("a.txt"), nullptr);
  zip.SetActive(true);
  EXPECT_EQ(zip.Count(), 1);
  zip.SetActive(false);
  EXPECT_EQ(zip.Count(), 1);  // deactivation keeps the list
}

TEST_F(ZipDirectoryTest, ManyEntriesReportProgressAndPumpNowAndThen) {
  std::vector<TZipMember> members;
  for (int i = 0; i < 3000; ++i) members.push_back({"p" + std::to_string(i) + ".html", "x", 0});
  int updates = 0;
  Zip.FEvents.OnProgress = [&](TZipArchive*, TZipProgressType t, const std::string& name, std::int64_t size) {
    if (t == ptNewFile) {
      EXPECT_EQ(name, "*Loading Directory");
      EXPECT_EQ(size, 3000);
    }
    if (t == ptProgressUpdate) ++updates;
  };
  Open(members);
  EXPECT_EQ(Zip.Count(), 3000);
  EXPECT_EQ(updates, 3000);
  EXPECT_GE(Pumps, 1);
  EXPECT_LT(Pumps, 3000);
}

TEST_F(ZipDirectoryTest, CancelEndsTheRead) {
  std::vector<TZipMember> members;
  for (int i = 0; i < 10; ++i) members.push_back({"p" + std::to_string(i), "x", 0});
  int seen = 0;
  Zip.FEvents.OnCheckTerminate = [&](TZipArchive*, bool& abort) { abort = ++seen == 4; };
  Open(members);
  EXPECT_EQ(CountCode(zmUserCancelled), 1);
  EXPECT_EQ(Zip.Count(), 3);
}

}  // namespace
}  // namespace korva::test
