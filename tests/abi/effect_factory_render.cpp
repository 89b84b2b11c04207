// The built plug-in renders every factory program to the bytes recorded for all platforms.
#include "FactoryRender.h"
#include "FactoryRenderHashes.h"
#include "effect_helpers.h"

using namespace effecttest;

TEST(EffectFactoryRender, EveryFactoryProgramGivesTheRecordedBytes) {
  const PrivateSettings settings(factoryrender::kSeed);
  const testhost::Library library;
  for (int32_t program = 0; program < factoryrender::kPrograms; ++program) {
    const testhost::Instance effect(library);
    EXPECT_EQ(factoryrender::HashText(factoryrender::kExpectedHashes[program]),
              factoryrender::HashText(factoryrender::RenderHash(effect.Effect(), program)))
        << "program " << program;
  }
}
