// What the factory render (FactoryRender.h) of the plug-in hashes to, program by program: the
// same on every platform and every build. A deliberate change of the sound changes them; the
// tests print the new values.
#pragma once

#include <cstdint>

namespace factoryrender {

inline constexpr uint64_t kExpectedHashes[] = {
    0x14b445719482a039u, // "on stage"
    0x2f6c93da0f395294u, // "heavy rock"
    0x189191f7d4d1e62cu, // "encore"
};

} // namespace factoryrender
