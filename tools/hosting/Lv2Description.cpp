#include "hosting/Lv2Description.h"

#include "hosting/Errors.h"

#include <lv2/atom/atom.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/core/lv2.h>
#include <lv2/parameters/parameters.h>
#include <lv2/port-props/port-props.h>
#include <lv2/presets/presets.h>
#include <lv2/resize-port/resize-port.h>
#include <lv2/ui/ui.h>
#include <lv2/units/units.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>

namespace zhost {

namespace {

struct NodeDeleter {
  void operator()(LilvNode* node) const { lilv_node_free(node); }
};
using Node = std::unique_ptr<LilvNode, NodeDeleter>;

std::string Text(const LilvNode* node) {
  return node && (lilv_node_is_string(node) || lilv_node_is_uri(node)) ? lilv_node_as_string(node)
                                                                       : "";
}

std::string FilePath(const LilvNode* uri) {
  if (!uri || !lilv_node_is_uri(uri))
    return "";
  char* path = lilv_file_uri_parse(lilv_node_as_uri(uri), nullptr);
  const std::string text = path ? path : "";
  lilv_free(path);
  return text;
}

float Number(const LilvNode* node, float otherwise) {
  return node && (lilv_node_is_float(node) || lilv_node_is_int(node)) ? lilv_node_as_float(node)
                                                                      : otherwise;
}

} // namespace

LV2_URID UridMap::Map(const char* uri) {
  const std::lock_guard<std::mutex> guard(FLock);
  const auto [it, added] = FIds.try_emplace(uri, static_cast<LV2_URID>(FIds.size() + 1));
  if (added)
    FUris.push_back(&it->first);
  return it->second;
}

const char* UridMap::Unmap(LV2_URID id) {
  const std::lock_guard<std::mutex> guard(FLock);
  return id >= 1 && id <= FUris.size() ? FUris[id - 1]->c_str() : nullptr;
}

LV2_URID UridMap::MapCallback(LV2_URID_Map_Handle handle, const char* uri) {
  return uri ? static_cast<UridMap*>(handle)->Map(uri) : 0;
}

const char* UridMap::UnmapCallback(LV2_URID_Unmap_Handle handle, LV2_URID id) {
  return static_cast<UridMap*>(handle)->Unmap(id);
}

Lv2Description::Lv2Description(const std::string& location) : FLocation(location) {
  FWorld = lilv_world_new();
  try {
    Find();
    ReadPorts();
    ReadPresets();
    ReadUi();
  } catch (...) {
    lilv_world_free(FWorld);
    throw;
  }
}

Lv2Description::~Lv2Description() {
  lilv_world_free(FWorld);
}

void Lv2Description::Find() {
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

std::string Lv2Description::Uri() const {
  return Text(lilv_plugin_get_uri(FPlugin));
}

std::string Lv2Description::Name() const {
  Node name(lilv_plugin_get_name(FPlugin));
  return Text(name.get());
}

std::string Lv2Description::Author() const {
  Node author(lilv_plugin_get_author_name(FPlugin));
  return Text(author.get());
}

std::string Lv2Description::ClassLabel() const {
  return Text(lilv_plugin_class_get_label(lilv_plugin_get_class(FPlugin)));
}

std::string Lv2Description::BinaryPath() const {
  return FilePath(lilv_plugin_get_library_uri(FPlugin));
}

std::string Lv2Description::BundlePath() const {
  std::string path = FilePath(lilv_plugin_get_bundle_uri(FPlugin));
  if (!path.empty() && path.back() != '/')
    path += '/';
  return path;
}

std::vector<std::string> Lv2Description::Features(const LilvNode* subject) const {
  Node required(lilv_new_uri(FWorld, LV2_CORE__requiredFeature));
  std::vector<std::string> features;
  LilvNodes* nodes = lilv_world_find_nodes(FWorld, subject, required.get(), nullptr);
  LILV_FOREACH(nodes, i, nodes)
  features.push_back(Text(lilv_nodes_get(nodes, i)));
  lilv_nodes_free(nodes);
  return features;
}

std::vector<std::string> Lv2Description::RequiredFeatures() const {
  return Features(lilv_plugin_get_uri(FPlugin));
}

bool Lv2Description::InPlaceBroken() const {
  Node broken(lilv_new_uri(FWorld, LV2_CORE__inPlaceBroken));
  return lilv_plugin_has_feature(FPlugin, broken.get());
}

bool Lv2Description::IsGenerator() const {
  const std::string uri = Text(lilv_plugin_class_get_uri(lilv_plugin_get_class(FPlugin)));
  return uri == LV2_CORE__GeneratorPlugin || uri == LV2_CORE__InstrumentPlugin ||
         uri == LV2_CORE__OscillatorPlugin;
}

void Lv2Description::ReadPorts() {
  const auto uri = [this](const char* text) { return Node(lilv_new_uri(FWorld, text)); };
  const Node input = uri(LV2_CORE__InputPort), audio = uri(LV2_CORE__AudioPort),
             control = uri(LV2_CORE__ControlPort), atom = uri(LV2_ATOM__AtomPort),
             cv = uri(LV2_CORE__CVPort), optional = uri(LV2_CORE__connectionOptional),
             integer = uri(LV2_CORE__integer), toggled = uri(LV2_CORE__toggled),
             enumeration = uri(LV2_CORE__enumeration), rate = uri(LV2_CORE__sampleRate),
             minimumSize = uri(LV2_RESIZE_PORT__minimumSize), unitProperty = uri(LV2_UNITS__unit),
             unitSymbol = uri(LV2_UNITS__symbol);
  const uint32_t count = lilv_plugin_get_num_ports(FPlugin);
  for (uint32_t p = 0; p < count; ++p) {
    const LilvPort* port = lilv_plugin_get_port_by_index(FPlugin, p);
    const auto is = [&](const Node& kind) { return lilv_port_is_a(FPlugin, port, kind.get()); };
    const auto has = [&](const Node& property) {
      return lilv_port_has_property(FPlugin, port, property.get());
    };
    Lv2Port d;
    d.index = p;
    d.kind = is(audio)     ? Lv2Port::Kind::Audio
             : is(control) ? Lv2Port::Kind::Control
             : is(atom)    ? Lv2Port::Kind::Atom
             : is(cv)      ? Lv2Port::Kind::CV
                           : Lv2Port::Kind::Other;
    d.input = is(input);
    d.optional = has(optional);
    d.symbol = Text(lilv_port_get_symbol(FPlugin, port));
    Node name(lilv_port_get_name(FPlugin, port));
    d.name = Text(name.get());
    LilvNode *def = nullptr, *min = nullptr, *max = nullptr;
    lilv_port_get_range(FPlugin, port, &def, &min, &max);
    d.min = Number(min, 0.0f);
    d.max = Number(max, 1.0f);
    d.def = Number(def, d.min);
    lilv_node_free(def), lilv_node_free(min), lilv_node_free(max);
    d.integer = has(integer);
    d.toggled = has(toggled);
    d.enumeration = has(enumeration);
    d.sampleRate = has(rate);
    if (LilvScalePoints* points = lilv_port_get_scale_points(FPlugin, port)) {
      LILV_FOREACH(scale_points, i, points)
      d.scalePoints.push_back(
          Number(lilv_scale_point_get_value(lilv_scale_points_get(points, i)), d.def));
      lilv_scale_points_free(points);
    }
    if (LilvNode* size = lilv_port_get(FPlugin, port, minimumSize.get())) {
      d.minimumSize = static_cast<uint32_t>(std::max(0, lilv_node_as_int(size)));
      lilv_node_free(size);
    }
    if (LilvNode* unit = lilv_port_get(FPlugin, port, unitProperty.get())) {
      Node symbol(lilv_world_get(FWorld, unit, unitSymbol.get(), nullptr));
      const std::string text = Text(unit);
      d.unit = symbol ? Text(symbol.get()) : text.substr(text.find_last_of("#/") + 1);
      lilv_node_free(unit);
    }
    FPorts.push_back(std::move(d));
  }
}

void Lv2Description::ReadPresets() {
  Node presetClass(lilv_new_uri(FWorld, LV2_PRESETS__Preset));
  Node label(lilv_new_uri(FWorld, LILV_NS_RDFS "label"));
  LilvNodes* presets = lilv_plugin_get_related(FPlugin, presetClass.get());
  LILV_FOREACH(nodes, i, presets) {
    const LilvNode* preset = lilv_nodes_get(presets, i);
    lilv_world_load_resource(FWorld, preset);
    Node name(lilv_world_get(FWorld, preset, label.get(), nullptr));
    FPresets.push_back({Text(preset), name ? Text(name.get()) : Text(preset)});
  }
  lilv_nodes_free(presets);
  // The order of the statements in a bundle means nothing.
  std::stable_sort(FPresets.begin(), FPresets.end(),
                   [](const Preset& a, const Preset& b) { return a.uri < b.uri; });
}

std::vector<std::pair<std::string, float>> Lv2Description::PresetValues(size_t preset,
                                                                        UridMap& urids) const {
  struct Collected {
    UridMap& urids;
    std::vector<std::pair<std::string, float>> values;
  } collected{urids, {}};
  Node uri(lilv_new_uri(FWorld, FPresets.at(preset).uri.c_str()));
  LilvState* state = lilv_state_new_from_world(FWorld, urids.MapFeature(), uri.get());
  if (!state)
    throw HostError(FLocation + ": preset " + FPresets[preset].label + " cannot be read");
  const auto set = [](const char* symbol, void* data, const void* value, uint32_t size,
                      uint32_t type) {
    auto& into = *static_cast<Collected*>(data);
    float number = 0.0f;
    if (type == into.urids.Map(LV2_ATOM__Float) && size == sizeof(float))
      std::memcpy(&number, value, sizeof number);
    else if (type == into.urids.Map(LV2_ATOM__Double) && size == sizeof(double))
      number = static_cast<float>(*static_cast<const double*>(value));
    else if (type == into.urids.Map(LV2_ATOM__Int) && size == sizeof(int32_t))
      number = static_cast<float>(*static_cast<const int32_t*>(value));
    else
      return;
    into.values.emplace_back(symbol, number);
  };
  lilv_state_restore(state, nullptr, set, &collected, 0, nullptr);
  lilv_state_free(state);
  return collected.values;
}

void Lv2Description::ReadUi() {
  Node x11(lilv_new_uri(FWorld, LV2_UI__X11UI));
  LilvUIs* uis = lilv_plugin_get_uis(FPlugin);
  LILV_FOREACH(uis, i, uis) {
    const LilvUI* ui = lilv_uis_get(uis, i);
    if (!lilv_ui_is_a(ui, x11.get()))
      continue;
    lilv_world_load_resource(FWorld, lilv_ui_get_uri(ui));
    FUi = Ui{Text(lilv_ui_get_uri(ui)), FilePath(lilv_ui_get_binary_uri(ui)),
             FilePath(lilv_ui_get_bundle_uri(ui)), Features(lilv_ui_get_uri(ui))};
    if (!FUi->bundlePath.empty() && FUi->bundlePath.back() != '/')
      FUi->bundlePath += '/';
    break;
  }
  lilv_uis_free(uis);
}

} // namespace zhost
