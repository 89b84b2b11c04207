#include "ClapInstance.h"

#include "InfoLines.h"

#include "hosting/Errors.h"
#include "hosting/NumberText.h"

#include <cmath>
#include <limits>

namespace zhost {

namespace {

std::string Text(const char* text) {
  return text ? text : "";
}

std::string Features(const clap_plugin_descriptor& d) {
  std::string list;
  for (const char* const* f = d.features; f && *f && list.size() < 4096; ++f)
    list += (list.empty() ? "" : ", ") + std::string(*f);
  return list;
}

std::string Port(const ClapEffect& effect, bool input) {
  const clap_plugin_audio_ports* ports = effect.ports;
  if (!ports || !ports->count || !ports->get)
    return "0";
  const uint32_t count = ports->count(&effect.Plugin(), input);
  std::string text = std::to_string(count);
  for (uint32_t i = 0; i < count && i < 64; ++i) {
    clap_audio_port_info info{};
    if (!ports->get(&effect.Plugin(), i, input, &info))
      continue;
    info.name[sizeof info.name - 1] = '\0';
    text += (i ? ", \"" : ": \"") + std::string(info.name) + "\" (" +
            std::to_string(info.channel_count) + " channels" +
            (info.flags & CLAP_AUDIO_PORT_IS_MAIN ? ", main" : "") + ")";
  }
  return text;
}

} // namespace

ClapInstance::ClapInstance(const std::string& path) : FLocation(path), FLibrary(path) {
  FEffect = std::make_unique<ClapEffect>(FLibrary);
  FPresetLoad = static_cast<const clap_plugin_preset_load*>(
      FEffect->Plugin().get_extension(&FEffect->Plugin(), CLAP_EXT_PRESET_LOAD));
  if (FPresetLoad && FPresetLoad->from_location)
    for (ClapPreset& preset : CrawlPresets(FLibrary))
      for (const std::string& id : preset.pluginIds)
        if (id == Text(FEffect->Descriptor().id)) {
          FPresets.push_back(preset);
          break;
        }
  FRequests = std::make_unique<std::atomic<double>[]>(FEffect->Parameters().size());
  for (std::size_t i = 0; i < FEffect->Parameters().size(); ++i)
    FRequests[i].store(std::numeric_limits<double>::quiet_NaN());
  FEvents.Reserve(FEffect->Parameters().size());
  FEdited = std::make_unique<std::atomic<bool>[]>(FEffect->Parameters().size());
  FEdits.ctx = this;
  FEdits.try_push = [](const clap_output_events* list, const clap_event_header* event) {
    auto& self = *static_cast<ClapInstance*>(list->ctx);
    if (!event || event->space_id != CLAP_CORE_EVENT_SPACE_ID ||
        event->type != CLAP_EVENT_PARAM_VALUE || event->size < sizeof(clap_event_param_value))
      return event != nullptr;
    const auto& change = *reinterpret_cast<const clap_event_param_value*>(event);
    for (std::size_t i = 0; i < self.FEffect->Parameters().size(); ++i)
      if (self.FEffect->Parameters()[i].id == change.param_id)
        self.FEdited[i].store(true);
    return true;
  };
  const auto* gui = static_cast<const clap_plugin_gui*>(
      FEffect->Plugin().get_extension(&FEffect->Plugin(), CLAP_EXT_GUI));
  FHasEditor = gui && gui->is_api_supported &&
               gui->is_api_supported(&FEffect->Plugin(), CLAP_WINDOW_API_X11, false);
}

ClapInstance::~ClapInstance() = default;

std::string ClapInstance::Name() const {
  return Text(FEffect->Descriptor().name);
}

void ClapInstance::PrintDetails(std::ostream& out) const {
  const clap_plugin_descriptor& d = FEffect->Descriptor();
  InfoLine(out, "Plug-in name", Name());
  InfoLine(out, "Vendor", Text(d.vendor));
  InfoLine(out, "Version", Text(d.version));
  InfoLine(out, "Plug-in ID", Text(d.id));
  InfoLine(out, "Features", Features(d));
  InfoLine(out, "Description", Text(d.description));
  InfoLine(out, "CLAP version",
           std::to_string(d.clap_version.major) + "." + std::to_string(d.clap_version.minor) + "." +
               std::to_string(d.clap_version.revision));
  InfoLine(out, "Library", FLocation);
  InfoLine(out, "Inputs", Port(*FEffect, true));
  InfoLine(out, "Outputs", Port(*FEffect, false));
}

void ClapInstance::Open(float sampleRate, int32_t blockSize) {
  FSampleRate = sampleRate;
  FBlockSize = blockSize;
}

void ClapInstance::Start() {
  FEffect->Activate(FSampleRate, 1, uint32_t(FBlockSize));
  FEffect->StartProcessing();
}

void ClapInstance::Process(float** inputs, float** outputs, int32_t frames) {
  FEvents.Clear();
  for (std::size_t i = 0; i < FEffect->Parameters().size(); ++i)
    if (const double value = FRequests[i].exchange(std::numeric_limits<double>::quiet_NaN());
        !std::isnan(value))
      FEvents.Value(0, FEffect->Parameters()[i].id, value);
  if (FEffect->Process(inputs, outputs, uint32_t(frames), &FEvents, &FEdits) == CLAP_PROCESS_ERROR)
    throw HostError(FLocation + ": the plug-in failed to process a block");
}

std::string ClapInstance::ParameterName(int32_t index) const {
  return Info(index).name;
}

std::string ClapInstance::ParameterDisplay(int32_t index) const {
  const clap_id id = Info(index).id;
  return FEffect->Text(id, FEffect->Value(id).value_or(Info(index).default_value));
}

std::string ClapInstance::DisplayAtEnd(int32_t index, bool high) {
  return FEffect->Text(Info(index).id, high ? Info(index).max_value : Info(index).min_value);
}

std::optional<ValueRange> ClapInstance::Range(int32_t index) {
  return ValueRange{Info(index).min_value, Info(index).max_value};
}

bool ClapInstance::Automatable(int32_t index) const {
  return (Info(index).flags & CLAP_PARAM_IS_AUTOMATABLE) != 0;
}

void ClapInstance::SetParameterText(int32_t index, const std::string& value) {
  const std::optional<double> parsed = FEffect->Parse(Info(index).id, Trim(value));
  if (!parsed)
    throw UsageError(ParameterName(index) + "=" + value +
                     ": the plug-in does not accept this text");
  if (FEffect->Active()) {
    FRequests[std::size_t(index)].store(*parsed);
    return;
  }
  ClapEventList change;
  change.Value(0, Info(index).id, *parsed);
  FEffect->Flush(change, &FEdits);
}

std::string ClapInstance::ProgramName(int32_t index) const {
  return index >= 0 && index < NumPrograms() ? FPresets[std::size_t(index)].name : std::string();
}

void ClapInstance::SelectProgram(int32_t index) {
  if (index < 0 || index >= NumPrograms())
    return;
  if (!FPresetLoad->from_location(&FEffect->Plugin(), CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN,
                                  nullptr, FPresets[std::size_t(index)].loadKey.c_str()))
    throw HostError(FLocation + ": the plug-in refused to load its preset \"" + ProgramName(index) +
                    "\"");
  FProgram = index;
}

std::pair<int, int> ClapInstance::EditorSize() const {
  const auto* gui = static_cast<const clap_plugin_gui*>(
      FEffect->Plugin().get_extension(&FEffect->Plugin(), CLAP_EXT_GUI));
  uint32_t width = 0, height = 0;
  if (FEffect->EditorOpen() && gui && gui->get_size &&
      gui->get_size(&FEffect->Plugin(), &width, &height))
    return {int(width), int(height)};
  // Before it opens: the size it will take at this scale.
  if (gui && gui->create && gui->create(&FEffect->Plugin(), CLAP_WINDOW_API_X11, false)) {
    if (editorScale > 0 && gui->set_scale)
      gui->set_scale(&FEffect->Plugin(), editorScale);
    if (!gui->get_size || !gui->get_size(&FEffect->Plugin(), &width, &height))
      width = height = 0;
    gui->destroy(&FEffect->Plugin());
  }
  return {int(width), int(height)};
}

bool ClapInstance::OpenEditor(void*, unsigned long window) {
  CloseEditor();
  return FEffect->OpenEditor(window, editorScale);
}

void ClapInstance::IdleEditor() {
  FEffect->RunLoop(0);
  // A request to flush while nothing processes is answered here, on the main thread.
  if (!FEffect->Active() && FEffect->FlushRequests() != FFlushesServed) {
    FFlushesServed = FEffect->FlushRequests();
    FEffect->Flush(ClapEventList(), &FEdits);
  }
  for (std::size_t i = 0; i < FEffect->Parameters().size(); ++i)
    if (FEdited[i].exchange(false) && onParameterEdited)
      onParameterEdited(int32_t(i));
}

void ClapInstance::CloseEditor() {
  FEffect->CloseEditor();
}

} // namespace zhost
