// The 64-bit CLAP file as a Windows host loads it: every factory program, selected as the preset
// it offers, sounds as the 64-bit VST 2.x DLL with the same values.
#include "FactoryRenderHashes.h"
#include "clap/ClapTestHost.h"

#include <windows.h>

namespace {

VstIntPtr Host(AEffect*, int32_t opcode, int32_t, VstIntPtr, void*, float) {
  return opcode == audioMasterVersion ? 2400 : 0;
}

TEST(ClapFile, EveryProgramSoundsAsTheVst2DllWithTheSameValues) {
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Merrowlake\\Zintrax");
  ASSERT_EQ(0, _putenv((std::string("ZINTRAX_SEED=") + factoryrender::kSeed).c_str()));
  HMODULE vst2 = LoadLibraryA(ZINTRAX_PLUGIN_PATH);
  ASSERT_NE(vst2, nullptr) << GetLastError();
  using Entry = AEffect* (*)(audioMasterCallback);
  const auto entry =
      reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(vst2, "VSTPluginMain")));
  ASSERT_NE(entry, nullptr);
  for (int32_t program = 0; program < factoryrender::kPrograms; ++program) {
    AEffect* reference = entry(Host);
    ASSERT_NE(reference, nullptr);
    EXPECT_EQ(factoryrender::HashText(factoryrender::RenderHash(reference, program, true)),
              factoryrender::HashText(claptest::RenderHash(program)))
        << "program " << program;
    reference->dispatcher(reference, effClose, 0, 0, nullptr, 0.0f);
  }
  FreeLibrary(vst2);
}

} // namespace
