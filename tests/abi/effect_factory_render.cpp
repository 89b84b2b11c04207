// The built plug-in renders every factory program to the bytes recorded for all platforms,
// through the kernel it chooses for this processor and through the portable kernel that
// ZINTRAX_PORTABLE_KERNEL forces.
#include "FactoryRender.h"
#include "FactoryRenderHashes.h"
#include "effect_helpers.h"

using namespace effecttest;

namespace {
void ExpectRecordedBytes() {
  const PrivateSettings settings(factoryrender::kSeed);
  const testhost::Library library;
  for (int32_t program = 0; program < factoryrender::kPrograms; ++program) {
    const testhost::Instance effect(library);
    EXPECT_EQ(factoryrender::HashText(factoryrender::kExpectedHashes[program]),
              factoryrender::HashText(factoryrender::RenderHash(effect.Effect(), program)))
        << "program " << program;
  }
}
} // namespace

TEST(EffectFactoryRender, EveryFactoryProgramGivesTheRecordedBytes) {
  ExpectRecordedBytes();
}

TEST(EffectFactoryRender, ThePortableKernelGivesTheSameBytes) {
  setenv("ZINTRAX_PORTABLE_KERNEL", "1", 1);
  ExpectRecordedBytes();
  unsetenv("ZINTRAX_PORTABLE_KERNEL");
}
