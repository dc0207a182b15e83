// The interface between the archive component and the unzip library (libunzlib.so): the
// parameter record of one run, the call-back record, the entry points and the action numbers.
// The library is loaded at run time, so this header is all the two sides share.
#pragma once

#include <cstdint>

namespace korva {

// Version reported by this library: 178 stands for 1.78.
constexpr std::uint32_t UnzLibVersion = 178;
constexpr std::uint32_t UnzLibPrivVersion = 1780001;
// Value the caller puts in FSeven so the library can tell the record is laid out as it expects.
constexpr std::int32_t UnzCheckValue = 7;

// Booleans in both records are 32-bit: 0 false, all ones true.
constexpr std::int32_t UnzTrue = -1;
constexpr std::int32_t UnzFalse = 0;

// Call-back actions: the low 6 bits of FActionCode.
enum TUnzAction : std::int32_t {
  zacTick = 0,        // keep-alive
  zacItem = 1,        // start of a member: name in the text, size in FArg2
  zacProgress = 2,    // FArg2 more bytes done
  zacEndOfBatch = 3,  // all members done
  zacMessage = 4,     // a message; FArg1 non-zero: error code in its low byte
  zacCount = 5,       // total member count in FArg2
  zacSize = 6,        // total size: low 32 bits in FArg2, high 32 bits in FArg1
  zacNewName = 7,     // new name for a member (writing side)
  zacPassword = 8,    // password request
  zacCRCError = 9,    // CRC error: found CRC in FArg1, stored CRC in FArg2; answer in FArg1
  zacOverwrite = 10,  // overwrite question
  zacSkipped = 11,    // member skipped: error code in FArg1, reason + 1 in FArg2
  zacComment = 12,    // file comment
  zacStream = 13,     // resize the output to FArg2 bytes; answer: new address in FArg2, or 1 in FArg1
  zacData = 14,       // extra field
  zacXItem = 15,      // further progress step: start
  zacXProgress = 16,  // further progress step: bytes
  zacExtName = 17     // extraction name
};
constexpr std::int32_t UnzActionMask = 0x3F;
// Bits 8..15: 1-based position in the text where the library's own part starts.
// Bits 16 and up: a message number of the component (0 for none).
constexpr std::int32_t UnzMakeAction(TUnzAction action, int msgNumber = 0, int textPos = 0) {
  return std::int32_t(action) | ((textPos & 0xFF) << 8) | (msgNumber << 16);
}

// Answers of the CRC error call-back in FArg1.
enum : std::int32_t { unzCrcDiscard = 0, unzCrcKeep = 1, unzCrcNoHandler = 2 };

// Why a member was skipped (FArg2 of zacSkipped carries the reason + 1).
enum TUnzSkipReason : std::int32_t {
  skrNotFound = 0,
  skrEncrypted = 1,
  skrMethod = 2,
  skrBadHeader = 3,
  skrBadData = 4,
  skrCRC = 5,
  skrSize = 6,
  skrTooLarge = 7,
  skrNoMemory = 8
};

// Messages the library sends with a component message number; the component supplies the
// text and the library's own text (from the given position) is appended after a blank.
enum TUnzMessage : int {
  umDataOutside = 10701,     // the member's data does not lie inside the archive
  umLocalMismatch = 10702,   // the local header disagrees with the central entry
  umTooLarge = 10703,        // declared size above the limit
  umImpossibleSize = 10704,  // declared size that the compressed data cannot produce
  umBadData = 10705,         // the compressed data is damaged
  umSizeMismatch = 10706,    // inflated size differs from the declared size
  umCRCError = 10707,        // CRC-32 differs
  umMethod = 10708,          // compression method not supported
  umEncrypted = 10709,       // encrypted member
  umNoArchive = 10710,       // the archive cannot be opened or has no readable directory
  umNotFound = 10711         // the requested member is not in the archive
};

// Error codes the library puts in the low byte of FArg1 with a message.
enum : std::int32_t {
  uecOpen = 1, uecFormat = 2, uecData = 3, uecCRC = 4, uecMethod = 5, uecEncrypted = 6,
  uecMemory = 7, uecNotFound = 8
};

// Results of UnzLibExec below 0.
enum : std::int32_t {
  unzAbort = -1, unzAbort2 = -2, unzBusy = -3, unzCancelled = -4, unzNoMemory = -5,
  unzBadStructure = -6, unzHandlerException = -8
};

struct TUnzCallbackRec;
extern "C" {
// Returns 0 to go on, non-zero to stop the run.
typedef std::uint32_t (*TUnzCallback)(TUnzCallbackRec* rec);
}

// One element of the file specification array: the member name; the rest is zero.
struct TUnzFileSpec {
  const char* FFileSpec;
  std::int32_t FReserved[17];
};

// Parameter record of one run: the fields and order of the original 148-byte record, with
// pointers at native width. The comments give the 32-bit offsets.
struct TUnzParams {
  void* FHandle = nullptr;              // 0   window handle for the library's dialogs (unused here)
  void* FCaller = nullptr;              // 4   caller cookie, passed back in every call-back
  std::int32_t FVersion = 0;            // 8   version of the loaded library
  TUnzCallback FCallback = nullptr;     // 12  call-back function
  std::int32_t FTraceEnabled = 0;       // 16
  std::int32_t FReserved20 = 0;         // 20
  const char* FPassword = nullptr;      // 24
  std::int32_t FTest = 0;               // 28  test only: inflate and check, no output
  std::int32_t FComments = 0;           // 32
  std::int32_t FConvert = 0;            // 36
  std::int32_t FQuiet = UnzTrue;        // 40
  std::int32_t FVerboseEnabled = 0;     // 44
  std::int32_t FUpdate = 0;             // 48
  std::int32_t FFreshen = 0;            // 52
  std::int32_t FDirectories = 0;        // 56
  std::int32_t FOverwrite = 0;          // 60
  std::int32_t FArgc = 0;               // 64  number of file specifications
  const char* FZipFileName = nullptr;   // 68  archive path (native)
  TUnzFileSpec* FFileSpecs = nullptr;   // 72
  std::int32_t FReserved76 = 0;         // 76
  std::int32_t FUseOutStream = 0;       // 80  output to memory
  void* FOutStream = nullptr;           // 84  output buffer
  std::uint32_t FOutStreamSize = 0;     // 88  its size
  std::int32_t FUseInStream = 0;        // 92
  void* FInStream = nullptr;            // 96
  std::uint32_t FInStreamSize = 0;      // 100
  std::int32_t FPasswordReqCount = 0;   // 104
  const char* FExtractDir = nullptr;    // 108
  // 112..143: free in the original. We use the start to name the exact central header the
  // caller chose (its file offset + 1; 0 for none), so both sides agree on the member even when
  // names repeat or were converted from another code page.
  std::int64_t FCentralHint = 0;
  std::int32_t FReserved[6] = {};
  std::int32_t FSeven = 0;              // 144 check value 7
};

// Call-back record, filled by the library for each call-back.
struct TUnzCallbackRec {
  void* FHandle = nullptr;              // 0
  void* FCaller = nullptr;              // 4   caller cookie
  std::int32_t FVersion = 0;            // 8
  std::int32_t FIsZipAction = 0;        // 12  non-zero for writing actions
  std::int32_t FActionCode = 0;         // 16  action, text position, message number
  std::int32_t FArg1 = 0;               // 20  argument and answer
  std::int64_t FArg2 = 0;               // 24  second argument and answer (sizes, addresses)
  // 28: the text inline when its first 4 bytes are not all zero, else a pointer to it.
  union {
    char FMsg[512];
    struct {
      std::int32_t FMsgZero;
      const char* FMsgPtr;
    } FMsgRef;
  };
  const char* FMsg2 = nullptr;          // 532 second text (file name or extra data)

  TUnzCallbackRec() : FMsg{} {}
  const char* Text() const {
    if (FMsg[0] || FMsg[1] || FMsg[2] || FMsg[3]) return FMsg;
    return FMsgRef.FMsgPtr ? FMsgRef.FMsgPtr : "";
  }
};

extern "C" {
typedef std::int32_t (*TUnzLibExecFunc)(TUnzParams* params);
typedef std::uint32_t (*TUnzLibVersionFunc)();
}

// Entry point names.
constexpr const char* UnzLibExecName = "UnzLibExec";
constexpr const char* UnzLibVersionName = "GetUnzLibVersion";
constexpr const char* UnzLibPrivVersionName = "GetUnzLibPrivVersion";

}  // namespace korva
