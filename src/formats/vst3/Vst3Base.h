// Our own declarations of the VST3 interface's foundation: the calling convention, result codes,
// class and interface identifiers in their per-platform byte order, FUnknown, IPluginBase,
// IBStream and the plug-in factory with its class records. Plain C++ with no dependency, shared
// by the plug-in and the hosts that load one.
//
// Every interface is an abstract struct of pure virtual methods in the interface's slot order,
// with no destructor and no data, so that its vtable is the interface's function table on every
// compiler we build with.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(_WIN32)
#define VST3_CALL __stdcall
#else
#define VST3_CALL
#endif

namespace vst3 {

using int8 = char;
using uint8 = uint8_t;
using int16 = int16_t;
using uint16 = uint16_t;
using int32 = int32_t;
using uint32 = uint32_t;
using int64 = int64_t;
using uint64 = uint64_t;
using TBool = uint8_t;
using char8 = char;
using char16 = char16_t;
using tresult = int32_t;
using FIDString = const char*;
using String128 = char16[128];

// Result codes: COM's values on Windows, small numbers elsewhere. Success is 0 on both; compare
// with kResultOk, never test a result as a boolean.
#if defined(_WIN32)
inline constexpr tresult kResultOk = 0;
inline constexpr tresult kResultTrue = 0;
inline constexpr tresult kResultFalse = 1;
inline constexpr tresult kNoInterface = int32_t(0x80004002u);
inline constexpr tresult kInvalidArgument = int32_t(0x80070057u);
inline constexpr tresult kNotImplemented = int32_t(0x80004001u);
inline constexpr tresult kInternalError = int32_t(0x80004005u);
inline constexpr tresult kNotInitialized = int32_t(0x8000FFFFu);
inline constexpr tresult kOutOfMemory = int32_t(0x8007000Eu);
#else
inline constexpr tresult kResultOk = 0;
inline constexpr tresult kResultTrue = 0;
inline constexpr tresult kResultFalse = 1;
inline constexpr tresult kNoInterface = -1;
inline constexpr tresult kInvalidArgument = 2;
inline constexpr tresult kNotImplemented = 3;
inline constexpr tresult kInternalError = 4;
inline constexpr tresult kNotInitialized = 5;
inline constexpr tresult kOutOfMemory = 6;
#endif

// A class or interface identifier: 16 bytes, written as four 32-bit words. Linux lays the words
// out most significant byte first; Windows as a GUID on a little-endian machine (the first word
// reversed, the two halves of the second each reversed, the last two as on Linux).
using Uid = std::array<uint8_t, 16>;

constexpr Uid MakeUid(uint32_t l1, uint32_t l2, uint32_t l3, uint32_t l4) {
  const auto byte = [](uint32_t word, int shift) { return uint8_t((word >> shift) & 0xFF); };
#if defined(_WIN32)
  return {byte(l1, 0),  byte(l1, 8),  byte(l1, 16), byte(l1, 24), byte(l2, 16), byte(l2, 24),
          byte(l2, 0),  byte(l2, 8),  byte(l3, 24), byte(l3, 16), byte(l3, 8),  byte(l3, 0),
          byte(l4, 24), byte(l4, 16), byte(l4, 8),  byte(l4, 0)};
#else
  return {byte(l1, 24), byte(l1, 16), byte(l1, 8),  byte(l1, 0),  byte(l2, 24), byte(l2, 16),
          byte(l2, 8),  byte(l2, 0),  byte(l3, 24), byte(l3, 16), byte(l3, 8),  byte(l3, 0),
          byte(l4, 24), byte(l4, 16), byte(l4, 8),  byte(l4, 0)};
#endif
}

// Whether the 16 bytes at id are uid's (null is no identifier).
inline bool SameUid(const void* id, const Uid& uid) {
  return id && std::memcmp(id, uid.data(), uid.size()) == 0;
}

struct FUnknown {
  static constexpr Uid iid = MakeUid(0x00000000, 0x00000000, 0xC0000000, 0x00000046);
  virtual tresult VST3_CALL queryInterface(const char* iid, void** obj) = 0;
  virtual uint32 VST3_CALL addRef() = 0;
  virtual uint32 VST3_CALL release() = 0;
};

struct IPluginBase : FUnknown {
  static constexpr Uid iid = MakeUid(0x22888DDB, 0x156E45AE, 0x8358B348, 0x08190625);
  virtual tresult VST3_CALL initialize(FUnknown* context) = 0;
  virtual tresult VST3_CALL terminate() = 0;
};

enum SeekMode : int32 { kIBSeekSet = 0, kIBSeekCur = 1, kIBSeekEnd = 2 };

// A host's byte stream. read and write may move fewer bytes than asked; their counts tell.
struct IBStream : FUnknown {
  static constexpr Uid iid = MakeUid(0xC3BF6EA2, 0x30994752, 0x9B6BF990, 0x1EE33E9B);
  virtual tresult VST3_CALL read(void* buffer, int32 numBytes, int32* numBytesRead) = 0;
  virtual tresult VST3_CALL write(void* buffer, int32 numBytes, int32* numBytesWritten) = 0;
  virtual tresult VST3_CALL seek(int64 pos, int32 mode, int64* result) = 0;
  virtual tresult VST3_CALL tell(int64* pos) = 0;
};

// --- The factory and the records it fills ---

inline constexpr int32 kManyInstances = 0x7FFFFFFF;
inline constexpr int32 kFactoryFlagUnicode = 1 << 4;
inline constexpr const char* kAudioModuleClass = "Audio Module Class";
inline constexpr const char* kComponentControllerClass = "Component Controller Class";

struct PFactoryInfo {
  char8 vendor[64];
  char8 url[256];
  char8 email[128];
  int32 flags;
};

struct PClassInfo {
  uint8 cid[16];
  int32 cardinality;
  char8 category[32];
  char8 name[64];
};

struct PClassInfo2 {
  uint8 cid[16];
  int32 cardinality;
  char8 category[32];
  char8 name[64];
  uint32 classFlags;
  char8 subCategories[128];
  char8 vendor[64];
  char8 version[64];
  char8 sdkVersion[64];
};

struct PClassInfoW {
  uint8 cid[16];
  int32 cardinality;
  char8 category[32];
  char16 name[64];
  uint32 classFlags;
  char8 subCategories[128];
  char16 vendor[64];
  char16 version[64];
  char16 sdkVersion[64];
};

struct IPluginFactory : FUnknown {
  static constexpr Uid iid = MakeUid(0x7A4D811C, 0x52114A1F, 0xAED9D2EE, 0x0B43BF9F);
  virtual tresult VST3_CALL getFactoryInfo(PFactoryInfo* info) = 0;
  virtual int32 VST3_CALL countClasses() = 0;
  virtual tresult VST3_CALL getClassInfo(int32 index, PClassInfo* info) = 0;
  // cid and iid carry 16 raw identifier bytes each.
  virtual tresult VST3_CALL createInstance(FIDString cid, FIDString iid, void** obj) = 0;
};

struct IPluginFactory2 : IPluginFactory {
  static constexpr Uid iid = MakeUid(0x0007B650, 0xF24B4C0B, 0xA464EDB9, 0xF00B2ABB);
  virtual tresult VST3_CALL getClassInfo2(int32 index, PClassInfo2* info) = 0;
};

struct IPluginFactory3 : IPluginFactory2 {
  static constexpr Uid iid = MakeUid(0x4555A2AB, 0xC1234E57, 0x9B122910, 0x36878931);
  virtual tresult VST3_CALL getClassInfoUnicode(int32 index, PClassInfoW* info) = 0;
  virtual tresult VST3_CALL setHostContext(FUnknown* context) = 0;
};

// The module's entry point every platform exports.
using GetFactoryProc = IPluginFactory*(VST3_CALL*)();

static_assert(sizeof(PFactoryInfo) == 452 && offsetof(PFactoryInfo, flags) == 448);
static_assert(sizeof(PClassInfo) == 116 && offsetof(PClassInfo, name) == 52);
static_assert(sizeof(PClassInfo2) == 440 && offsetof(PClassInfo2, classFlags) == 116 &&
              offsetof(PClassInfo2, subCategories) == 120 && offsetof(PClassInfo2, vendor) == 248 &&
              offsetof(PClassInfo2, version) == 312 && offsetof(PClassInfo2, sdkVersion) == 376);
static_assert(sizeof(PClassInfoW) == 696 && offsetof(PClassInfoW, classFlags) == 180 &&
              offsetof(PClassInfoW, subCategories) == 184 && offsetof(PClassInfoW, vendor) == 312 &&
              offsetof(PClassInfoW, version) == 440 && offsetof(PClassInfoW, sdkVersion) == 568);

} // namespace vst3
