// The 64-bit DLL renders every factory program to the same bytes as the Linux plug-in.
#include "FactoryRender.h"
#include "FactoryRenderHashes.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>

namespace {
VstIntPtr Host(AEffect*, int32_t opcode, int32_t, VstIntPtr, void*, float) {
  return opcode == audioMasterVersion ? 2400 : 0;
}

TEST(RenderMatchesLinux, EveryFactoryProgramGivesTheRecordedBytes) {
  // Without settings values the embedded impulse table is used, as in the Linux test.
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Merrowlake\\Zintrax");
  ASSERT_EQ(0, _putenv((std::string("ZINTRAX_SEED=") + factoryrender::kSeed).c_str()));
  HMODULE library = LoadLibraryA(ZINTRAX_PLUGIN_PATH);
  ASSERT_NE(library, nullptr) << "LoadLibrary failed: " << GetLastError();
  using Entry = AEffect* (*)(audioMasterCallback);
  const auto entry =
      reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(library, "VSTPluginMain")));
  ASSERT_NE(entry, nullptr);
  for (int32_t program = 0; program < factoryrender::kPrograms; ++program) {
    AEffect* effect = entry(Host);
    ASSERT_NE(effect, nullptr);
    EXPECT_EQ(factoryrender::HashText(factoryrender::kExpectedHashes[program]),
              factoryrender::HashText(factoryrender::RenderHash(effect, program)))
        << "program " << program;
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
  }
  EXPECT_TRUE(FreeLibrary(library));
}
} // namespace
