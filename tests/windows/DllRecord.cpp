// The 64-bit DLL loaded as a Windows host loads it: LoadLibrary, both entry names, the record.
#include "framework/DAEffect.h"

#include <gtest/gtest.h>
#include <windows.h>

namespace {
VstIntPtr Callback(AEffect*, int32_t opcode, int32_t, VstIntPtr, void*, float) {
  return opcode == 1 ? 2400 : 0; // audioMasterVersion
}

TEST(DllRecord, BothEntriesGiveASoundRecord) {
  HMODULE library = LoadLibraryA(ZINTRAX_PLUGIN_PATH);
  ASSERT_NE(library, nullptr) << "LoadLibrary failed: " << GetLastError();
  using Entry = AEffect* (*)(audioMasterCallback);
  for (const char* name : {"VSTPluginMain", "main"}) {
    auto entry = reinterpret_cast<Entry>(GetProcAddress(library, name));
    ASSERT_NE(entry, nullptr) << name;
    AEffect* effect = entry(Callback);
    ASSERT_NE(effect, nullptr) << name;
    EXPECT_EQ(effect->magic, kEffectMagic);
    EXPECT_EQ(effect->numParams, 4);
    EXPECT_EQ(effect->numPrograms, 3);
    EXPECT_EQ(effect->numInputs, 2);
    EXPECT_EQ(effect->numOutputs, 2);
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
  }
  EXPECT_TRUE(FreeLibrary(library));
}
} // namespace
