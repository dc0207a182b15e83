// The unzip library through its entry points, with a recording call-back.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>
#include <vector>

#include "../archive/ZipWriter.h"
#include "unzlib/UnzLib.h"

extern "C" {
std::int32_t UnzLibExec(korva::TUnzParams* params);
std::uint32_t GetUnzLibVersion();
std::uint32_t GetUnzLibPrivVersion();
}

namespace korva {
namespace {

using test::BuildZip;
using test::TZipMember;
using test::TZipOptions;

struct TCall {
  int Action, MsgNo, TextPos;
  std::string Text;
  std::int32_t Arg1;
  std::int64_t Arg2;
};

// The caller side: records every call-back and answers as told.
struct TRecorder {
  std::vector<TCall> Calls;
  std::vector<char> Resized;  // memory handed out for a resize request
  bool FailResize = false;
  std::int32_t CrcAnswer = unzCrcNoHandler;
  std::uint32_t StopAt = 0xFFFFFFFF;  // answer non-zero at this call-back
  std::uint32_t StopAnswer = 1;

  std::vector<TCall> Of(int action) const {
    std::vector<TCall> r;
    for (const TCall& c : Calls)
      if (c.Action == action) r.push_back(c);
    return r;
  }
};

std::uint32_t Record(TUnzCallbackRec* rec) {
  auto* r = static_cast<TRecorder*>(rec->FCaller);
  TCall c{rec->FActionCode & UnzActionMask, int(std::uint32_t(rec->FActionCode) >> 16),
          (rec->FActionCode >> 8) & 0xFF, rec->Text(), rec->FArg1, rec->FArg2};
  r->Calls.push_back(c);
  if (c.Action == zacStream) {
    if (r->FailResize) {
      rec->FArg1 = 1;
    } else {
      r->Resized.assign(std::size_t(c.Arg2), '\0');
      rec->FArg2 = std::int64_t(reinterpret_cast<std::intptr_t>(r->Resized.data()));
    }
  }
  if (c.Action == zacCRCError) rec->FArg1 = r->CrcAnswer;
  if (r->Calls.size() - 1 == r->StopAt) return r->StopAnswer;
  return 0;
}

class UnzLibTest : public ::testing::Test {
 protected:
  test::TTempDir Dir;
  TRecorder Rec;
  std::vector<char> Out;
  std::string Spec;
  TUnzFileSpec Specs[1] = {};
  std::string Path;

  TUnzParams Params(const std::string& archive, const std::string& member, std::size_t outSize) {
    Path = archive;
    Spec = member;
    Specs[0].FFileSpec = Spec.c_str();
    Out.assign(outSize, '\0');
    TUnzParams p;
    p.FCaller = &Rec;
    p.FCallback = &Record;
    p.FVersion = 178;
    p.FZipFileName = Path.c_str();
    p.FArgc = 1;
    p.FFileSpecs = Specs;
    p.FUseOutStream = UnzTrue;
    p.FOutStream = Out.data();
    p.FOutStreamSize = std::uint32_t(outSize);
    p.FSeven = UnzCheckValue;
    return p;
  }
  std::string Write(const std::vector<TZipMember>& m, const TZipOptions& o = {}) {
    return Dir.Write("a.zip", BuildZip(m, o));
  }
};

TEST_F(UnzLibTest, ReportsItsVersion) {
  EXPECT_EQ(GetUnzLibVersion(), 178u);
  EXPECT_GT(GetUnzLibPrivVersion(), 0u);
}

TEST_F(UnzLibTest, RefusesRecordsItCannotTrust) {
  EXPECT_EQ(UnzLibExec(nullptr), unzBadStructure);
  std::string a = Write({{"a.txt", "hello"}});
  TUnzParams p = Params(a, "a.txt", 5);
  p.FSeven = 0;
  EXPECT_EQ(UnzLibExec(&p), unzBadStructure);
  p = Params(a, "a.txt", 5);
  p.FUseOutStream = 0;  // writing files is not offered
  EXPECT_EQ(UnzLibExec(&p), unzBadStructure);
  p = Params(a, "a.txt", 5);
  p.FArgc = 2;  // one member into one buffer
  EXPECT_EQ(UnzLibExec(&p), unzBadStructure);
  EXPECT_TRUE(Rec.Calls.empty());
}

TEST_F(UnzLibTest, InflatesIntoTheCallersBuffer) {
  const std::string text = test::HtmlLikeText(3 * 1024 * 1024 + 17);
  std::string a = Write({{"docs/big.html", text}, {"s.txt", "stored bytes", 0}});
  TUnzParams p = Params(a, "DOCS\\Big.HTML", text.size());
  ASSERT_EQ(UnzLibExec(&p), 1);
  EXPECT_EQ(std::string(Out.data(), Out.size()), text);
  EXPECT_TRUE(Rec.Of(zacStream).empty());
  ASSERT_EQ(Rec.Of(zacItem).size(), 1u);
  EXPECT_EQ(Rec.Of(zacItem)[0].Text, "docs/big.html");
  EXPECT_EQ(Rec.Of(zacItem)[0].Arg2, std::int64_t(text.size()));
  std::int64_t progress = 0;
  for (const TCall& c : Rec.Of(zacProgress)) progress += c.Arg2;
  EXPECT_EQ(progress, std::int64_t(text.size()));
  EXPECT_EQ(Rec.Of(zacEndOfBatch).size(), 1u);

  Rec.Calls.clear();
  p = Params(a, "s.txt", 12);
  ASSERT_EQ(UnzLibExec(&p), 1);
  EXPECT_EQ(std::string(Out.data(), Out.size()), "stored bytes");
}

TEST_F(UnzLibTest, AsksForAResizeWhenTheBufferDoesNotFit) {
  std::string a = Write({{"a.txt", "twelve bytes"}});
  TUnzParams p = Params(a, "a.txt", 3);
  ASSERT_EQ(UnzLibExec(&p), 1);
  ASSERT_EQ(Rec.Of(zacStream).size(), 1u);
  EXPECT_EQ(Rec.Of(zacStream)[0].Arg2, 12);
  EXPECT_EQ(std::string(Rec.Resized.data(), Rec.Resized.size()), "twelve bytes");

  Rec = TRecorder();
  Rec.FailResize = true;
  p = Params(a, "a.txt", 3);
  EXPECT_EQ(UnzLibExec(&p), unzNoMemory);
}

TEST_F(UnzLibTest, ZeroLengthMemberNeedsNoBuffer) {
  std::string a = Write({{"empty.txt", "", 0}, {"empty2.txt", "", 8}});
  TUnzParams p = Params(a, "empty.txt", 0);
  p.FOutStream = nullptr;
  EXPECT_EQ(UnzLibExec(&p), 1);
  p = Params(a, "empty2.txt", 0);
  p.FOutStream = nullptr;
  EXPECT_EQ(UnzLibExec(&p), 1);
  EXPECT_TRUE(Rec.Of(zacStream).empty());
}

TEST_F(UnzLibTest, CrcErrorIsAskedThenReportedAndSkipped) {
  TZipMember member{"a.txt", "some text here"};
  member.Crc = 0x12345678u;
  std::string a = Write({member});
  TUnzParams p = Params(a, "a.txt", 14);
  EXPECT_EQ(UnzLibExec(&p), 0);
  ASSERT_EQ(Rec.Of(zacCRCError).size(), 1u);
  EXPECT_EQ(std::uint32_t(Rec.Of(zacCRCError)[0].Arg1), test::Crc32("some text here"));
  EXPECT_EQ(Rec.Of(zacCRCError)[0].Arg2, 0x12345678);
  ASSERT_EQ(Rec.Of(zacMessage).size(), 1u);
  TCall m = Rec.Of(zacMessage)[0];
  EXPECT_EQ(m.MsgNo, umCRCError);
  EXPECT_EQ(m.Arg1 & 0xFF, uecCRC);
  // From the given position, less the last character: the library's own detail.
  ASSERT_GT(m.TextPos, 0);
  EXPECT_EQ(m.Text.substr(std::size_t(m.TextPos - 1), m.Text.size() - std::size_t(m.TextPos)),
            "a.txt (found " + [] {
              char b[16];
              std::snprintf(b, sizeof b, "%08X", test::Crc32("some text here"));
              return std::string(b);
            }() + ", stored 12345678)");
  ASSERT_EQ(Rec.Of(zacSkipped).size(), 1u);
  EXPECT_EQ(Rec.Of(zacSkipped)[0].Arg2, skrCRC + 1);

  Rec = TRecorder();
  Rec.CrcAnswer = unzCrcKeep;
  p = Params(a, "a.txt", 14);
  EXPECT_EQ(UnzLibExec(&p), 1);
  EXPECT_EQ(std::string(Out.data(), Out.size()), "some text here");
}

TEST_F(UnzLibTest, DamagedMembersAreReportedNotGuessed) {
  const std::string text = test::HtmlLikeText(5000);
  const std::string packed = test::Deflate(text);
  TZipMember encrypted{"enc.txt", "xx", 0};
  encrypted.Flags = 1;
  TZipMember method{"m12.txt", "xx", 12};
  TZipMember shortSize{"short.txt", text};
  shortSize.Size = 4000;  // inflates to more than declared
  TZipMember longSize{"long.txt", text};
  longSize.Size = 6000;  // inflates to less
  TZipMember truncated{"trunc.txt", text};
  truncated.RawData = packed.substr(0, packed.size() / 2);
  TZipMember garbage{"garbage.txt", text};
  garbage.RawData = std::string(packed.size(), '\xFF');
  TZipMember wrongName{"name.txt", "abc", 0};
  wrongName.LocalName = "nbme.txt";
  TZipMember wrongMethod{"method.txt", "abc", 0};
  wrongMethod.LocalMethod = 8;
  TZipMember outside{"outside.txt", "abc", 0};
  outside.LocalOffset = 0x7FFFFF00;
  TZipMember huge{"huge.txt", "abc", 0};
  huge.Size = 300u * 1024 * 1024;
  TZipMember impossible{"ratio.txt", text};
  impossible.Size = 200u * 1024 * 1024;
  std::string a = Write({encrypted, method, shortSize, longSize, truncated, garbage, wrongName, wrongMethod, outside,
                         huge, impossible});
  struct {
    const char* Name;
    int Msg;
    std::size_t Declared;
  } cases[] = {{"enc.txt", umEncrypted, 2},          {"m12.txt", umMethod, 2},
               {"short.txt", umSizeMismatch, 4000},  {"long.txt", umSizeMismatch, 6000},
               {"trunc.txt", umBadData, 5000},       {"garbage.txt", umBadData, 5000},
               {"name.txt", umLocalMismatch, 3},     {"method.txt", umLocalMismatch, 3},
               {"outside.txt", umDataOutside, 3},    {"huge.txt", umTooLarge, 5000},
               {"ratio.txt", umImpossibleSize, 5000}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    Rec = TRecorder();
    TUnzParams p = Params(a, c.Name, c.Declared);
    EXPECT_EQ(UnzLibExec(&p), 0);
    ASSERT_EQ(Rec.Of(zacMessage).size(), 1u);
    EXPECT_EQ(Rec.Of(zacMessage)[0].MsgNo, c.Msg);
    EXPECT_NE(Rec.Of(zacMessage)[0].Arg1, 0);
    EXPECT_EQ(Rec.Of(zacSkipped).size(), 1u);
    // Nothing was asked for the lying sizes before they were checked.
    EXPECT_TRUE(Rec.Of(zacStream).empty());
  }
}

TEST_F(UnzLibTest, FindsMembersOfAnArchiveWithAStubInFront) {
  TZipOptions stub;
  stub.Prefix = std::string(4096, 'S');
  std::string a = Write({{"a.txt", "alpha"}, {"b.txt", "bravo", 0}}, stub);
  TUnzParams p = Params(a, "b.txt", 5);
  ASSERT_EQ(UnzLibExec(&p), 1);
  EXPECT_EQ(std::string(Out.data(), 5), "bravo");
}

TEST_F(UnzLibTest, DataDescriptorMembersAreRead) {
  TZipMember m{"dd.txt", test::HtmlLikeText(10000)};
  m.DataDescriptor = true;
  std::string a = Write({m});
  TUnzParams p = Params(a, "dd.txt", 10000);
  ASSERT_EQ(UnzLibExec(&p), 1);
  EXPECT_EQ(std::string(Out.data(), Out.size()), m.Data);
}

TEST_F(UnzLibTest, CentralHintPicksTheCallersEntry) {
  // Two members whose names differ only in case: the hint decides.
  std::string bytes = BuildZip({{"Page.html", "first"}, {"page.html", "second"}});
  std::string a = Dir.Write("a.zip", bytes);
  const std::size_t second = bytes.rfind(std::string("\x50\x4B\x01\x02", 4));
  TUnzParams p = Params(a, "PAGE.HTML", 6);
  p.FCentralHint = std::int64_t(second) + 1;
  ASSERT_EQ(UnzLibExec(&p), 1);
  EXPECT_EQ(std::string(Out.data(), 6), "second");
  // Without a hint the first match wins; a hint that points nowhere falls back to the name.
  p = Params(a, "PAGE.HTML", 5);
  p.FCentralHint = 3;
  ASSERT_EQ(UnzLibExec(&p), 1);
  EXPECT_EQ(std::string(Out.data(), 5), "first");
}

TEST_F(UnzLibTest, MissingArchiveOrMemberIsAMessage) {
  TUnzParams p = Params(Dir / "none.zip", "a.txt", 1);
  EXPECT_EQ(UnzLibExec(&p), 0);
  ASSERT_EQ(Rec.Of(zacMessage).size(), 1u);
  EXPECT_EQ(Rec.Of(zacMessage)[0].MsgNo, umNoArchive);

  Rec = TRecorder();
  std::string a = Write({{"a.txt", "x"}});
  p = Params(a, "b.txt", 1);
  EXPECT_EQ(UnzLibExec(&p), 0);
  ASSERT_EQ(Rec.Of(zacMessage).size(), 1u);
  EXPECT_EQ(Rec.Of(zacMessage)[0].MsgNo, umNotFound);
}

TEST_F(UnzLibTest, FifoInsteadOfAnArchiveDoesNotHang) {
  const std::string fifo = Dir / "fifo.zip";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  TUnzParams p = Params(fifo, "a.txt", 1);
  EXPECT_EQ(UnzLibExec(&p), 0);
  ASSERT_EQ(Rec.Of(zacMessage).size(), 1u);
  EXPECT_EQ(Rec.Of(zacMessage)[0].MsgNo, umNoArchive);
}

TEST_F(UnzLibTest, CallerCanStopTheRun) {
  std::string a = Write({{"a.txt", test::HtmlLikeText(4 * 1024 * 1024)}});
  Rec.StopAt = 3;  // count, item, then the first progress report
  TUnzParams p = Params(a, "a.txt", 4 * 1024 * 1024);
  EXPECT_EQ(UnzLibExec(&p), unzCancelled);
  EXPECT_EQ(Rec.Calls.size(), 4u);
  Rec = TRecorder();
  Rec.StopAt = 1;
  Rec.StopAnswer = 10106;  // a handler failed
  p = Params(a, "a.txt", 4 * 1024 * 1024);
  EXPECT_EQ(UnzLibExec(&p), unzHandlerException);
}

TEST_F(UnzLibTest, NestedRunIsBusy) {
  std::string a = Write({{"a.txt", "abc"}});
  static std::int32_t nested;
  static TUnzParams* inner;
  TUnzParams p2 = Params(a, "a.txt", 3);
  inner = &p2;
  nested = 0;
  TUnzParams p = p2;
  p.FCallback = [](TUnzCallbackRec*) -> std::uint32_t {
    if (!nested) nested = UnzLibExec(inner);
    return 0;
  };
  EXPECT_EQ(UnzLibExec(&p), 1);
  EXPECT_EQ(nested, unzBusy);
}

TEST_F(UnzLibTest, TestModeChecksEveryMember) {
  TZipMember bad{"bad.txt", "cc", 0};
  bad.Crc = 1u;
  std::string a = Write({{"a.txt", test::HtmlLikeText(300000)}, {"dir/", "", 0}, {"b.txt", "bb", 0}, bad});
  TUnzParams p = Params(a, "", 0);
  p.FArgc = 0;
  p.FUseOutStream = 0;
  p.FTest = UnzTrue;
  EXPECT_EQ(UnzLibExec(&p), 2);
  EXPECT_EQ(Rec.Of(zacCRCError).size(), 1u);
}

}  // namespace
}  // namespace korva
