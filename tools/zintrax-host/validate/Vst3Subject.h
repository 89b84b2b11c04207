// What the validator's VST3 tests are handed: the bundle loaded as a host loads it and one
// instance of its first effect class, set up as a host sets one up.
#pragma once

#include "Errors.h"
#include "Vst3Library.h"
#include "Vst3Plugin.h"

#include <memory>
#include <string>

namespace zhost::validate {

struct Vst3Subject {
  explicit Vst3Subject(const std::string& bundle) : library(bundle) {
    if (library.Effects().empty())
      throw HostError(bundle + ": the factory offers no audio effect (\"Audio Module Class\")");
    plugin = Another();
  }
  // A further instance of the same class.
  std::unique_ptr<Vst3Plugin> Another() const {
    return std::make_unique<Vst3Plugin>(library, library.Effects().front().cid);
  }

  Vst3Library library;
  std::unique_ptr<Vst3Plugin> plugin;
};

} // namespace zhost::validate
