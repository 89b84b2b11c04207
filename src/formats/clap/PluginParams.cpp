// The parameters as a CLAP host sees them: in their own units (Distance in centimetres), with the
// module's texts, set by events at their offsets or in a flush, modulated on top of their base.
#include "formats/clap/Plugin.h"

#include "formats/clap/Description.h"
#include "formats/common/ModuleAdapter.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string_view>

namespace {

void CopyText(char* to, std::size_t capacity, std::string_view text) {
  if (!to || capacity == 0)
    return;
  const std::size_t n = std::min(text.size(), capacity - 1);
  std::memcpy(to, text.data(), n);
  to[n] = '\0';
}

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
    text.remove_prefix(1);
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
    text.remove_suffix(1);
  return text;
}

} // namespace

const clap_plugin_params TClapPlugin::kParams = {
    [](const clap_plugin* p) { return uint32_t(Of(p).FParameters) + 1; },
    [](const clap_plugin* p, uint32_t index, clap_param_info* info) {
      return info && Of(p).ParamInfo(index, *info);
    },
    [](const clap_plugin* p, clap_id id, double* value) {
      if (!value || (!Of(p).ValidId(id) && id != kBypassId))
        return false;
      *value = id == kBypassId ? (Of(p).FModule->Bypassed() ? 1.0 : 0.0) : Of(p).FBase[id].load();
      return true;
    },
    [](const clap_plugin* p, clap_id id, double value, char* text, uint32_t capacity) {
      if (!text || capacity == 0 || (!Of(p).ValidId(id) && id != kBypassId) ||
          !std::isfinite(value))
        return false;
      CopyText(text, capacity, Of(p).Text(id, value));
      return true;
    },
    [](const clap_plugin* p, clap_id id, const char* text, double* value) {
      if (!text || !value)
        return false;
      const std::optional<double> parsed = Of(p).Value(id, text);
      if (parsed)
        *value = *parsed;
      return parsed.has_value();
    },
    [](const clap_plugin* p, const clap_input_events* in, const clap_output_events* out) {
      TClapPlugin& plugin = Of(p);
      // Active, this is the audio thread's turn (without one, the events go as a block's would
      // while the main thread loads a state).
      if (!plugin.FActive) {
        plugin.Flush(in, out);
      } else if (plugin.FTurns.TryAudio()) {
        plugin.Flush(in, out);
        plugin.FTurns.EndAudio();
      }
    }};

bool TClapPlugin::ValidId(clap_id id) const {
  return id < clap_id(FParameters);
}

bool TClapPlugin::ParamInfo(uint32_t index, clap_param_info& info) const {
  if (index == uint32_t(FParameters)) {
    std::memset(&info, 0, sizeof info);
    info.id = kBypassId;
    info.flags = CLAP_PARAM_IS_BYPASS | CLAP_PARAM_IS_STEPPED | CLAP_PARAM_IS_AUTOMATABLE;
    CopyText(info.name, sizeof info.name, "Bypass");
    info.max_value = 1.0;
    return true;
  }
  if (!ValidId(index))
    return false;
  const TParameterDescription& description = PluginDescription().Parameters.at(index);
  std::memset(&info, 0, sizeof info);
  info.id = index;
  info.flags =
      description.CanBeAutomated ? CLAP_PARAM_IS_AUTOMATABLE | CLAP_PARAM_IS_MODULATABLE : 0u;
  CopyText(info.name, sizeof info.name, description.Name);
  info.min_value = description.Min;
  info.max_value = description.Max;
  info.default_value = description.Default;
  return true;
}

std::string TClapPlugin::Text(clap_id id, double value) const {
  if (id == kBypassId)
    return value >= 0.5 ? "On" : "Off";
  const TParameterDescription& description = PluginDescription().Parameters.at(id);
  const double within = std::clamp(value, double(description.Min), double(description.Max));
  const std::string display = FModule->ParameterDisplayFor(int32_t(id), float(within));
  return description.Units.empty() ? display : display + " " + description.Units;
}

std::optional<double> TClapPlugin::Value(clap_id id, const char* text) const {
  if (id == kBypassId) {
    const std::string_view word = Trimmed(text);
    if (word == "On" || word == "on" || word == "1")
      return 1.0;
    if (word == "Off" || word == "off" || word == "0")
      return 0.0;
    return std::nullopt;
  }
  if (!ValidId(id))
    return std::nullopt;
  const TParameterDescription& description = PluginDescription().Parameters.at(id);
  std::string_view number = Trimmed(text);
  // The unit the texts end with may be typed or left out.
  if (!description.Units.empty() && number.size() > description.Units.size() &&
      number.substr(number.size() - description.Units.size()) == description.Units)
    number = Trimmed(number.substr(0, number.size() - description.Units.size()));
  const std::optional<float> value = FModule->ParseParameter(int32_t(id), number);
  if (!value)
    return std::nullopt;
  return std::clamp(double(*value), double(description.Min), double(description.Max));
}

void TClapPlugin::Apply(const clap_event_header& event) {
  if (event.space_id != CLAP_CORE_EVENT_SPACE_ID ||
      (event.type != CLAP_EVENT_PARAM_VALUE && event.type != CLAP_EVENT_PARAM_MOD) ||
      event.size < sizeof(clap_event_param_value))
    return;
  const auto& change = reinterpret_cast<const clap_event_param_value&>(event);
  if (change.param_id == kBypassId && event.type == CLAP_EVENT_PARAM_VALUE &&
      std::isfinite(change.value))
    FModule->SetBypassed(change.value >= 0.5);
  if (!ValidId(change.param_id) || !std::isfinite(change.value))
    return;
  const TParameterDescription& description = PluginDescription().Parameters[change.param_id];
  // The module holds single-precision values: the host reads back the value it plays.
  if (event.type == CLAP_EVENT_PARAM_VALUE)
    FBase[change.param_id] =
        float(std::clamp(change.value, double(description.Min), double(description.Max)));
  else
    FModulation[change.param_id] = change.value;
  Play(int32_t(change.param_id));
}

void TClapPlugin::Flush(const clap_input_events* in, const clap_output_events* out) {
  const uint32_t count = in && in->size && in->get ? in->size(in) : 0;
  for (uint32_t i = 0; i < count; ++i)
    if (const clap_event_header* event = in->get(in, i))
      Apply(*event);
  if (out && out->try_push)
    FEdits.Drain(*out);
}

void TClapPlugin::Play(int32_t index) {
  const TParameterDescription& description = PluginDescription().Parameters[size_t(index)];
  const double modulation = FModulation[size_t(index)].load();
  double value = FBase[size_t(index)].load();
  if (modulation != 0.0)
    value = std::clamp(value + modulation, double(description.Min), double(description.Max));
  FModule->SetParameter(index, float(value));
}

void TClapPlugin::TakeModuleValues() {
  for (int32_t i = 0; i < FParameters; ++i) {
    FBase[size_t(i)] = FModule->Parameter(i);
    if (FModulation[size_t(i)].load() != 0.0)
      Play(i);
  }
  if (FHostParams && FHostParams->rescan)
    FHostParams->rescan(FHost, CLAP_PARAM_RESCAN_VALUES | CLAP_PARAM_RESCAN_TEXT);
}
