// The LV2 user interface: the plug-in's editor on a module of its own that processes nothing,
// embedded in the host's parent window and pumped by the host's idle calls. It meets the
// plug-in only through the host: what the user changes goes out through the host's write
// function (bracketed by touch where the host offers it), and what the host reports comes in
// through port_event without going back out.
#include "formats/common/ModuleAdapter.h"
#include "formats/lv2/Lv2Ports.h"

#include <lv2/atom/atom.h>
#include <lv2/core/lv2.h>
#include <lv2/options/options.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

#include <cstring>
#include <memory>

namespace {

struct TLv2Ui {
  TModuleAdapter Adapter;
  TLv2PortLayout Layout;
  LV2UI_Write_Function Write = nullptr;
  LV2UI_Controller Controller = nullptr;
  const LV2UI_Touch* Touch = nullptr;
  const LV2UI_Resize* Resize = nullptr;
  LV2_URID ScaleFactor = 0; // ui:scaleFactor, when the host maps URIs
  LV2_URID Float = 0;

  // The host's scale among options; true when one was found.
  bool TakeScale(const LV2_Options_Option* options);
  // Tells the host the editor's size.
  void AnnounceSize() const;
};

bool TLv2Ui::TakeScale(const LV2_Options_Option* options) {
  bool found = false;
  for (const LV2_Options_Option* o = options; ScaleFactor && o && o->key; ++o)
    if (o->key == ScaleFactor && o->type == Float && o->size == sizeof(float) && o->value) {
      float scale;
      std::memcpy(&scale, o->value, sizeof scale);
      if (Adapter.SetEditorScale(scale))
        AnnounceSize();
      found = true;
    }
  return found;
}

void TLv2Ui::AnnounceSize() const {
  if (Resize && Resize->ui_resize)
    Resize->ui_resize(Resize->handle, Adapter.EditorWidth(), Adapter.EditorHeight());
}

const void* Feature(const LV2_Feature* const* features, const char* uri) {
  for (int i = 0; features && features[i]; ++i)
    if (std::strcmp(features[i]->URI, uri) == 0)
      return features[i]->data;
  return nullptr;
}

LV2UI_Handle Instantiate(const LV2UI_Descriptor*, const char*, const char*,
                         LV2UI_Write_Function write, LV2UI_Controller controller,
                         LV2UI_Widget* widget, const LV2_Feature* const* features) {
  void* parent = const_cast<void*>(Feature(features, LV2_UI__parent));
  if (!parent || !write || !widget)
    return nullptr;
  try {
    auto ui = std::make_unique<TLv2Ui>();
    ui->Layout = {static_cast<uint32_t>(ui->Adapter.InputCount()),
                  static_cast<uint32_t>(ui->Adapter.OutputCount()),
                  static_cast<uint32_t>(ui->Adapter.ParameterCount())};
    ui->Write = write;
    ui->Controller = controller;
    ui->Touch = static_cast<const LV2UI_Touch*>(Feature(features, LV2_UI__touch));
    ui->Resize = static_cast<const LV2UI_Resize*>(Feature(features, LV2_UI__resize));
    if (const auto* map = static_cast<const LV2_URID_Map*>(Feature(features, LV2_URID__map));
        map && map->map) {
      ui->ScaleFactor = map->map(map->handle, LV2_UI__scaleFactor);
      ui->Float = map->map(map->handle, LV2_ATOM__Float);
    }
    ui->TakeScale(static_cast<const LV2_Options_Option*>(Feature(features, LV2_OPTIONS__options)));
    TLv2Ui* self = ui.get();
    self->Adapter.Notices.ParameterChanged = [self](int32_t index, float value) {
      self->Write(self->Controller, self->Layout.FirstControl() + static_cast<uint32_t>(index),
                  sizeof(float), 0, &value);
    };
    if (self->Touch && self->Touch->touch) {
      self->Adapter.Notices.EditBegun = [self](int32_t index) {
        self->Touch->touch(self->Touch->handle,
                           self->Layout.FirstControl() + static_cast<uint32_t>(index), true);
      };
      self->Adapter.Notices.EditEnded = [self](int32_t index) {
        self->Touch->touch(self->Touch->handle,
                           self->Layout.FirstControl() + static_cast<uint32_t>(index), false);
      };
    }
    if (!self->Adapter.OpenEditor(parent))
      return nullptr;
    *widget = self->Adapter.EditorWindow();
    self->AnnounceSize();
    return ui.release();
  } catch (...) {
    return nullptr;
  }
}

void Cleanup(LV2UI_Handle handle) {
  delete static_cast<TLv2Ui*>(handle);
}

void PortEvent(LV2UI_Handle handle, uint32_t port, uint32_t size, uint32_t format,
               const void* buffer) {
  auto& ui = *static_cast<TLv2Ui*>(handle);
  if (format != 0 || size != sizeof(float) || !buffer || !ui.Layout.IsControl(port))
    return;
  float value;
  std::memcpy(&value, buffer, sizeof value);
  try {
    ui.Adapter.SetParameter(static_cast<int32_t>(port - ui.Layout.FirstControl()), value);
  } catch (...) {
    // The editor shows what it showed.
  }
}

int Idle(LV2UI_Handle handle) {
  try {
    static_cast<TLv2Ui*>(handle)->Adapter.IdleEditor();
  } catch (...) {
    // The next idle call tries again.
  }
  return 0;
}

const LV2UI_Idle_Interface kIdle = {Idle};

// The host may change the scale of an open editor through the options interface.
uint32_t GetOptions(LV2_Handle, LV2_Options_Option*) {
  return LV2_OPTIONS_ERR_UNKNOWN;
}

uint32_t SetOptions(LV2_Handle handle, const LV2_Options_Option* options) {
  try {
    return static_cast<TLv2Ui*>(handle)->TakeScale(options) ? LV2_OPTIONS_SUCCESS
                                                            : LV2_OPTIONS_ERR_BAD_KEY;
  } catch (...) {
    return LV2_OPTIONS_ERR_UNKNOWN;
  }
}

const LV2_Options_Interface kOptions = {GetOptions, SetOptions};

const void* ExtensionData(const char* uri) {
  if (uri && std::strcmp(uri, LV2_UI__idleInterface) == 0)
    return &kIdle;
  return uri && std::strcmp(uri, LV2_OPTIONS__interface) == 0 ? &kOptions : nullptr;
}

const LV2UI_Descriptor kDescriptor = {kLv2UiUri, Instantiate, Cleanup, PortEvent, ExtensionData};

} // namespace

extern "C" LV2_SYMBOL_EXPORT const LV2UI_Descriptor* lv2ui_descriptor(uint32_t index) {
  return index == 0 ? &kDescriptor : nullptr;
}
