#include "Instance.h"

#include "Vst2Instance.h"

namespace zhost {

std::unique_ptr<Instance> LoadInstance(const std::string& location) {
  return std::make_unique<Vst2Instance>(location);
}

} // namespace zhost
