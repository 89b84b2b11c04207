// Instances that stay apart, whatever the format: a second instance made beside a running first
// one, its values, program and state changed, blocks processed and then closed, must leave the
// first one's parameter values as the host reads them and, for a plug-in whose output repeats
// for the same input, the first one's output exactly as it is alone.
#pragma once

#include "checks/AudioBlock.h"
#include "core/Validation.h"

#include <functional>
#include <memory>
#include <vector>

namespace zhost::validate {

// One instance of the plug-in, ready to process blocks of up to kIsolationFrames.
class IsolatedInstance {
public:
  virtual ~IsolatedInstance() = default;
  virtual int32_t Inputs() const = 0;
  virtual int32_t Outputs() const = 0;
  // The parameter values as a host reads them.
  virtual std::vector<double> Values() = 0;
  // One call of frames on the block's buffers (made ready for a call that replaces them).
  virtual void Process(AudioBlock& block, int32_t frames) = 0;
  // Values, program and state changed as a host changes those of an instance in a session.
  virtual void Change(Context& context) = 0;
};

inline constexpr int32_t kIsolationFrames = 256;

// lifecycle.isolation, on instances that make makes.
void CheckIsolation(Context& context,
                    const std::function<std::unique_ptr<IsolatedInstance>()>& make);

} // namespace zhost::validate
