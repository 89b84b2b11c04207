// The 64-bit DLL loaded as a Windows host loads it: LoadLibrary, both entry names, the record.
#include "framework/DAEffect.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace {
VstIntPtr Callback(AEffect*, int32_t opcode, int32_t, VstIntPtr, void*, float) {
  return opcode == 1 ? 2400 : 0; // audioMasterVersion
}

std::string Text(AEffect* effect, int32_t opcode, int32_t index = 0) {
  char text[256] = {};
  effect->dispatcher(effect, opcode, index, 0, text, 0.0f);
  return text;
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
    EXPECT_EQ(effect->uniqueID, FourCharCode('Z', 'n', 't', 'x'));
    EXPECT_EQ(effect->flags, 0x19); // editor, mono, replacing
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
  }
  EXPECT_TRUE(FreeLibrary(library));
}

// What a host reads before it shows the plug-in, as the Linux plug-in answers it.
TEST(DllRecord, OpcodesAnswerAsOnLinux) {
  HMODULE library = LoadLibraryA(ZINTRAX_PLUGIN_PATH);
  ASSERT_NE(library, nullptr);
  auto entry = reinterpret_cast<AEffect* (*)(audioMasterCallback)>(
      reinterpret_cast<void*>(GetProcAddress(library, "VSTPluginMain")));
  AEffect* effect = entry(Callback);
  ASSERT_NE(effect, nullptr);
  effect->dispatcher(effect, effOpen, 0, 0, nullptr, 0.0f);
  EXPECT_EQ(Text(effect, effGetEffectName), "Zintrax");
  EXPECT_EQ(Text(effect, effGetVendorString), "MerrowlakeAudio");
  EXPECT_EQ(Text(effect, effGetProductString), "Zintrax");
  EXPECT_EQ(effect->dispatcher(effect, effGetVstVersion, 0, 0, nullptr, 0.0f), 2300);
  EXPECT_EQ(effect->dispatcher(effect, effGetPlugCategory, 0, 0, nullptr, 0.0f), 1);
  EXPECT_EQ(Text(effect, effGetProgramNameIndexed, 2), "encore");
  EXPECT_EQ(Text(effect, effGetParamName, 0), "Distance");
  EXPECT_EQ(Text(effect, effGetParamDisplay, 0), "750");
  EXPECT_EQ(Text(effect, effGetParamLabel, 0), "cm");
  char canDo[] = "2in2out";
  EXPECT_EQ(effect->dispatcher(effect, effCanDo, 0, 0, canDo, 0.0f), 1);
  effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
  EXPECT_TRUE(FreeLibrary(library));
}
} // namespace
