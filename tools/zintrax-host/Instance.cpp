#include "Instance.h"

#include "Lv2Instance.h"
#include "Vst2Instance.h"
#include "Vst3Instance.h"
#include "Vst3Library.h"

namespace zhost {

std::unique_ptr<Instance> LoadInstance(const std::string& location) {
  if (Vst3Library::IsBundle(location))
    return std::make_unique<Vst3Instance>(location);
  if (IsLv2Location(location))
    return LoadLv2Instance(location);
  return std::make_unique<Vst2Instance>(location);
}

} // namespace zhost
