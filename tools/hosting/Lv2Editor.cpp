#include "hosting/Lv2Editor.h"

#include "hosting/Errors.h"

#include <X11/Xlib.h>
#include <lv2/atom/atom.h>
#include <lv2/instance-access/instance-access.h>
#include <lv2/parameters/parameters.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace zhost {

Lv2Editor::Lv2Editor(const Lv2Description& plugin, UridMap& urids, void* display,
                     unsigned long parent, float sampleRate, LV2_Handle instance, Host host,
                     float scale)
    : FHost(std::move(host)), FUrids(urids), FSampleRate(sampleRate), FScale(scale) {
  const auto& ui = plugin.X11Ui();
  if (!ui)
    throw HostError(plugin.Location() + ": the plug-in has no X11 UI");
  std::string missing;
  for (const std::string& feature : ui->requiredFeatures)
    if (!Honoured(feature) && !(instance && feature == LV2_INSTANCE_ACCESS_URI))
      missing += (missing.empty() ? "" : ", ") + feature;
  if (!missing.empty())
    throw HostError("the UI " + ui->uri + " requires " + missing + ", which this host lacks");
  FLibrary = std::make_unique<Lv2Binary>(ui->binaryPath);
  FDescriptor = FLibrary->UiDescriptor(ui->uri);
  if (!FDescriptor->instantiate)
    throw HostError(ui->binaryPath + ": the UI " + ui->uri + " has no instantiate");

  const LV2_URID floatType = urids.Map(LV2_ATOM__Float);
  const LV2_Options_Option options[] = {
      {LV2_OPTIONS_INSTANCE, 0, urids.Map(LV2_PARAMETERS__sampleRate), sizeof(float), floatType,
       &FSampleRate},
      {LV2_OPTIONS_INSTANCE, 0, urids.Map(LV2_UI__updateRate), sizeof(float), floatType,
       &FUpdateRate},
      {LV2_OPTIONS_INSTANCE, 0, FScale > 0 ? urids.Map(LV2_UI__scaleFactor) : 0, sizeof(float),
       floatType, &FScale},
      {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr},
  };
  std::vector<LV2_Feature> features = {
      {LV2_UI__parent, reinterpret_cast<void*>(parent)},
      {LV2_UI__idleInterface, nullptr},
      {LV2_UI__resize, &FResize},
      {LV2_UI__touch, &FTouch},
      {LV2_URID__map, urids.MapFeature()},
      {LV2_URID__unmap, urids.UnmapFeature()},
      {LV2_OPTIONS__options, const_cast<LV2_Options_Option*>(options)},
  };
  if (instance)
    features.push_back({LV2_INSTANCE_ACCESS_URI, instance});
  std::vector<const LV2_Feature*> list;
  for (const LV2_Feature& feature : features)
    list.push_back(&feature);
  list.push_back(nullptr);

  LV2UI_Widget widget = nullptr;
  FHandle = FDescriptor->instantiate(FDescriptor, plugin.Uri().c_str(), ui->bundlePath.c_str(),
                                     &Lv2Editor::Write, this, &widget, list.data());
  if (!FHandle)
    throw HostError("the UI " + ui->uri + " refused to be made");
  if (FDescriptor->extension_data)
    FIdle = static_cast<const LV2UI_Idle_Interface*>(
        FDescriptor->extension_data(LV2_UI__idleInterface));
  // Without a size from the UI, the size of the window it made.
  if (FSize.first <= 0 && widget && display) {
    ::Window root;
    int x, y;
    unsigned width, height, border, depth;
    if (XGetGeometry(static_cast<Display*>(display), reinterpret_cast<uintptr_t>(widget), &root, &x,
                     &y, &width, &height, &border, &depth))
      FSize = {static_cast<int>(width), static_cast<int>(height)};
  }
}

Lv2Editor::~Lv2Editor() {
  if (FHandle && FDescriptor->cleanup)
    FDescriptor->cleanup(FHandle);
}

bool Lv2Editor::Idle() {
  return !(FIdle && FIdle->idle && FIdle->idle(FHandle) != 0);
}

void Lv2Editor::PortEvent(uint32_t port, float value) {
  if (FDescriptor->port_event)
    FDescriptor->port_event(FHandle, port, sizeof(float), 0, &value);
}

bool Lv2Editor::SetScale(float scale) {
  const auto* options = FDescriptor->extension_data
                            ? static_cast<const LV2_Options_Interface*>(
                                  FDescriptor->extension_data(LV2_OPTIONS__interface))
                            : nullptr;
  if (!options || !options->set)
    return false;
  FScale = scale;
  const LV2_Options_Option changed[] = {
      {LV2_OPTIONS_INSTANCE, 0, FUrids.Map(LV2_UI__scaleFactor), sizeof(float),
       FUrids.Map(LV2_ATOM__Float), &FScale},
      {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr},
  };
  return options->set(FHandle, changed) == LV2_OPTIONS_SUCCESS;
}

bool Lv2Editor::Honoured(const std::string& feature) {
  static const char* const kHonoured[] = {
      LV2_UI__parent,  LV2_UI__idleInterface, LV2_UI__resize,       LV2_UI__touch,    LV2_URID__map,
      LV2_URID__unmap, LV2_OPTIONS__options,  LV2_UI__noUserResize, LV2_UI__fixedSize};
  return std::any_of(std::begin(kHonoured), std::end(kHonoured),
                     [&](const char* uri) { return feature == uri; });
}

void Lv2Editor::Write(void* self, uint32_t port, uint32_t size, uint32_t format,
                      const void* buffer) {
  auto& editor = *static_cast<Lv2Editor*>(self);
  if (format != 0 || size != sizeof(float) || !buffer || !editor.FHost.write)
    return;
  float value;
  std::memcpy(&value, buffer, sizeof value);
  editor.FHost.write(port, value);
}

int Lv2Editor::Resize(void* self, int width, int height) {
  static_cast<Lv2Editor*>(self)->FSize = {width, height};
  return 0;
}

void Lv2Editor::Touch(void* self, uint32_t port, bool grabbed) {
  auto& editor = *static_cast<Lv2Editor*>(self);
  if (editor.FHost.touch)
    editor.FHost.touch(port, grabbed);
}

} // namespace zhost
