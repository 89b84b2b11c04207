#include "formats/vst3/Factory.h"

#include "formats/common/ModuleAdapter.h"
#include "formats/vst3/Effect.h"
#include "formats/vst3/Texts.h"
#include "formats/vst3/Vst3Object.h"

#include <atomic>
#include <cstring>
#include <string_view>

using namespace vst3;

namespace {

constexpr const char* kSubCategories = "Fx|Distortion|Stereo";
// The interface revision whose facts these declarations follow.
constexpr const char* kSdkVersion = "VST 3.7.14";

class TFactory final : public TObject<IPluginFactory3> {
public:
  ~TFactory() override = default;

  // The library's one factory is never deleted: its count stays at 1 or above whatever a host
  // releases.
  uint32 VST3_CALL addRef() override { return FHeld.fetch_add(1) + 1; }
  uint32 VST3_CALL release() override {
    uint32 held = FHeld.load();
    while (held > 1 && !FHeld.compare_exchange_weak(held, held - 1)) {
    }
    return held > 1 ? held - 1 : 1;
  }

  tresult VST3_CALL queryInterface(const char* iid, void** obj) override {
    return Answer(iid, obj,
                  {{&FUnknown::iid, static_cast<IPluginFactory3*>(this)},
                   {&IPluginFactory::iid, static_cast<IPluginFactory3*>(this)},
                   {&IPluginFactory2::iid, static_cast<IPluginFactory3*>(this)},
                   {&IPluginFactory3::iid, static_cast<IPluginFactory3*>(this)}});
  }

  tresult VST3_CALL getFactoryInfo(PFactoryInfo* info) override {
    if (!info)
      return kInvalidArgument;
    std::memset(info, 0, sizeof *info);
    CopyText8(info->vendor, sizeof info->vendor, PluginDescription().Vendor);
    info->flags = kFactoryFlagUnicode;
    return kResultOk;
  }

  int32 VST3_CALL countClasses() override { return 1; }

  tresult VST3_CALL getClassInfo(int32 index, PClassInfo* info) override {
    return Describe(index, info);
  }
  tresult VST3_CALL getClassInfo2(int32 index, PClassInfo2* info) override {
    return Describe(index, info);
  }
  tresult VST3_CALL getClassInfoUnicode(int32 index, PClassInfoW* info) override {
    return Describe(index, info);
  }

  tresult VST3_CALL createInstance(FIDString cid, FIDString iid, void** obj) override {
    if (!obj)
      return kInvalidArgument;
    *obj = nullptr;
    if (!SameUid(cid, TEffect::kClassId))
      return kNoInterface;
    TEffect* effect = Guarded(static_cast<TEffect*>(nullptr), [] { return new TEffect; });
    if (!effect)
      return kOutOfMemory;
    const tresult answer = effect->queryInterface(iid, obj);
    effect->release(); // the caller's reference, if any, is the one queryInterface added
    return answer;
  }

  tresult VST3_CALL setHostContext(FUnknown*) override { return kResultOk; }

private:
  std::atomic<uint32> FHeld{1};

  // Texts into the 8-bit or 16-bit fields of a class record.
  template <std::size_t N> static void Copy(char8 (&field)[N], std::string_view text) {
    CopyText8(field, N, text);
  }
  template <std::size_t N> static void Copy(char16 (&field)[N], std::string_view text) {
    CopyText16(field, N, text);
  }

  // The one class's record; for the records that have them (PClassInfo2, PClassInfoW) its
  // sub-categories, vendor and versions too.
  template <class Info> static tresult Describe(int32 index, Info* info) {
    if (!info || index != 0)
      return kInvalidArgument;
    std::memset(info, 0, sizeof *info);
    std::memcpy(info->cid, TEffect::kClassId.data(), 16);
    info->cardinality = kManyInstances;
    Copy(info->category, kAudioModuleClass);
    const TModuleDescription& description = PluginDescription();
    Copy(info->name, description.Name);
    if constexpr (requires { info->sdkVersion; }) {
      Copy(info->subCategories, kSubCategories);
      Copy(info->vendor, description.Vendor);
      Copy(info->version, ZINTRAX_VERSION);
      Copy(info->sdkVersion, kSdkVersion);
    }
    return kResultOk;
  }
};

} // namespace

const TModuleDescription& PluginDescription() {
  // A module that cannot be built describes nothing; creating an instance then fails as well.
  static const TModuleDescription description = [] {
    try {
      return TModuleAdapter::Describe();
    } catch (...) {
      return TModuleDescription{};
    }
  }();
  return description;
}

IPluginFactory* AcquireFactory() {
  // One factory for the library's life, ended when the library is unloaded.
  static TFactory factory;
  factory.addRef();
  return &factory;
}
