// The LV2 plug-in: its descriptor, the only export of the plug-in's binary. Each instance owns a
// module through the adapter; the control ports are applied in run before the audio, all of them
// in the first run after activation and then each one that changed, and the enabled port switches
// the adapter's bypass.
#include "formats/common/ModuleAdapter.h"
#include "formats/lv2/Lv2Ports.h"

#include <lv2/atom/atom.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/core/lv2.h>
#include <lv2/options/options.h>
#include <lv2/urid/urid.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr int32_t kDefaultBlock = 4096;
constexpr int32_t kLongestBlock = 65536;

struct TLv2Instance {
  TModuleAdapter Adapter;
  TLv2PortLayout Layout;
  std::vector<const float*> Inputs;
  std::vector<float*> Outputs;
  std::vector<const float*> Controls;
  const float* Enabled = nullptr;
  std::vector<float> Applied;
  bool ApplyAll = true;
};

// The longest block the host announces through its options, else its usual one; 0 when it
// tells neither.
int32_t HostBlockLength(const LV2_Feature* const* features) {
  const LV2_URID_Map* map = nullptr;
  const LV2_Options_Option* options = nullptr;
  for (int i = 0; features && features[i]; ++i) {
    if (std::strcmp(features[i]->URI, LV2_URID__map) == 0)
      map = static_cast<const LV2_URID_Map*>(features[i]->data);
    else if (std::strcmp(features[i]->URI, LV2_OPTIONS__options) == 0)
      options = static_cast<const LV2_Options_Option*>(features[i]->data);
  }
  if (!map || !map->map || !options)
    return 0;
  const LV2_URID intType = map->map(map->handle, LV2_ATOM__Int);
  const LV2_URID longest = map->map(map->handle, LV2_BUF_SIZE__maxBlockLength);
  const LV2_URID usual = map->map(map->handle, LV2_BUF_SIZE__nominalBlockLength);
  int32_t found = 0;
  for (const LV2_Options_Option* o = options; o->key != 0 || o->value != nullptr; ++o) {
    if (o->type != intType || o->size != sizeof(int32_t) || !o->value)
      continue;
    const int32_t value = *static_cast<const int32_t*>(o->value);
    if (o->key == longest && value > 0)
      return value;
    if (o->key == usual && value > 0)
      found = value;
  }
  return found;
}

LV2_Handle Instantiate(const LV2_Descriptor*, double sampleRate, const char*,
                       const LV2_Feature* const* features) {
  if (!(sampleRate > 0.0) || !std::isfinite(sampleRate))
    return nullptr;
  try {
    auto instance = std::make_unique<TLv2Instance>();
    TModuleAdapter& adapter = instance->Adapter;
    const int32_t announced = HostBlockLength(features);
    const int32_t block = announced > 0 ? std::min(announced, kLongestBlock) : kDefaultBlock;
    adapter.Open(static_cast<float>(sampleRate), block);
    instance->Layout = {static_cast<uint32_t>(adapter.InputCount()),
                        static_cast<uint32_t>(adapter.OutputCount()),
                        static_cast<uint32_t>(adapter.ParameterCount())};
    instance->Inputs.assign(instance->Layout.Inputs, nullptr);
    instance->Outputs.assign(instance->Layout.Outputs, nullptr);
    instance->Controls.assign(instance->Layout.Controls, nullptr);
    instance->Applied.assign(instance->Layout.Controls, 0.0f);
    return instance.release();
  } catch (...) {
    return nullptr;
  }
}

void ConnectPort(LV2_Handle handle, uint32_t port, void* data) {
  auto& instance = *static_cast<TLv2Instance*>(handle);
  const TLv2PortLayout& layout = instance.Layout;
  if (port < layout.FirstOutput())
    instance.Inputs[port] = static_cast<const float*>(data);
  else if (port < layout.FirstControl())
    instance.Outputs[port - layout.FirstOutput()] = static_cast<float*>(data);
  else if (port < layout.Count())
    instance.Controls[port - layout.FirstControl()] = static_cast<const float*>(data);
  else if (port == layout.EnabledPort())
    instance.Enabled = static_cast<const float*>(data);
}

void Activate(LV2_Handle handle) {
  static_cast<TLv2Instance*>(handle)->ApplyAll = true;
}

void Run(LV2_Handle handle, uint32_t frames) {
  auto& instance = *static_cast<TLv2Instance*>(handle);
  TModuleAdapter& adapter = instance.Adapter;
  for (size_t i = 0; i < instance.Controls.size(); ++i) {
    const auto index = static_cast<int32_t>(i);
    const float value = instance.Controls[i] ? *instance.Controls[i] : adapter.Parameter(index);
    if (instance.ApplyAll || value != instance.Applied[i]) {
      adapter.SetParameter(index, value);
      instance.Applied[i] = value;
    }
  }
  instance.ApplyAll = false;
  adapter.SetBypassed(instance.Enabled && *instance.Enabled < 0.5f);
  const auto count = static_cast<int32_t>(std::min<uint32_t>(frames, INT32_MAX));
  adapter.Process(instance.Inputs.data(), instance.Outputs.data(), count);
}

void Deactivate(LV2_Handle) {}

void Cleanup(LV2_Handle handle) {
  delete static_cast<TLv2Instance*>(handle);
}

const void* ExtensionData(const char*) {
  return nullptr;
}

const LV2_Descriptor kDescriptor = {kLv2PluginUri, Instantiate, ConnectPort, Activate,
                                    Run,           Deactivate,  Cleanup,     ExtensionData};

} // namespace

extern "C" LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index) {
  return index == 0 ? &kDescriptor : nullptr;
}
