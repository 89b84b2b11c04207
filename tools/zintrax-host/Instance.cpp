#include "Instance.h"

#include "Lv2Instance.h"
#include "Vst2Instance.h"

namespace zhost {

std::unique_ptr<Instance> LoadInstance(const std::string& location) {
  if (IsLv2Location(location))
    return LoadLv2Instance(location);
  return std::make_unique<Vst2Instance>(location);
}

} // namespace zhost
