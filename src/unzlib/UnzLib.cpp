// The unzip library: reads the archive named in the parameter record, inflates the requested
// member with zlib straight into the caller's buffer and checks its CRC-32. It talks to the
// caller only through the call-back record.
#include "unzlib/UnzLib.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "unzlib/Limits.h"

#define UNZ_EXPORT extern "C" __attribute__((visibility("default")))

namespace korva::unz {
namespace {

constexpr std::uint32_t SigEnd = 0x06054B50;
constexpr std::uint32_t SigCentral = 0x02014B50;
constexpr std::uint32_t SigLocal = 0x04034B50;
constexpr std::uint32_t CentralHeaderSize = 46;
constexpr std::uint32_t LocalHeaderSize = 30;
constexpr std::uint32_t EndRecordSize = 22;

std::uint16_t Get16(const std::uint8_t* p) { return std::uint16_t(p[0] | (p[1] << 8)); }
std::uint32_t Get32(const std::uint8_t* p) {
  return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
         (std::uint32_t(p[3]) << 24);
}

// Upper case in the ANSI page, with both folder separators as "\", so a requested name written
// either way and in any case finds its member.
unsigned char FoldChar(unsigned char c) {
  if (c >= 'a' && c <= 'z') return c - 32;
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 32;
  if (c == 0x9A || c == 0x9C || c == 0x9E) return c - 16;
  if (c == 0xFF) return 0x9F;
  if (c == '/') return '\\';
  return c;
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (FoldChar((unsigned char)a[i]) != FoldChar((unsigned char)b[i])) return false;
  return true;
}

bool IsAscii(std::string_view s) {
  for (unsigned char c : s)
    if (c >= 0x80) return false;
  return true;
}

// One central directory entry as the library needs it.
struct TEntry {
  std::uint16_t Flags = 0, Method = 0;
  std::uint32_t Crc = 0, CompSize = 0, Size = 0;
  std::int64_t LocalPos = 0;  // file position of the local header (shift applied)
  std::string Name;
};

enum TDecodeResult { drOk, drTooLong, drTooShort, drBadData, drReadError, drNoMemory, drStopped };

class TRun {
 public:
  explicit TRun(TUnzParams& params) : P(params) {}
  ~TRun() {
    if (FFile >= 0) close(FFile);
  }
  std::int32_t Execute();

 private:
  TUnzParams& P;
  int FFile = -1;
  std::int64_t FFileSize = 0;
  std::int64_t FDirStart = 0;  // file position of the central directory
  std::int64_t FShift = 0;     // bytes found before the archive proper
  std::uint32_t FEntryCount = 0;
  std::uint32_t FDirSize = 0;
  std::vector<std::uint8_t> FDir;  // read only when entries must be searched
  bool FDirLoaded = false;
  bool FStopped = false;
  std::int32_t FStopResult = 0;
  std::uint64_t FProgressPending = 0;

  bool ReadAt(std::int64_t pos, void* buf, std::size_t n);
  bool Call(TUnzCallbackRec& rec);
  bool Notify(std::int32_t action, const std::string& text, std::int32_t arg1, std::int64_t arg2);
  bool Message(int msgNumber, std::int32_t code, const std::string& words, const std::string& detail);
  bool Skip(const std::string& name, TUnzSkipReason reason, std::int32_t code);
  bool OpenArchive();
  bool LoadDirectory();
  static bool ParseEntry(const std::uint8_t* h, std::size_t avail, std::int64_t shift, TEntry& e, std::size_t* size);
  bool EntryAt(std::size_t pos, TEntry& e, std::size_t* next) const;
  bool EntryAtHint(TEntry& e);
  bool FindEntry(const char* spec, TEntry& e);
  // Result: 1 extracted, 0 not, -1 the run must end (FStopResult holds the library's result).
  int ExtractEntry(const TEntry& e);
  TDecodeResult Decode(const TEntry& e, std::int64_t dataPos, std::uint8_t* out, std::uint64_t& produced,
                       std::uint32_t& crc);
  bool Progress(std::uint64_t bytes);
};

bool TRun::ReadAt(std::int64_t pos, void* buf, std::size_t n) {
  auto* p = static_cast<std::uint8_t*>(buf);
  while (n > 0) {
    ssize_t r = pread(FFile, p, n, off_t(pos));
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return false;
    p += r;
    pos += r;
    n -= size_t(r);
  }
  return true;
}

bool TRun::Call(TUnzCallbackRec& rec) {
  if (FStopped) return false;
  if (!P.FCallback) return true;
  rec.FHandle = P.FHandle;
  rec.FCaller = P.FCaller;
  rec.FVersion = std::int32_t(UnzLibVersion);
  std::uint32_t answer = P.FCallback(&rec);
  if (answer != 0) {
    FStopped = true;
    FStopResult = answer == 10106 ? unzHandlerException : unzCancelled;
    return false;
  }
  return true;
}

bool TRun::Notify(std::int32_t action, const std::string& text, std::int32_t arg1, std::int64_t arg2) {
  TUnzCallbackRec rec;
  // Texts travel as C strings: a name with a zero byte ends there. Inline only when the first
  // byte is not zero, or the caller would take the text for a pointer.
  const std::size_t len = std::strlen(text.c_str());
  if (len > 0 && len < sizeof(rec.FMsg)) {
    std::memcpy(rec.FMsg, text.data(), len);
  } else {
    rec.FMsgRef.FMsgZero = 0;
    rec.FMsgRef.FMsgPtr = text.c_str();
  }
  rec.FActionCode = action;
  rec.FArg1 = arg1;
  rec.FArg2 = arg2;
  return Call(rec);
}

// The caller shows its own text for the number followed by the detail; the last character of
// our text (a line end) is not passed on.
bool TRun::Message(int msgNumber, std::int32_t code, const std::string& words, const std::string& detail) {
  std::string text = words + ": " + detail + "\n";
  int pos = int(words.size()) + 3;
  if (pos > 255) pos = 0;
  return Notify(UnzMakeAction(zacMessage, msgNumber, pos), text, code, 0);
}

bool TRun::Skip(const std::string& name, TUnzSkipReason reason, std::int32_t code) {
  return Notify(zacSkipped, name, code, std::int64_t(reason) + 1);
}

bool TRun::Progress(std::uint64_t bytes) {
  FProgressPending += bytes;
  if (FProgressPending < ProgressStep) return true;
  std::uint64_t n = FProgressPending;
  FProgressPending = 0;
  return Notify(zacProgress, "", 0, std::int64_t(n));
}

bool TRun::OpenArchive() {
  const char* name = P.FZipFileName ? P.FZipFileName : "";
  auto fail = [&](const std::string& why) {
    Message(umNoArchive, uecOpen, "Cannot read archive", std::string(name) + " (" + why + ")");
    return false;
  };
  FFile = open(name, O_RDONLY | O_CLOEXEC | O_NONBLOCK);  // a FIFO must not hang us
  if (FFile < 0) return fail("cannot open");
  struct stat st;
  if (fstat(FFile, &st) != 0 || !S_ISREG(st.st_mode)) return fail("not a file");
  FFileSize = st.st_size;
  if (FFileSize < EndRecordSize) return fail("no end record");
  if (FFileSize > std::int64_t(0xFFFFFFFFu)) return fail("larger than 4 GB");

  // The end record is last, unless a comment (or junk) follows it: scan back from the end.
  std::uint32_t tailSize = std::uint32_t(std::min<std::int64_t>(FFileSize, EndScanSize));
  std::vector<std::uint8_t> tail(tailSize);
  if (!ReadAt(FFileSize - tailSize, tail.data(), tailSize)) return fail("read error");
  std::int64_t hit = -1;
  for (std::int64_t i = std::int64_t(tailSize) - EndRecordSize; i >= 0; --i)
    if (Get32(&tail[size_t(i)]) == SigEnd) {
      hit = i;
      break;
    }
  if (hit < 0) return fail("no end record");
  const std::uint8_t* end = &tail[size_t(hit)];
  std::int64_t endPos = FFileSize - tailSize + hit;
  if (Get16(end + 4) != 0 || Get16(end + 6) != 0) return fail("part of a spanned set");
  std::uint32_t dirSize = Get32(end + 12);
  std::uint32_t dirOffset = Get32(end + 16);
  FEntryCount = Get16(end + 10);
  if (dirSize > endPos) return fail("central directory outside the file");
  if (dirSize > MaxCentralDirSize) return fail("central directory too large");
  FDirStart = endPos - dirSize;
  FDirSize = dirSize;
  FShift = FDirStart - std::int64_t(dirOffset);
  return true;
}

bool TRun::LoadDirectory() {
  if (FDirLoaded) return true;
  FDir.resize(FDirSize);
  if (FDirSize && !ReadAt(FDirStart, FDir.data(), FDirSize)) {
    FDir.clear();
    return false;
  }
  FDirLoaded = true;
  return true;
}

// h: a central header with avail bytes of directory behind it.
bool TRun::ParseEntry(const std::uint8_t* h, std::size_t avail, std::int64_t shift, TEntry& e, std::size_t* size) {
  if (avail < CentralHeaderSize || Get32(h) != SigCentral) return false;
  std::size_t nameLen = Get16(h + 28), extraLen = Get16(h + 30), commentLen = Get16(h + 32);
  std::size_t total = CentralHeaderSize + nameLen + extraLen + commentLen;
  if (total > avail) return false;
  e.Flags = Get16(h + 8);
  e.Method = Get16(h + 10);
  e.Crc = Get32(h + 16);
  e.CompSize = Get32(h + 20);
  e.Size = Get32(h + 24);
  e.LocalPos = std::int64_t(Get32(h + 42)) + shift;
  e.Name.assign(reinterpret_cast<const char*>(h + CentralHeaderSize), nameLen);
  if (size) *size = total;
  return true;
}

// The entry the caller named by its central header's position: only that header is read.
bool TRun::EntryAtHint(TEntry& e) {
  const std::int64_t pos = P.FCentralHint - 1;
  if (pos < FDirStart || pos + std::int64_t(CentralHeaderSize) > FDirStart + std::int64_t(FDirSize)) return false;
  const std::size_t avail = std::size_t(FDirStart + FDirSize - pos);
  std::uint8_t head[CentralHeaderSize];
  if (!ReadAt(pos, head, CentralHeaderSize) || Get32(head) != SigCentral) return false;
  const std::size_t total = CentralHeaderSize + Get16(head + 28) + Get16(head + 30) + Get16(head + 32);
  if (total > avail) return false;
  std::vector<std::uint8_t> whole(CentralHeaderSize + Get16(head + 28));
  std::memcpy(whole.data(), head, CentralHeaderSize);
  if (!ReadAt(pos + CentralHeaderSize, whole.data() + CentralHeaderSize, whole.size() - CentralHeaderSize))
    return false;
  // Extra field and comment are not needed; ParseEntry checks them against what is left.
  return ParseEntry(whole.data(), avail, FShift, e, nullptr);
}

bool TRun::EntryAt(std::size_t pos, TEntry& e, std::size_t* next) const {
  if (pos > FDir.size()) return false;
  std::size_t size = 0;
  if (!ParseEntry(FDir.data() + pos, FDir.size() - pos, FShift, e, &size)) return false;
  if (next) *next = pos + size;
  return true;
}

bool TRun::FindEntry(const char* spec, TEntry& e) {
  std::string_view want(spec);
  // The caller may name the exact central header it chose.
  if (P.FCentralHint > 0 && EntryAtHint(e) &&
      (!IsAscii(e.Name) || SameName(std::string_view(e.Name.c_str()), want)))
    return true;
  if (!LoadDirectory()) return false;
  std::size_t pos = 0;
  for (std::uint32_t i = 0; i < FEntryCount; ++i) {
    std::size_t next = 0;
    if (!EntryAt(pos, e, &next)) return false;
    if (SameName(e.Name, want)) return true;
    pos = next;
  }
  return false;
}

TDecodeResult TRun::Decode(const TEntry& e, std::int64_t dataPos, std::uint8_t* out, std::uint64_t& produced,
                           std::uint32_t& crc) {
  const std::uint64_t expected = e.Size;
  produced = 0;
  crc = std::uint32_t(crc32(0, nullptr, 0));
  std::uint64_t remainingIn = e.CompSize;
  std::int64_t readPos = dataPos;
  std::vector<std::uint8_t> scratch;
  if (!out) scratch.resize(InputBlockSize);

  if (e.Method == 0) {
    while (remainingIn > 0) {
      std::size_t n = std::size_t(std::min<std::uint64_t>(remainingIn, InputBlockSize));
      std::uint8_t* dst = out ? out + produced : scratch.data();
      if (!ReadAt(readPos, dst, n)) return drReadError;
      crc = std::uint32_t(crc32_z(crc, dst, n));
      produced += n;
      readPos += std::int64_t(n);
      remainingIn -= n;
      if (!Progress(n)) return drStopped;
    }
    return produced == expected ? drOk : produced > expected ? drTooLong : drTooShort;
  }

  z_stream zs{};
  if (inflateInit2(&zs, -MAX_WBITS) != Z_OK) return drNoMemory;
  struct TEnd {
    z_stream& z;
    ~TEnd() { inflateEnd(&z); }
  } endGuard{zs};
  std::vector<std::uint8_t> in(std::size_t(std::clamp<std::uint64_t>(remainingIn, 1, InputBlockSize)));
  std::uint8_t probe[1];
  for (;;) {
    if (zs.avail_in == 0 && remainingIn > 0) {
      std::size_t n = std::size_t(std::min<std::uint64_t>(remainingIn, in.size()));
      if (!ReadAt(readPos, in.data(), n)) return drReadError;
      readPos += std::int64_t(n);
      remainingIn -= n;
      zs.next_in = in.data();
      zs.avail_in = uInt(n);
    }
    std::uint8_t* dst;
    uInt room;
    bool probing = false;
    if (out) {
      if (produced >= expected) {
        // The buffer is full: one more byte would mean the member is longer than declared.
        dst = probe;
        room = 1;
        probing = true;
      } else {
        dst = out + produced;
        room = uInt(std::min<std::uint64_t>(expected - produced, 1u << 30));
      }
    } else {
      dst = scratch.data();
      room = uInt(scratch.size());
    }
    zs.next_out = dst;
    zs.avail_out = room;
    int r = inflate(&zs, Z_NO_FLUSH);
    std::size_t got = room - zs.avail_out;
    if (probing && got > 0) return drTooLong;
    crc = std::uint32_t(crc32_z(crc, dst, got));
    produced += got;
    if (produced > expected) return drTooLong;
    if (!Progress(got)) return drStopped;
    if (r == Z_STREAM_END) break;
    if (r == Z_DATA_ERROR || r == Z_NEED_DICT || r == Z_STREAM_ERROR) return drBadData;
    if (r == Z_MEM_ERROR) return drNoMemory;
    // No progress possible: the input ran out before the stream ended.
    if (got == 0 && zs.avail_in == 0 && remainingIn == 0) return drBadData;
  }
  return produced == expected ? drOk : drTooShort;
}

int TRun::ExtractEntry(const TEntry& e) {
  const std::string& name = e.Name;
  if (!Notify(zacItem, name, 0, e.Size)) return -1;
  auto skip = [&](int msg, std::int32_t code, const std::string& words, const std::string& detail,
                  TUnzSkipReason reason) {
    if (!Message(msg, code, words, detail) || !Skip(name, reason, code)) return -1;
    return 0;
  };
  if (e.Flags & 0x41)
    return skip(umEncrypted, uecEncrypted, "Member is encrypted", name, skrEncrypted);
  if (e.Method != 0 && e.Method != 8)
    return skip(umMethod, uecMethod, "Unsupported compression method",
                name + " (method " + std::to_string(e.Method) + ")", skrMethod);
  if (e.Size > MaxMemberSize)
    return skip(umTooLarge, uecMemory, "Member too large", name + " (" + std::to_string(e.Size) + " bytes)",
                skrTooLarge);
  if ((e.Method == 0 && e.Size != e.CompSize) ||
      (e.Method == 8 && e.Size > std::uint64_t(e.CompSize) * MaxDeflateRatio + DeflateRatioSlack))
    return skip(umImpossibleSize, uecFormat, "Impossible member size",
                name + " (" + std::to_string(e.Size) + " from " + std::to_string(e.CompSize) + " bytes)", skrSize);

  // The local header must be where the central entry says and agree with it.
  std::uint8_t local[LocalHeaderSize];
  if (e.LocalPos < 0 || e.LocalPos + LocalHeaderSize > FDirStart || !ReadAt(e.LocalPos, local, LocalHeaderSize))
    return skip(umDataOutside, uecFormat, "Member data outside the archive", name, skrBadHeader);
  std::size_t localNameLen = Get16(local + 26), localExtraLen = Get16(local + 28);
  std::int64_t dataPos = e.LocalPos + LocalHeaderSize + std::int64_t(localNameLen + localExtraLen);
  std::string localName(localNameLen, '\0');
  bool headerOk = Get32(local) == SigLocal && Get16(local + 8) == e.Method && localNameLen == e.Name.size() &&
                  dataPos <= FDirStart && ReadAt(e.LocalPos + LocalHeaderSize, localName.data(), localNameLen) &&
                  localName == e.Name;
  // With a data descriptor the local header holds zeros instead of the CRC and sizes.
  if (headerOk && !(Get16(local + 6) & 0x08))
    headerOk = Get32(local + 14) == e.Crc && Get32(local + 18) == e.CompSize && Get32(local + 22) == e.Size;
  if (!headerOk) return skip(umLocalMismatch, uecFormat, "Local header does not match", name, skrBadHeader);
  if (dataPos + std::int64_t(e.CompSize) > FDirStart)
    return skip(umDataOutside, uecFormat, "Member data outside the archive", name, skrBadData);

  std::uint8_t* out = nullptr;
  if (!P.FTest) {
    // Memory output: the buffer must hold exactly the declared size; ask the caller to resize
    // it when it does not.
    if (P.FOutStreamSize != e.Size || (!P.FOutStream && e.Size > 0)) {
      TUnzCallbackRec rec;
      rec.FMsgRef.FMsgZero = 0;
      rec.FMsgRef.FMsgPtr = name.c_str();
      rec.FActionCode = zacStream;
      rec.FArg2 = std::int64_t(e.Size);
      if (!Call(rec)) return -1;
      if (rec.FArg1 == 1 || (rec.FArg2 == 0 && e.Size > 0)) {
        FStopResult = unzNoMemory;
        return -1;
      }
      P.FOutStream = reinterpret_cast<void*>(rec.FArg2);
      P.FOutStreamSize = e.Size;
    }
    out = static_cast<std::uint8_t*>(P.FOutStream);
  }
  if (P.FVerboseEnabled && !Notify(zacMessage, "Inflating: " + name, 0, 0)) return -1;

  std::uint64_t produced = 0;
  std::uint32_t crc = 0;
  switch (Decode(e, dataPos, out, produced, crc)) {
    case drOk:
      break;
    case drStopped:
      return -1;
    case drNoMemory:
      FStopResult = unzNoMemory;
      return -1;
    case drReadError:
      return skip(umDataOutside, uecData, "Member data cannot be read", name, skrBadData);
    case drBadData:
      return skip(umBadData, uecData, "Damaged compressed data", name, skrBadData);
    case drTooLong:
    case drTooShort:
      return skip(umSizeMismatch, uecData, "Size does not match",
                  name + (produced > e.Size ? " (longer than " : " (") + std::to_string(e.Size) + " bytes declared)",
                  skrSize);
  }
  if (FProgressPending > 0) {
    std::uint64_t n = FProgressPending;
    FProgressPending = 0;
    if (!Notify(zacProgress, "", 0, std::int64_t(n))) return -1;
  }
  if (crc != e.Crc) {
    TUnzCallbackRec rec;
    rec.FMsgRef.FMsgZero = 0;
    rec.FMsgRef.FMsgPtr = name.c_str();
    rec.FActionCode = zacCRCError;
    rec.FArg1 = std::int32_t(crc);
    rec.FArg2 = e.Crc;
    if (!Call(rec)) return -1;
    if (rec.FArg1 == unzCrcKeep) return 1;
    char detail[64];
    std::snprintf(detail, sizeof detail, " (found %08X, stored %08X)", crc, e.Crc);
    return skip(umCRCError, uecCRC, "CRC error", name + detail, skrCRC);
  }
  return 1;
}

std::int32_t TRun::Execute() {
  if (P.FSeven != UnzCheckValue || P.FArgc < 0 || (P.FArgc > 0 && !P.FFileSpecs)) return unzBadStructure;
  // Output goes to memory (one member) or nowhere (test); writing files is not offered.
  if (!P.FTest && (!P.FUseOutStream || P.FArgc != 1)) return unzBadStructure;
  for (int i = 0; i < P.FArgc; ++i)
    if (!P.FFileSpecs[i].FFileSpec) return unzBadStructure;
  if (!OpenArchive()) return FStopped ? FStopResult : 0;

  std::int32_t done = 0;
  auto run = [&](const TEntry& e) {
    int r = ExtractEntry(e);
    if (r < 0) return false;
    done += r;
    return true;
  };
  if (P.FArgc == 0) {
    if (!LoadDirectory()) {
      Message(umNoArchive, uecOpen, "Cannot read archive", std::string(P.FZipFileName) + " (read error)");
      return FStopped ? FStopResult : 0;
    }
    if (!Notify(zacCount, "", 0, FEntryCount)) return FStopResult;
    std::size_t pos = 0;
    for (std::uint32_t i = 0; i < FEntryCount; ++i) {
      TEntry e;
      std::size_t next = 0;
      if (!EntryAt(pos, e, &next)) break;
      pos = next;
      if (!e.Name.empty() && (e.Name.back() == '/' || e.Name.back() == '\\')) continue;
      if (!run(e)) return FStopResult ? FStopResult : unzAbort;
    }
  } else {
    if (!Notify(zacCount, "", 0, P.FArgc)) return FStopResult;
    for (int i = 0; i < P.FArgc; ++i) {
      TEntry e;
      const char* spec = P.FFileSpecs[i].FFileSpec;
      if (!FindEntry(spec, e)) {
        if (!Message(umNotFound, uecNotFound, "Member not found", spec) || !Skip(spec, skrNotFound, uecNotFound))
          return FStopResult;
        continue;
      }
      if (!run(e)) return FStopResult ? FStopResult : unzAbort;
    }
  }
  if (!Notify(zacEndOfBatch, "", 0, 0)) return FStopResult;
  return done;
}

thread_local bool Running = false;

}  // namespace
}  // namespace korva::unz

UNZ_EXPORT std::int32_t UnzLibExec(korva::TUnzParams* params) {
  using namespace korva;
  if (!params) return unzBadStructure;
  // One run at a time: a call-back that starts another run gets "busy".
  if (unz::Running) return unzBusy;
  unz::Running = true;
  std::int32_t result;
  try {
    unz::TRun run(*params);
    result = run.Execute();
  } catch (const std::bad_alloc&) {
    result = unzNoMemory;
  } catch (...) {
    result = unzAbort;
  }
  unz::Running = false;
  return result;
}

UNZ_EXPORT std::uint32_t GetUnzLibVersion() { return korva::UnzLibVersion; }

UNZ_EXPORT std::uint32_t GetUnzLibPrivVersion() { return korva::UnzLibPrivVersion; }
