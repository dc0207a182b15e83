#include "archive/ZipBase.h"

#include "archive/Limits.h"
#include "archive/ZipMsg.h"
#include "platform/System.h"

namespace korva {

void ZipDirEntry::ReadHeader(const std::uint8_t* p) {
  auto u16 = [&](int at) { return std::uint16_t(p[at] | (p[at + 1] << 8)); };
  auto u32 = [&](int at) {
    return std::uint32_t(p[at]) | (std::uint32_t(p[at + 1]) << 8) | (std::uint32_t(p[at + 2]) << 16) |
           (std::uint32_t(p[at + 3]) << 24);
  };
  FMadeByVersion = p[0];
  FHostVersionNo = p[1];
  FVersionNeeded = u16(2);
  FFlag = u16(4);
  FComprMethod = u16(6);
  FDateTime = u32(8);
  FCRC32 = u32(12);
  FCompressedSize = u32(16);
  FUncompressedSize = u32(20);
  FFileNameLength = u16(24);
  FExtraFieldLength = u16(26);
  FFileCommentLen = u16(28);
  FStartOnDisk = u16(30);
  FIntFileAttrib = u16(32);
  FExtFileAttrib = u32(34);
  FRelOffLocalHdr = u32(38);
}

TZipBase::TZipBase() : FMainThread(std::this_thread::get_id()) {}

std::string TZipBase::ZipLoadStr(int ident) {
  if (FEvents.OnZipStr) {
    std::string text;
    FEvents.OnZipStr(FOwner, ident, text);
    if (!text.empty()) return text;
  }
  return korva::ZipLoadStr(ident);
}

EZipArchive TZipBase::MakeError(int ident, bool display) { return EZipArchive(ident, ZipLoadStr(ident), display); }

void TZipBase::Show(const std::string& text) {
  if (!FSettings.Unattended && FUserInterface.ShowMessage && OnMainThread()) FUserInterface.ShowMessage(text);
}

void TZipBase::ShowZipMessage(int ident, const std::string& extra) {
  std::string text = ZipLoadStr(ident) + extra;
  FErrCode = ident;
  FMessage = text;
  Show(text);
  if (FEvents.OnMessage) FEvents.OnMessage(FOwner, ident, text);
}

void TZipBase::ShowExceptionError(const EZipArchive& e) {
  FErrCode = e.ResId();
  FMessage = e.what();
  if (e.DisplayMsg()) Show(FMessage);
  if (FEvents.OnMessage) FEvents.OnMessage(FOwner, e.ResId(), FMessage);
}

void TZipBase::ReportInfo(const std::string& text) {
  if (FEvents.OnMessage) FEvents.OnMessage(FOwner, 0, text);
}

void TZipBase::ReportProgress(TZipProgressType type, const std::string& fileName, std::int64_t size) {
  if (FEvents.OnProgress) FEvents.OnProgress(FOwner, type, fileName, size);
  CheckTerminate(type != ptProgressUpdate);
}

void TZipBase::CheckTerminate(bool force) {
  if (FEvents.OnCheckTerminate) {
    bool abort = false;
    FEvents.OnCheckTerminate(FOwner, abort);
    if (abort) FCancel = true;
    return;
  }
  if (!FUserInterface.ProcessMessages || !OnMainThread()) return;
  // A long directory read reports every entry; the window needs a look now and then, not each time.
  std::uint32_t now = GetTickCount();
  if (!force && FPumped && now - FLastPump < ZipPumpInterval) return;
  FPumped = true;
  FLastPump = now;
  FUserInterface.ProcessMessages();
}

void TZipBase::StartWaitCursor() {
  if (!OnMainThread()) return;
  if (FCursorCount++ == 0 && FUserInterface.SetBusyCursor) FUserInterface.SetBusyCursor(true);
}

void TZipBase::StopWaitCursor() {
  if (!OnMainThread() || FCursorCount == 0) return;
  if (--FCursorCount == 0 && FUserInterface.SetBusyCursor) FUserInterface.SetBusyCursor(false);
}

}  // namespace korva
