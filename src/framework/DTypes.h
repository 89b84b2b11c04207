// Small types the module framework shares with the effect and the editor: the base of every
// event sender, event signatures, sets over enumerations and the audio handler's signature.
#pragma once

#include "platform/Object.h"

#include <bitset>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <vector>

// A growable array of 32-bit floats.
using TSingleArray = std::vector<float>;

// The audio handler: channel pointer arrays indexed [channel][sample]; it bounds them by the
// module's channel counts and by sampleFrames.
using TProcessAudioEvent =
    std::function<void(const float* const* inputs, float* const* outputs, int32_t sampleFrames)>;

// An error inside the module, carrying its message text. It never crosses the host boundary.
class EVstModuleError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// A set over the members of an enumeration whose ordinals run from 0 to Count - 1.
template <class E, std::size_t Count> class TEnumSet {
public:
  constexpr TEnumSet() = default;
  TEnumSet(std::initializer_list<E> members) {
    for (E m : members)
      Include(m);
  }
  void Include(E m) { FBits.set(static_cast<std::size_t>(m)); }
  void Exclude(E m) { FBits.reset(static_cast<std::size_t>(m)); }
  bool Contains(E m) const { return FBits.test(static_cast<std::size_t>(m)); }
  bool Empty() const { return FBits.none(); }
  bool operator==(const TEnumSet&) const = default;

private:
  std::bitset<Count> FBits;
};
