#include "archive/ZipWorker.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>

#include "archive/Limits.h"
#include "archive/ZipMsg.h"
#include "platform/CodePage.h"
#include "platform/System.h"

namespace korva {

namespace {

constexpr std::uint32_t SigEnd = 0x06054B50;
constexpr std::uint32_t SigCentral = 0x02014B50;
constexpr std::uint32_t SigLocal = 0x04034B50;
constexpr std::uint32_t SigSpan = 0x08074B50;
constexpr std::size_t EndRecordSize = 22;
constexpr std::size_t CentralHeaderSize = 46;

std::uint16_t U16(const std::uint8_t* p) { return std::uint16_t(p[0] | (p[1] << 8)); }
std::uint32_t U32(const std::uint8_t* p) {
  return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
         (std::uint32_t(p[3]) << 24);
}

// Upper case in the ANSI page (1252), for the case-insensitive member lookup.
unsigned char FoldAnsi(unsigned char c) {
  if (c >= 'a' && c <= 'z') return c - 32;
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 32;
  if (c == 0x9A || c == 0x9C || c == 0x9E) return c - 16;
  if (c == 0xFF) return 0x9F;
  return c;
}

bool AnsiSameText(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (FoldAnsi((unsigned char)a[i]) != FoldAnsi((unsigned char)b[i])) return false;
  return true;
}

std::size_t NameStart(const std::string& path) {
  std::size_t p = path.find_last_of("\\/");
  return p == std::string::npos ? 0 : p + 1;
}

// ".zip" of "a\b.zip"; empty when the last part has no dot.
std::string ExtractFileExt(const std::string& path) {
  std::size_t dot = path.rfind('.');
  if (dot == std::string::npos || dot < NameStart(path)) return {};
  return path.substr(dot);
}

std::string WithoutExt(const std::string& path) { return path.substr(0, path.size() - ExtractFileExt(path).size()); }

std::string LowerAscii(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = char(c + 32);
  return s;
}

bool AllDigits(const std::string& s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The disk number a file of a spanned set carries in its name: ".z01" style extensions, else
// three digits before the extension; 0 when there is none.
int DiskNumberFromName(const std::string& path) {
  std::string ext = ExtractFileExt(path);
  if (ext.size() > 2 && (ext[1] == 'z' || ext[1] == 'Z') && AllDigits(ext.substr(2)) && ext.size() <= 8)
    return std::stoi(ext.substr(2));
  std::string base = WithoutExt(path);
  if (base.size() - NameStart(base) >= 3) {
    std::string last = base.substr(base.size() - 3);
    if (AllDigits(last)) return std::stoi(last);
  }
  return 0;
}

std::uint32_t ZipCallback(TUnzCallbackRec* rec) {
  if (!rec) return 1;
  auto* worker = static_cast<TZipWorker*>(rec->FCaller);
  if (!worker || worker->FMagic != TZipWorker::WorkerMagic) return 1;
  if (!worker->FDestroying) {
    const int action = rec->FActionCode & UnzActionMask;
    try {
      worker->HandleCallback(*rec);
    } catch (const std::exception& e) {
      worker->FCallbackErrorText = std::string(e.what()) + " [action " + std::to_string(action) + "]";
      worker->FCallbackException = true;
      worker->FCancel = true;
    } catch (...) {
      worker->FCallbackErrorText = "[action " + std::to_string(action) + "]";
      worker->FCallbackException = true;
      worker->FCancel = true;
    }
  }
  if (worker->FCallbackException) return zmEventException;
  return worker->FCancel ? 1 : 0;
}

struct TNothingToDo {};

void CopyToText(TUnzCallbackRec& rec, const std::string& s, std::size_t maxLen) {
  std::size_t n = std::min({s.size(), maxLen, sizeof(rec.FMsg) - 1});
  std::memset(rec.FMsg, 0, sizeof(rec.FMsg));
  std::memcpy(rec.FMsg, s.data(), n);
}

}  // namespace

TZipWorker::TZipWorker() : FZipLib(*this, TZipLibLoader::lkZip), FUnzLib(*this, TZipLibLoader::lkUnz) {}

TZipWorker::~TZipWorker() {
  FDestroying = true;
  CloseFile();
}

void TZipWorker::SetActive(bool active) {
  if (active == FActive) return;
  FActive = active;
  if (FActive && FReadPending) {
    FReadPending = false;
    List();
  }
}

void TZipWorker::SetZipFileName(const std::string& name) {
  FInFileName = name;
  if (FActive)
    List();
  else
    FReadPending = true;
}

void TZipWorker::CloseFile() {
  if (FInFile >= 0) close(FInFile);
  FInFile = -1;
}

bool TZipWorker::ReadAt(std::int64_t pos, void* buf, std::size_t n) {
  auto* p = static_cast<std::uint8_t*>(buf);
  while (n > 0) {
    ssize_t r = pread(FInFile, p, n, off_t(pos));
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return false;
    p += r;
    pos += r;
    n -= std::size_t(r);
  }
  return true;
}

bool TZipWorker::OpenEOC(bool wantErrors, int* failure) {
  auto fail = [&](int id) {
    CloseFile();
    if (failure) *failure = id;
    if (wantErrors) throw MakeError(id);
    return false;
  };
  CloseFile();
  FStartsSpannedSet = false;
  FZipComment.clear();
  FFileSize = 0;
  FEOCOffset = 0;
  FInFile = open(NativePath(FArchiveFile).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);  // a FIFO must not hang us
  struct stat st;
  if (FInFile < 0 || fstat(FInFile, &st) != 0 || !S_ISREG(st.st_mode)) return fail(zmCannotOpen);
  std::uint8_t head[8];
  if (ReadAt(0, head, sizeof head) && U32(head) == SigSpan && U32(head + 4) == SigLocal) FStartsSpannedSet = true;
  const std::int64_t size = st.st_size;
  if (size > std::int64_t(0xFFFFFFFFu)) {
    if (FSettings.Verbose) ReportInfo(ZipEocSizeErrorText + std::to_string(size / (1024 * 1024)) + ZipMbText);
    return fail(zmFileTooLarge);
  }
  FFileSize = size;
  if (size >= std::int64_t(EndRecordSize)) {
    if (!ReadAt(size - EndRecordSize, FEOC, EndRecordSize)) return fail(zmReadEOC);
    if (U32(FEOC) == SigEnd && U16(FEOC + 20) == 0) {
      FEOCOffset = size - EndRecordSize;
      return true;
    }
  }
  // A comment (or something else) follows the end record: look for it backwards.
  const std::uint32_t scan = std::uint32_t(std::min<std::int64_t>(size, ZipEndScanSize));
  std::vector<std::uint8_t> buf(scan);
  if (scan && !ReadAt(size - scan, buf.data(), scan)) return fail(zmReadEOC);
  for (std::int64_t i = std::int64_t(scan) - std::int64_t(EndRecordSize); i >= 0; --i) {
    if (U32(&buf[std::size_t(i)]) != SigEnd) continue;
    FEOCOffset = size - scan + i;
    std::memcpy(FEOC, &buf[std::size_t(i)], EndRecordSize);
    const std::int64_t commentLen = U16(FEOC + 20);
    const std::int64_t avail = std::int64_t(scan) - i - std::int64_t(EndRecordSize);
    FZipComment.assign(reinterpret_cast<const char*>(&buf[std::size_t(i) + EndRecordSize]),
                       std::size_t(std::min(commentLen, avail)));
    // Bytes after the comment are not part of the archive. A comment that claims more bytes
    // than the file holds is only cut short: the file does not grow.
    const std::int64_t end = i + std::int64_t(EndRecordSize) + commentLen;
    if (end < std::int64_t(scan)) {
      const std::int64_t trailing = std::int64_t(scan) - end;
      FFileSize -= trailing;
      bool padding = trailing < ZipQuietTrailingBytes &&
                     std::all_of(buf.begin() + end, buf.end(), [](std::uint8_t b) { return b < '/'; });
      if (!padding) ShowZipMessage(zmGarbageWarning);
    }
    return true;
  }
  // No end record: say why, judged by the set this file seems to belong to.
  int number = DiskNumberFromName(FArchiveFile);
  int id = zmNotZip;
  if (FStartsSpannedSet)
    id = number == 1 ? zmFirstDisk : zmFirstFile;
  else if (number > 0)
    id = zmNthDisk;
  CloseFile();
  if (failure) *failure = id;
  if (wantErrors) {
    if (id == zmNthDisk) throw EZipArchive(id, ZipFormat(ZipLoadStr(id), number));
    throw MakeError(id);
  }
  return false;
}

TZipWorker::TOpenResult TZipWorker::OpenZipFile() {
  // Every drive counts as fixed here: there is no disk to ask for.
  FArchiveFile = FInFileName;
  if (!FileExists(FInFileName)) {
    if (LowerAscii(ExtractFileExt(FInFileName)) != ".zip") return orNoArchive;
    // Perhaps the last part of a split set lies beside it: name001.zip, name002.zip, ...
    const std::string base = WithoutExt(FInFileName);
    for (int part = 1; part <= MaxZipSplitParts; ++part) {
      char num[8];
      std::snprintf(num, sizeof num, "%03d", part);
      FArchiveFile = base + num + ".zip";
      if (!FileExists(FArchiveFile)) return orNoArchive;
      int failure = 0;
      if (!OpenEOC(false, &failure)) continue;
      if (U16(FEOC + 4) != part - 1) {
        CloseFile();
        return orNoArchive;
      }
      if (FileExists(WithoutExt(FArchiveFile) + ".z01")) {
        CloseFile();
        return orFailed;
      }
      return orOpened;
    }
    return orNoArchive;
  }
  int failure = 0;
  if (!OpenEOC(false, &failure)) {
    ShowZipMessage(failure == zmFileTooLarge ? zmFileTooLarge : zmNotZip);
    return orFailed;
  }
  return orOpened;
}

std::string TZipWorker::ConvertName(const std::string& raw, const std::uint8_t* header) const {
  // header: the 42 bytes after the signature (made-by version, host, ..., flags at 4).
  const int version = header[0], host = header[1];
  const bool utf8 = U16(header + 4) & 0x0800;
  bool convert = false;
  if (!utf8) {
    switch (FSettings.CodePage) {
      case cpOEM: convert = true; break;
      case cpAuto: convert = host == 0 || host == 6 || (host == 11 && version == 50); break;
      case cpNone: convert = host == 6 || (host == 11 && version == 50); break;
    }
  }
  return convert ? OemToAnsi(raw) : raw;
}

void TZipWorker::List() {
  FZipContents.clear();
  FEOCOffset = FCentralOffset = FSFXOffset = 0;
  FFileSize = 0;
  FSpanned = false;
  FDiskNr = 0;
  FDirOnlyCount = 0;
  FErrCode = 0;
  FMessage.clear();
  FZipComment.clear();
  TOpenResult opened = OpenZipFile();
  if (opened != orOpened) {
    CloseFile();
    if (opened == orNoArchive && FEvents.OnDirUpdate) FEvents.OnDirUpdate(FOwner);
    return;
  }
  StartWaitCursor();
  bool progressStarted = false;
  try {
    ReadDirectory(progressStarted);
  } catch (const EZipArchive& e) {
    ShowExceptionError(e);
  } catch (const std::bad_alloc&) {
    ShowZipMessage(zmNoMemory);
  } catch (const std::exception& e) {
    ShowZipMessage(zmListUnknownError, e.what());
  }
  if (progressStarted) ReportProgress(ptEndOfBatch, "", 0);
  StopWaitCursor();
  CloseFile();
  if (FEvents.OnDirUpdate) FEvents.OnDirUpdate(FOwner);
}

void TZipWorker::ReadDirectory(bool& progressStarted) {
  FDiskNr = U16(FEOC + 4);
  if (FDiskNr != 0) FSpanned = true;
  const int dirDisk = U16(FEOC + 6);
  const std::uint32_t total = U16(FEOC + 10);
  const std::uint32_t dirSize = U32(FEOC + 12);
  const std::uint32_t storedOffset = U32(FEOC + 16);
  // The directory of another disk cannot be reached: there is only this file.
  if (dirDisk != FDiskNr) throw MakeError(zmSpanned);
  // The directory ends where the end record starts (the same as counting back from the file
  // size past comment and record, but safe against a comment that claims too much).
  if (dirSize > FEOCOffset) throw MakeError(zmDirOutside);
  if (dirSize > MaxZipCentralDirSize) throw MakeError(zmDirTooLarge);
  FCentralOffset = FEOCOffset - dirSize;
  // Anything prepended (a self-extractor stub) shifts every stored offset.
  if (FCentralOffset != storedOffset) ShowZipMessage(zmStructureWarning);
  const std::int64_t shift = FCentralOffset - std::int64_t(storedOffset);
  std::vector<std::uint8_t> dir(dirSize);
  if (dirSize && !ReadAt(FCentralOffset, dir.data(), dirSize)) throw MakeError(zmSeekDirError);

  ReportProgress(ptNewFile, ZipLoadingDirText, total);
  progressStarted = true;
  FZipContents.reserve(std::min<std::size_t>(total, dir.size() / CentralHeaderSize));
  FSFXOffset = FCentralOffset;
  std::size_t pos = 0;
  for (std::uint32_t i = 0; i < total; ++i) {
    if (dir.size() - pos < CentralHeaderSize) throw MakeError(zmReadCentral);
    const std::uint8_t* h = dir.data() + pos;
    if (U32(h) != SigCentral) throw MakeError(zmCentralSignature);
    auto entry = std::make_unique<ZipDirEntry>();
    entry->ReadHeader(h + 4);
    entry->FCentralOffset = FCentralOffset + std::int64_t(pos);
    std::size_t p = pos + CentralHeaderSize;
    if (dir.size() - p < entry->FFileNameLength) throw MakeError(zmReadCentralName);
    std::string name = ConvertName(std::string(reinterpret_cast<const char*>(dir.data() + p), entry->FFileNameLength), h + 4);
    std::replace(name.begin(), name.end(), '/', '\\');
    entry->FFileName = std::move(name);
    p += entry->FFileNameLength;
    entry->FEncrypted = entry->FFlag & 1;
    if (dir.size() - p < entry->FExtraFieldLength) throw MakeError(zmSeekDirError);
    entry->FExtraData.assign(reinterpret_cast<const char*>(dir.data() + p), entry->FExtraFieldLength);
    p += entry->FExtraFieldLength;
    if (dir.size() - p < entry->FFileCommentLen) throw MakeError(zmReadComment);
    if (entry->FFileCommentLen)
      entry->FFileComment =
          ConvertName(std::string(reinterpret_cast<const char*>(dir.data() + p), entry->FFileCommentLen), h + 4);
    p += entry->FFileCommentLen;
    pos = p;
    std::int64_t localOffset = std::max<std::int64_t>(0, std::int64_t(entry->FRelOffLocalHdr) + shift);
    if (localOffset < FSFXOffset) FSFXOffset = localOffset;
    const std::string& kept = entry->FFileName;
    if (FSettings.UseDirOnlyEntries || (!kept.empty() && kept.back() != '\\')) {
      FZipContents.push_back(std::move(entry));
      if (FEvents.OnNewName) FEvents.OnNewName(FOwner, int(FZipContents.size()), *FZipContents.back());
    } else {
      ++FDirOnlyCount;
    }
    ReportProgress(ptProgressUpdate, "", 1);
    if (FCancel) throw MakeError(zmUserCancelled);
  }
}

int TZipWorker::FindMember(const std::string& name) const {
  for (std::size_t i = 0; i < FZipContents.size(); ++i)
    if (AnsiSameText(FZipContents[i]->FFileName, name)) return int(i);
  return -1;
}

TZipStream* TZipWorker::ExtractMemberToStream(const std::string& name) {
  FSuccessCnt = 0;
  if (!name.empty()) FSpecArgs = {name};
  if (FSpecArgs.empty()) {
    ShowZipMessage(zmNothingToZip);
    return nullptr;
  }
  FZipStream.Clear();
  ExtExtract();
  return FSuccessCnt == 1 ? &FZipStream : nullptr;
}

void TZipWorker::CheckMemberSize(const ZipDirEntry& e) {
  // Checked before the stream takes memory for it.
  const std::uint64_t size = e.FUncompressedSize;
  if (size > MaxZipMemberSize) throw EZipArchive(umTooLarge, ZipLoadStr(umTooLarge) + " " + e.FFileName);
  if (e.FEncrypted) return;
  if ((e.FComprMethod == 0 && size > e.FCompressedSize) ||
      (e.FComprMethod == 8 && size > std::uint64_t(e.FCompressedSize) * MaxZipDeflateRatio + ZipDeflateRatioSlack))
    throw EZipArchive(umImpossibleSize, ZipLoadStr(umImpossibleSize) + " " + e.FFileName);
}

void TZipWorker::ExtExtract() {
  FSuccessCnt = 0;
  FErrCode = 0;
  FMessage.clear();
  if (FInFileName.empty()) {
    ShowZipMessage(zmNoZipSpecified);
    FSpecArgs.clear();
    return;
  }
  if (FZipContents.empty()) {
    List();
    if (FZipContents.empty()) {
      if (FErrCode == 0) ShowZipMessage(zmCannotOpen);
      FSpecArgs.clear();
      return;
    }
  }
  if (FExtracting) return;

  int passwordAttempts = int(std::min(FSettings.PasswordReqCount, 15u));
  if (FSettings.Unattended && FSettings.Password.empty() && !FEvents.OnPasswordError) {
    passwordAttempts = 0;
    ShowZipMessage(zmUnattendedWarning);
  }
  FCancel = false;
  FExtracting = true;
  FCallbackException = false;
  FCallbackErrorText.clear();

  const std::string archivePath = NativePath(FArchiveFile);
  std::string extractDir;
  std::vector<TUnzFileSpec> specs;
  TUnzParams params;
  try {
    if (FSpanned) throw MakeError(zmSpanned);
    // A member that is not in the directory needs no library at all.
    const int index = FindMember(FSpecArgs.front());
    if (index < 0) throw TNothingToDo();
    CheckMemberSize(*FZipContents[std::size_t(index)]);
    const int version = FUnzLib.LoadLib(lrOperation, 178);
    const TExtrOpts opts = FSettings.ExtrOptions;
    auto flag = [](bool b) { return b ? UnzTrue : UnzFalse; };
    params.FHandle = nullptr;
    params.FCaller = this;
    params.FVersion = version;
    params.FCallback = &ZipCallback;
    params.FTraceEnabled = flag(FSettings.Trace);
    params.FPassword = FSettings.Password.c_str();
    params.FTest = flag(opts & ExtrTest);
    params.FQuiet = UnzTrue;
    params.FVerboseEnabled = flag(FSettings.Verbose || FSettings.Trace);
    params.FUpdate = flag(opts & ExtrUpdate);
    params.FFreshen = flag((opts & ExtrFreshen) && !(opts & ExtrUpdate));
    params.FDirectories = flag(opts & ExtrDirNames);
    params.FOverwrite = flag(opts & ExtrOverWrite);
    params.FZipFileName = archivePath.c_str();
    params.FPasswordReqCount = passwordAttempts;
    if (!FSettings.ExtrBaseDir.empty() && !(opts & ExtrTest)) {
      extractDir = NativePath(FSettings.ExtrBaseDir);
      if (opts & ExtrForceDirs) {
        std::error_code ec;
        std::filesystem::create_directories(extractDir, ec);
      }
      if (!DirectoryExists(extractDir))
        throw EZipArchive(zmExtractDirMissing, ZipFormat(ZipLoadStr(zmExtractDirMissing), FSettings.ExtrBaseDir));
      params.FExtractDir = extractDir.c_str();
    }
    if (FSpecArgs.front() != "*.*") {
      specs.resize(FSpecArgs.size());
      for (std::size_t i = 0; i < FSpecArgs.size(); ++i) specs[i] = TUnzFileSpec{FSpecArgs[i].c_str(), {}};
      params.FArgc = int(specs.size());
      params.FFileSpecs = specs.data();
    }
    {
      const ZipDirEntry& e = *FZipContents[std::size_t(index)];
      if (!FZipStream.SetSize(e.FUncompressedSize)) throw MakeError(zmNoMemory);
      params.FUseOutStream = UnzTrue;
      params.FOutStream = FZipStream.Memory();
      params.FOutStreamSize = e.FUncompressedSize;
      params.FArgc = 1;
      params.FFileSpecs = specs.empty() ? nullptr : specs.data();
      params.FCentralHint = e.FCentralOffset + 1;
      if (specs.empty()) {
        specs.push_back(TUnzFileSpec{FSpecArgs.front().c_str(), {}});
        params.FFileSpecs = specs.data();
      }
    }
    params.FSeven = UnzCheckValue;
    FCallbackErrorText.clear();
    FCallbackException = false;
    // A member that is not in the directory is never asked of the library.
    if (params.FUseOutStream) FSuccessCnt = FUnzLib.Exec(&params);
  } catch (const TNothingToDo&) {
    FSuccessCnt = 0;
  } catch (const EZipArchive& e) {
    std::string text = e.what();
    if (!FCallbackErrorText.empty()) text += FCallbackErrorText;
    ShowExceptionError(EZipArchive(e.ResId(), text, e.DisplayMsg()));
    FSuccessCnt = 0;
  } catch (...) {
    ShowZipMessage(zmUnzDllFatal);
    FSuccessCnt = 0;
  }
  FSpecArgs.clear();
  if (FSuccessCnt != 1) FZipStream.Clear();
  FZipStream.SetPosition(0);
  FUnzLib.ReleaseLib(lrOperation);
  FCancel = false;
  FExtracting = false;
}

void TZipWorker::HandleCallback(TUnzCallbackRec& rec) {
  const int action = rec.FActionCode & UnzActionMask;
  const int textPos = (rec.FActionCode >> 8) & 0xFF;
  const int msgNo = int(std::uint32_t(rec.FActionCode) >> 16);
  std::string libText;
  if (rec.FMsg[0] || rec.FMsg[1] || rec.FMsg[2] || rec.FMsg[3])
    libText.assign(rec.FMsg, strnlen(rec.FMsg, sizeof rec.FMsg));
  else if (rec.FMsgRef.FMsgPtr)
    libText = rec.FMsgRef.FMsgPtr;
  std::replace(libText.begin(), libText.end(), '/', '\\');
  std::string text = libText;
  if (msgNo != 0 && ZipMsgHasText(msgNo)) {
    // Our own text for the number, then the library's from its position, less its last character.
    std::size_t start = textPos > 0 ? std::size_t(textPos - 1) : 0;
    std::string tail;
    if (libText.size() > start + 1) tail = libText.substr(start, libText.size() - 1 - start);
    text = ZipLoadStr(msgNo) + " " + tail;
  }
  std::string text2 = rec.FMsg2 ? rec.FMsg2 : "";
  std::replace(text2.begin(), text2.end(), '/', '\\');

  switch (action) {
    case zacTick:
      if (FEvents.OnTick) FEvents.OnTick(FOwner);
      break;
    case zacItem: ReportProgress(ptNewFile, text, rec.FArg2); break;
    case zacProgress: ReportProgress(ptProgressUpdate, "", rec.FArg2); break;
    case zacEndOfBatch: ReportProgress(ptEndOfBatch, "", 0); break;
    case zacMessage: {
      std::string shown = text;
      if (rec.FArg1 != 0) {
        FErrCode = rec.FArg1 & 0xFF;
        if (FErrCode == 9 && FCallbackException) shown = ZipEventExceptionText;
        FMessage = shown;
        // Errors get a dialog like every other reported message; notes only go to OnMessage.
        Show(shown);
      }
      if (FEvents.OnMessage) FEvents.OnMessage(FOwner, rec.FArg1, shown);
      break;
    }
    case zacCount: ReportProgress(ptTotalFiles2Process, "", rec.FArg2); break;
    case zacSize:
      ReportProgress(ptTotalSize2Process, "",
                     std::int64_t((std::uint64_t(std::uint32_t(rec.FArg1)) << 32) | std::uint32_t(rec.FArg2)));
      break;
    case zacXItem: ReportProgress(ptNewExtra, text, rec.FArg2); break;
    case zacXProgress: ReportProgress(ptExtraUpdate, text, rec.FArg2); break;
    case zacNewName: {
      std::string newName = text;
      bool changed = false;
      bool asked = false;
      if (FEvents.OnSetNewName) {
        FEvents.OnSetNewName(FOwner, newName, changed);
        asked = true;
      }
      if (!changed && rec.FArg2 == 0 && FEvents.OnSetAddName) {
        FEvents.OnSetAddName(FOwner, newName, text2, changed);
        asked = true;
      }
      if (changed && newName != text)
        CopyToText(rec, newName, sizeof(rec.FMsg) - 1);
      else if (asked)
        rec.FArg1 = 0;
      break;
    }
    case zacPassword: {
      unsigned repeat = unsigned(std::clamp<std::int64_t>(rec.FArg2, 0, 15));
      std::string password;
      TMsgDlgBtn answer = mbOK;
      if (FEvents.OnPasswordError) {
        FEvents.OnPasswordError(FOwner, rec.FIsZipAction != 0, password, text, repeat, answer);
      } else if (FSettings.Unattended) {
        ShowZipMessage(rec.FIsZipAction ? zmNoAddPassword : zmNoExtractPassword);
      } else if (FUserInterface.InputPassword && OnMainThread()) {
        std::string first;
        if (FUserInterface.InputPassword(ZipPasswordCaption, ZipEnterPasswordText, first)) {
          if (rec.FArg1 & 1) {
            std::string second;
            if (FUserInterface.InputPassword(ZipPasswordCaption, ZipConfirmPasswordText, second) && second == first)
              password = first;
            else
              ShowZipMessage(zmPasswordsDiffer);
          } else {
            password = first;
          }
        }
      }
      if (!password.empty()) {
        CopyToText(rec, password, 80);
        rec.FArg1 = 1;
      } else {
        rec.FArg1 = 0;
        repeat = 0;
      }
      rec.FArg2 = std::min(repeat, 15u);
      if (answer == mbNoToAll) rec.FActionCode = 0;
      if (answer == mbAbort) FCancel = true;
      break;
    }
    case zacCRCError:
      if (FEvents.OnCRC32Error) {
        bool doExtract = false;
        FEvents.OnCRC32Error(FOwner, text, std::uint32_t(rec.FArg1), std::uint32_t(rec.FArg2), doExtract);
        rec.FArg1 = doExtract ? unzCrcKeep : unzCrcDiscard;
      } else {
        rec.FArg1 = unzCrcNoHandler;
      }
      break;
    case zacOverwrite:
      if (FEvents.OnExtractOverwrite) {
        bool overwrite = rec.FArg2 != 0;
        FEvents.OnExtractOverwrite(FOwner, text, rec.FArg1 != 0, overwrite, -1);
        rec.FArg2 = overwrite ? 1 : 0;
      }
      break;
    case zacSkipped: {
      if (rec.FArg1 != 0) FErrCode = rec.FArg1 & 0xFF;
      const int reason = int(rec.FArg2 & 0xFF) - 1;
      if (FEvents.OnExtractSkipped)
        FEvents.OnExtractSkipped(FOwner, text, reason, rec.FArg1);
      else if (FEvents.OnMessage)
        FEvents.OnMessage(FOwner, zmSkipped, ZipFormat(ZipFormat(ZipLoadStr(zmSkipped), text), reason));
      break;
    }
    case zacComment:
      if (FEvents.OnFileComment) {
        std::string comment = text2;
        bool changed = false;
        FEvents.OnFileComment(FOwner, text, comment, changed);
        if (changed) CopyToText(rec, comment, 511);
      }
      break;
    case zacStream: {
      // The member is larger or smaller than declared: resize the output, within the limit.
      const std::int64_t size = rec.FArg2;
      if (size < 0 || std::uint64_t(size) > MaxZipMemberSize || !FZipStream.SetSize(size)) {
        rec.FArg1 = 1;
      } else {
        rec.FArg1 = 0;
        rec.FArg2 = std::int64_t(reinterpret_cast<std::intptr_t>(FZipStream.Memory()));
      }
      break;
    }
    case zacData:
      if (FEvents.OnFileExtra) {
        std::string data = text2;
        bool changed = false;
        FEvents.OnFileExtra(FOwner, text, data, changed);
      }
      break;
    case zacExtName:
      if (FEvents.OnSetExtName) {
        std::string name = text;
        bool changed = false;
        FEvents.OnSetExtName(FOwner, name, changed);
        auto isFolder = [](const std::string& s) { return !s.empty() && (s.back() == '\\' || s.back() == '/'); };
        if (changed && !name.empty() && isFolder(name) == isFolder(text)) CopyToText(rec, name, sizeof(rec.FMsg) - 1);
      }
      break;
    default:
      break;
  }
  CheckTerminate();
}

}  // namespace korva
