#include "Lv2Instance.h"

#include "Errors.h"
#include "InfoCommand.h"
#include "Settings.h"

#include <lilv/lilv.h>
#include <lv2/atom/atom.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/core/lv2.h>
#include <lv2/options/options.h>
#include <lv2/presets/presets.h>
#include <lv2/ui/ui.h>
#include <lv2/units/units.h>
#include <lv2/urid/urid.h>

#include <X11/Xlib.h>
#include <dlfcn.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <map>
#include <vector>

namespace zhost {

namespace {

// Room for the events of one block on an atom port; nothing is sent, a plug-in may write.
constexpr uint32_t kAtomCapacity = 8192;

struct NodeDeleter {
  void operator()(LilvNode* node) const { lilv_node_free(node); }
};
using Node = std::unique_ptr<LilvNode, NodeDeleter>;

std::string Text(const LilvNode* node) {
  return node && (lilv_node_is_string(node) || lilv_node_is_uri(node)) ? lilv_node_as_string(node)
                                                                       : "";
}

// URIs to numbers for the plug-in's features, stable for the instance's life.
class UridMap {
public:
  LV2_URID Map(const char* uri) {
    const auto [it, added] = FIds.try_emplace(uri, static_cast<LV2_URID>(FIds.size() + 1));
    return it->second;
  }
  LV2_URID_Map* Feature() { return &FFeature; }

private:
  static LV2_URID MapCallback(LV2_URID_Map_Handle handle, const char* uri) {
    return uri ? static_cast<UridMap*>(handle)->Map(uri) : 0;
  }
  std::map<std::string, LV2_URID> FIds;
  LV2_URID_Map FFeature{this, &UridMap::MapCallback};
};

struct Control {
  uint32_t port = 0;
  std::string symbol, name, unit;
  float min = 0.0f, max = 1.0f, value = 0.0f;
};

class Lv2Instance final : public Instance {
public:
  explicit Lv2Instance(const std::string& location);
  ~Lv2Instance() override;

  const std::string& Location() const override { return FLocation; }
  std::string Format() const override { return "LV2"; }
  std::string Name() const override;
  void PrintDetails(std::ostream& out) const override;

  void Open(float sampleRate, int32_t blockSize) override;
  void Start() override;
  void Process(float** inputs, float** outputs, int32_t frames) override;
  int32_t NumInputs() const override { return static_cast<int32_t>(FAudioIn.size()); }
  int32_t NumOutputs() const override { return static_cast<int32_t>(FAudioOut.size()); }

  int32_t NumParams() const override { return static_cast<int32_t>(FControls.size()); }
  std::string ParameterName(int32_t index) const override { return FControls[index].name; }
  std::string ParameterLabel(int32_t index) const override { return FControls[index].unit; }
  std::string ParameterDisplay(int32_t index) const override {
    return FormatNumber(FControls[index].value);
  }
  std::string DisplayAtEnd(int32_t index, bool high) override;
  bool Automatable(int32_t) const override { return true; }
  void SetParameterText(int32_t index, const std::string& value) override;

  int32_t NumPrograms() const override { return static_cast<int32_t>(FPresets.size()); }
  int32_t CurrentProgram() const override { return FCurrentPreset; }
  std::string ProgramName(int32_t index) const override { return FPresets[index].second; }
  void SelectProgram(int32_t index) override;

  bool HasEditor() const override { return FUiClass != nullptr; }
  std::pair<int, int> EditorSize() const override { return FEditorSize; }
  bool OpenEditor(void* display, unsigned long window) override;
  void IdleEditor() override;
  void CloseEditor() override;

private:
  void FindPlugin();
  void ReadPorts();
  void ReadPresets();
  void FindUi();
  void SetControl(size_t index, float value);
  static void SetPresetValue(const char* symbol, void* self, const void* value, uint32_t size,
                             uint32_t type);
  static void UiWrite(void* self, uint32_t port, uint32_t size, uint32_t format,
                      const void* buffer);
  static int UiResize(void* self, int width, int height);
  static void UiTouch(void*, uint32_t, bool) {}

  std::string FLocation;
  LilvWorld* FWorld = nullptr;
  const LilvPlugin* FPlugin = nullptr;
  UridMap FUrids;
  LilvInstance* FInstance = nullptr;
  bool FActive = false;

  std::vector<uint32_t> FAudioIn, FAudioOut;
  std::vector<Control> FControls;
  std::vector<uint32_t> FOtherControls, FAtomPorts;
  std::vector<float> FOtherValues;
  std::vector<std::vector<uint64_t>> FAtomBuffers;
  std::vector<bool> FAtomInput;
  std::vector<std::pair<std::string, std::string>> FPresets; // URI, label
  int32_t FCurrentPreset = 0;
  int32_t FBlockSize = 0;
  std::vector<LV2_Options_Option> FOptions;

  const LilvUI* FUi = nullptr;
  const LilvNode* FUiClass = nullptr;
  void* FUiLibrary = nullptr;
  const LV2UI_Descriptor* FUiDescriptor = nullptr;
  LV2UI_Handle FUiHandle = nullptr;
  const LV2UI_Idle_Interface* FUiIdle = nullptr;
  std::pair<int, int> FEditorSize{0, 0};
  LV2UI_Resize FResize{this, &Lv2Instance::UiResize};
  LV2UI_Touch FTouch{this, &Lv2Instance::UiTouch};
};

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

} // namespace

bool IsLv2Location(const std::string& location) {
  std::string trimmed = location;
  while (trimmed.size() > 1 && trimmed.back() == '/')
    trimmed.pop_back();
  return EndsWith(trimmed, ".lv2") || location.find("://") != std::string::npos ||
         location.rfind("urn:", 0) == 0;
}

std::unique_ptr<Instance> LoadLv2Instance(const std::string& location) {
  return std::make_unique<Lv2Instance>(location);
}

namespace {

Lv2Instance::Lv2Instance(const std::string& location) : FLocation(location) {
  FWorld = lilv_world_new();
  try {
    FindPlugin();
    ReadPorts();
    ReadPresets();
    FindUi();
  } catch (...) {
    lilv_world_free(FWorld);
    throw;
  }
}

Lv2Instance::~Lv2Instance() {
  CloseEditor();
  if (FInstance) {
    if (FActive)
      lilv_instance_deactivate(FInstance);
    lilv_instance_free(FInstance);
  }
  lilv_world_free(FWorld);
}

void Lv2Instance::FindPlugin() {
  const bool uri = FLocation.find("://") != std::string::npos || FLocation.rfind("urn:", 0) == 0;
  if (uri) {
    lilv_world_load_all(FWorld);
    Node node(lilv_new_uri(FWorld, FLocation.c_str()));
    FPlugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(FWorld), node.get());
    if (!FPlugin)
      throw HostError("no LV2 plug-in " + FLocation + " where lilv looks (LV2_PATH)");
    return;
  }
  std::error_code error;
  const std::filesystem::path folder = std::filesystem::absolute(FLocation, error);
  if (error || !std::filesystem::is_directory(folder, error))
    throw HostError(FLocation + ": no such LV2 bundle folder");
  std::string path = folder.lexically_normal().string();
  if (path.back() != '/')
    path += '/';
  Node bundle(lilv_new_file_uri(FWorld, nullptr, path.c_str()));
  lilv_world_load_bundle(FWorld, bundle.get());
  const LilvPlugins* plugins = lilv_world_get_all_plugins(FWorld);
  LILV_FOREACH(plugins, i, plugins) {
    const LilvPlugin* plugin = lilv_plugins_get(plugins, i);
    if (lilv_node_equals(lilv_plugin_get_bundle_uri(plugin), bundle.get())) {
      FPlugin = plugin;
      break;
    }
  }
  if (!FPlugin)
    throw HostError(FLocation + ": the bundle describes no LV2 plug-in");
}

std::string Lv2Instance::Name() const {
  Node name(lilv_plugin_get_name(FPlugin));
  return Text(name.get());
}

void Lv2Instance::ReadPorts() {
  Node input(lilv_new_uri(FWorld, LV2_CORE__InputPort));
  Node audio(lilv_new_uri(FWorld, LV2_CORE__AudioPort));
  Node control(lilv_new_uri(FWorld, LV2_CORE__ControlPort));
  Node atom(lilv_new_uri(FWorld, LV2_ATOM__AtomPort));
  Node optional(lilv_new_uri(FWorld, LV2_CORE__connectionOptional));
  Node unitProperty(lilv_new_uri(FWorld, LV2_UNITS__unit));
  Node unitSymbol(lilv_new_uri(FWorld, LV2_UNITS__symbol));
  const uint32_t count = lilv_plugin_get_num_ports(FPlugin);
  for (uint32_t p = 0; p < count; ++p) {
    const LilvPort* port = lilv_plugin_get_port_by_index(FPlugin, p);
    const bool in = lilv_port_is_a(FPlugin, port, input.get());
    if (lilv_port_is_a(FPlugin, port, audio.get())) {
      (in ? FAudioIn : FAudioOut).push_back(p);
    } else if (lilv_port_is_a(FPlugin, port, control.get()) && in) {
      Control c;
      c.port = p;
      c.symbol = Text(lilv_port_get_symbol(FPlugin, port));
      Node name(lilv_port_get_name(FPlugin, port));
      c.name = Text(name.get());
      LilvNode *def = nullptr, *min = nullptr, *max = nullptr;
      lilv_port_get_range(FPlugin, port, &def, &min, &max);
      c.min = min ? lilv_node_as_float(min) : 0.0f;
      c.max = max ? lilv_node_as_float(max) : 1.0f;
      c.value = def ? lilv_node_as_float(def) : c.min;
      lilv_node_free(def), lilv_node_free(min), lilv_node_free(max);
      if (LilvNode* unit = lilv_port_get(FPlugin, port, unitProperty.get())) {
        Node symbol(lilv_world_get(FWorld, unit, unitSymbol.get(), nullptr));
        const std::string uri = Text(unit);
        c.unit = symbol ? Text(symbol.get()) : uri.substr(uri.find_last_of("#/") + 1);
        lilv_node_free(unit);
      }
      FControls.push_back(c);
    } else if (lilv_port_is_a(FPlugin, port, control.get())) {
      FOtherControls.push_back(p);
    } else if (lilv_port_is_a(FPlugin, port, atom.get())) {
      FAtomPorts.push_back(p);
    } else if (!lilv_port_has_property(FPlugin, port, optional.get())) {
      throw HostError(FLocation + ": port " + std::to_string(p) +
                      " is of a kind zintrax-host cannot connect");
    }
  }
}

void Lv2Instance::ReadPresets() {
  Node presetClass(lilv_new_uri(FWorld, LV2_PRESETS__Preset));
  Node label(lilv_new_uri(FWorld, LILV_NS_RDFS "label"));
  LilvNodes* presets = lilv_plugin_get_related(FPlugin, presetClass.get());
  LILV_FOREACH(nodes, i, presets) {
    const LilvNode* preset = lilv_nodes_get(presets, i);
    lilv_world_load_resource(FWorld, preset);
    Node name(lilv_world_get(FWorld, preset, label.get(), nullptr));
    FPresets.emplace_back(Text(preset), name ? Text(name.get()) : Text(preset));
  }
  lilv_nodes_free(presets);
  // In the order of their URIs: the order of the statements in a bundle means nothing.
  std::stable_sort(FPresets.begin(), FPresets.end());
}

void Lv2Instance::FindUi() {
  Node x11(lilv_new_uri(FWorld, LV2_UI__X11UI));
  LilvUIs* uis = lilv_plugin_get_uis(FPlugin);
  LILV_FOREACH(uis, i, uis) {
    const LilvUI* ui = lilv_uis_get(uis, i);
    if (lilv_ui_is_a(ui, x11.get())) {
      FUi = ui;
      FUiClass = lilv_nodes_get_first(lilv_ui_get_classes(ui));
      break;
    }
  }
  // The collection stays with the world for the instance's life.
  if (!FUi)
    lilv_uis_free(uis);
}

void Lv2Instance::PrintDetails(std::ostream& out) const {
  InfoLine(out, "URI", Text(lilv_plugin_get_uri(FPlugin)));
  InfoLine(out, "Effect name", Name());
  Node author(lilv_plugin_get_author_name(FPlugin));
  InfoLine(out, "Vendor", Text(author.get()));
  const LilvNode* binary = lilv_plugin_get_library_uri(FPlugin);
  char* path = binary ? lilv_file_uri_parse(lilv_node_as_uri(binary), nullptr) : nullptr;
  InfoLine(out, "Binary", path ? path : "");
  lilv_free(path);
  InfoLine(out, "Class", Text(lilv_plugin_class_get_label(lilv_plugin_get_class(FPlugin))));
  InfoLine(out, "Inputs", std::to_string(FAudioIn.size()) + " audio");
  InfoLine(out, "Outputs", std::to_string(FAudioOut.size()) + " audio");
  std::vector<std::string> features;
  LilvNodes* required = lilv_plugin_get_required_features(FPlugin);
  LILV_FOREACH(nodes, i, required)
  features.push_back(Text(lilv_nodes_get(required, i)));
  lilv_nodes_free(required);
  InfoLine(out, "Requires", InfoList(features));
  InfoLine(out, "Editor", FUi ? Text(lilv_ui_get_uri(FUi)) : "(none)");
}

void Lv2Instance::Open(float sampleRate, int32_t blockSize) {
  if (FInstance)
    return;
  FBlockSize = blockSize;
  const LV2_URID intType = FUrids.Map(LV2_ATOM__Int);
  FOptions = {
      {LV2_OPTIONS_INSTANCE, 0, FUrids.Map(LV2_BUF_SIZE__maxBlockLength), sizeof(int32_t), intType,
       &FBlockSize},
      {LV2_OPTIONS_INSTANCE, 0, FUrids.Map(LV2_BUF_SIZE__nominalBlockLength), sizeof(int32_t),
       intType, &FBlockSize},
      {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr},
  };
  const LV2_Feature map{LV2_URID__map, FUrids.Feature()};
  const LV2_Feature options{LV2_OPTIONS__options, FOptions.data()};
  const LV2_Feature* features[] = {&map, &options, nullptr};
  FInstance = lilv_plugin_instantiate(FPlugin, sampleRate, features);
  if (!FInstance)
    throw HostError(FLocation + ": the plug-in refused to create an instance");
  for (Control& c : FControls)
    lilv_instance_connect_port(FInstance, c.port, &c.value);
  FOtherValues.assign(FOtherControls.size(), 0.0f);
  for (size_t i = 0; i < FOtherControls.size(); ++i)
    lilv_instance_connect_port(FInstance, FOtherControls[i], &FOtherValues[i]);
  const LV2_URID sequence = FUrids.Map(LV2_ATOM__Sequence);
  const LV2_URID chunk = FUrids.Map(LV2_ATOM__Chunk);
  Node input(lilv_new_uri(FWorld, LV2_CORE__InputPort));
  for (uint32_t p : FAtomPorts) {
    FAtomBuffers.emplace_back(kAtomCapacity / sizeof(uint64_t), 0);
    auto* atom = reinterpret_cast<LV2_Atom_Sequence*>(FAtomBuffers.back().data());
    const bool in = lilv_port_is_a(FPlugin, lilv_plugin_get_port_by_index(FPlugin, p), input.get());
    FAtomInput.push_back(in);
    // An empty sequence to read; the whole buffer offered to write into.
    atom->atom.type = in ? sequence : chunk;
    atom->atom.size = in ? sizeof(LV2_Atom_Sequence_Body) : kAtomCapacity - sizeof(LV2_Atom);
    lilv_instance_connect_port(FInstance, p, atom);
  }
}

void Lv2Instance::Start() {
  if (!FInstance || FActive)
    return;
  lilv_instance_activate(FInstance);
  FActive = true;
}

void Lv2Instance::Process(float** inputs, float** outputs, int32_t frames) {
  for (size_t c = 0; c < FAudioIn.size(); ++c)
    lilv_instance_connect_port(FInstance, FAudioIn[c], inputs[c]);
  for (size_t c = 0; c < FAudioOut.size(); ++c)
    lilv_instance_connect_port(FInstance, FAudioOut[c], outputs[c]);
  // Each output sequence offers its whole buffer again.
  for (size_t a = 0; a < FAtomPorts.size(); ++a) {
    auto* atom = reinterpret_cast<LV2_Atom_Sequence*>(FAtomBuffers[a].data());
    if (!FAtomInput[a]) {
      atom->atom.type = FUrids.Map(LV2_ATOM__Chunk);
      atom->atom.size = kAtomCapacity - sizeof(LV2_Atom);
    }
  }
  lilv_instance_run(FInstance, static_cast<uint32_t>(frames));
}

std::string Lv2Instance::DisplayAtEnd(int32_t index, bool high) {
  const Control& c = FControls[index];
  const std::string display = FormatNumber(high ? c.max : c.min);
  return c.unit.empty() ? display : display + " " + c.unit;
}

void Lv2Instance::SetControl(size_t index, float value) {
  FControls[index].value = value;
  if (FUiHandle && FUiDescriptor->port_event)
    FUiDescriptor->port_event(FUiHandle, FControls[index].port, sizeof(float), 0, &value);
}

void Lv2Instance::SetParameterText(int32_t index, const std::string& value) {
  const Control& c = FControls[index];
  const std::optional<double> number = ParseNumber(value);
  if (!number)
    throw UsageError(c.name + "=" + value + ": not a number");
  const double low = std::min(c.min, c.max);
  const double high = std::max(c.min, c.max);
  const double slack = 1e-6 * std::max(1.0, high - low);
  if (*number < low - slack || *number > high + slack)
    throw UsageError(c.name + "=" + value + " is outside its range " + FormatNumber(low) + " to " +
                     FormatNumber(high) + (c.unit.empty() ? "" : " " + c.unit));
  SetControl(static_cast<size_t>(index), static_cast<float>(*number));
}

void Lv2Instance::SetPresetValue(const char* symbol, void* self, const void* value, uint32_t size,
                                 uint32_t type) {
  auto& instance = *static_cast<Lv2Instance*>(self);
  float number = 0.0f;
  if (type == instance.FUrids.Map(LV2_ATOM__Float) && size == sizeof(float))
    std::memcpy(&number, value, sizeof number);
  else if (type == instance.FUrids.Map(LV2_ATOM__Double) && size == sizeof(double))
    number = static_cast<float>(*static_cast<const double*>(value));
  else if (type == instance.FUrids.Map(LV2_ATOM__Int) && size == sizeof(int32_t))
    number = static_cast<float>(*static_cast<const int32_t*>(value));
  else
    return;
  for (size_t i = 0; i < instance.FControls.size(); ++i)
    if (instance.FControls[i].symbol == symbol)
      instance.SetControl(i, number);
}

void Lv2Instance::SelectProgram(int32_t index) {
  Node uri(lilv_new_uri(FWorld, FPresets[index].first.c_str()));
  LilvState* state = lilv_state_new_from_world(FWorld, FUrids.Feature(), uri.get());
  if (!state)
    throw HostError(FLocation + ": preset " + FPresets[index].second + " cannot be read");
  lilv_state_restore(state, nullptr, &Lv2Instance::SetPresetValue, this, 0, nullptr);
  lilv_state_free(state);
  FCurrentPreset = index;
}

int Lv2Instance::UiResize(void* self, int width, int height) {
  static_cast<Lv2Instance*>(self)->FEditorSize = {width, height};
  return 0;
}

void Lv2Instance::UiWrite(void* self, uint32_t port, uint32_t size, uint32_t format,
                          const void* buffer) {
  auto& instance = *static_cast<Lv2Instance*>(self);
  if (format != 0 || size != sizeof(float) || !buffer)
    return;
  for (size_t i = 0; i < instance.FControls.size(); ++i) {
    if (instance.FControls[i].port != port)
      continue;
    std::memcpy(&instance.FControls[i].value, buffer, sizeof(float));
    if (instance.onParameterEdited)
      instance.onParameterEdited(static_cast<int32_t>(i));
  }
}

bool Lv2Instance::OpenEditor(void* display, unsigned long window) {
  if (!FUi || FUiHandle)
    return false;
  char* binary = lilv_file_uri_parse(lilv_node_as_uri(lilv_ui_get_binary_uri(FUi)), nullptr);
  char* bundle = lilv_file_uri_parse(lilv_node_as_uri(lilv_ui_get_bundle_uri(FUi)), nullptr);
  const std::string binaryPath = binary ? binary : "", bundlePath = bundle ? bundle : "";
  lilv_free(binary);
  lilv_free(bundle);
  FUiLibrary = dlopen(binaryPath.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!FUiLibrary)
    throw HostError("cannot load the editor's binary " + binaryPath);
  using Entry = const LV2UI_Descriptor* (*)(uint32_t);
  auto entry = reinterpret_cast<Entry>(dlsym(FUiLibrary, "lv2ui_descriptor"));
  const std::string uri = Text(lilv_ui_get_uri(FUi));
  for (uint32_t i = 0; entry; ++i) {
    const LV2UI_Descriptor* d = entry(i);
    if (!d)
      break;
    if (d->URI && uri == d->URI) {
      FUiDescriptor = d;
      break;
    }
  }
  if (!FUiDescriptor || !FUiDescriptor->instantiate) {
    CloseEditor();
    throw HostError(binaryPath + " does not describe the editor " + uri);
  }
  const LV2_Feature parent{LV2_UI__parent, reinterpret_cast<void*>(window)};
  const LV2_Feature idle{LV2_UI__idleInterface, nullptr};
  const LV2_Feature resize{LV2_UI__resize, &FResize};
  const LV2_Feature touch{LV2_UI__touch, &FTouch};
  const LV2_Feature map{LV2_URID__map, FUrids.Feature()};
  const LV2_Feature* features[] = {&parent, &idle, &resize, &touch, &map, nullptr};
  LV2UI_Widget widget = nullptr;
  FUiHandle = FUiDescriptor->instantiate(FUiDescriptor, Text(lilv_plugin_get_uri(FPlugin)).c_str(),
                                         bundlePath.c_str(), &Lv2Instance::UiWrite, this, &widget,
                                         features);
  if (!FUiHandle) {
    CloseEditor();
    return false;
  }
  if (FUiDescriptor->extension_data)
    FUiIdle = static_cast<const LV2UI_Idle_Interface*>(
        FUiDescriptor->extension_data(LV2_UI__idleInterface));
  // Without a size from the UI, the size of the window it made.
  if (FEditorSize.first <= 0 && widget && display) {
    ::Window root;
    int x, y;
    unsigned width, height, border, depth;
    if (XGetGeometry(static_cast<Display*>(display), reinterpret_cast<uintptr_t>(widget), &root, &x,
                     &y, &width, &height, &border, &depth))
      FEditorSize = {static_cast<int>(width), static_cast<int>(height)};
  }
  // A host tells a new UI every control's value.
  for (Control& c : FControls)
    if (FUiDescriptor->port_event)
      FUiDescriptor->port_event(FUiHandle, c.port, sizeof(float), 0, &c.value);
  return true;
}

void Lv2Instance::IdleEditor() {
  if (FUiHandle && FUiIdle && FUiIdle->idle)
    FUiIdle->idle(FUiHandle);
}

void Lv2Instance::CloseEditor() {
  if (FUiHandle && FUiDescriptor->cleanup)
    FUiDescriptor->cleanup(FUiHandle);
  FUiHandle = nullptr;
  FUiIdle = nullptr;
  FUiDescriptor = nullptr;
  if (FUiLibrary)
    dlclose(FUiLibrary);
  FUiLibrary = nullptr;
}

} // namespace

} // namespace zhost
