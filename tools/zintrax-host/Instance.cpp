#include "Instance.h"

#include "ClapInstance.h"
#include "Lv2Instance.h"
#include "Vst2Instance.h"
#include "Vst3Instance.h"

#include "hosting/PluginFormat.h"

namespace zhost {

std::unique_ptr<Instance> LoadInstance(const std::string& location) {
  switch (FormatOf(location)) {
  case PluginFormat::Vst3:
    return std::make_unique<Vst3Instance>(location);
  case PluginFormat::Clap:
    return std::make_unique<ClapInstance>(location);
  case PluginFormat::Lv2:
    return LoadLv2Instance(location);
  default:
    return std::make_unique<Vst2Instance>(location);
  }
}

} // namespace zhost
