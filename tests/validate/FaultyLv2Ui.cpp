// The X11 UI of the validator's LV2 test effect: a plain child window of the host's, its events
// drained on every idle call. FAULT_UI_LEAK leaves its display connection open after cleanup.
#include <X11/Xlib.h>
#include <lv2/ui/ui.h>

#include <cstring>

namespace {

struct Ui {
  Display* display = nullptr;
  Window window = 0;
};

LV2UI_Handle Instantiate(const LV2UI_Descriptor*, const char*, const char*, LV2UI_Write_Function,
                         LV2UI_Controller, LV2UI_Widget* widget,
                         const LV2_Feature* const* features) {
  Window parent = 0;
  for (int i = 0; features && features[i]; ++i)
    if (std::strcmp(features[i]->URI, LV2_UI__parent) == 0)
      parent = reinterpret_cast<Window>(features[i]->data);
  if (!parent)
    return nullptr;
  auto* ui = new Ui;
  ui->display = XOpenDisplay(nullptr);
  if (!ui->display) {
    delete ui;
    return nullptr;
  }
#ifdef FAULT_TOP_LEVEL
  parent = DefaultRootWindow(ui->display); // a window of its own
#endif
  ui->window = XCreateSimpleWindow(ui->display, parent, 0, 0, 200, 120, 0, 0, 0x336699);
  XMapWindow(ui->display, ui->window);
  XSync(ui->display, False); // the widget handed out exists on the server
  *widget = reinterpret_cast<LV2UI_Widget>(ui->window);
  return ui;
}

void Cleanup(LV2UI_Handle handle) {
  auto* ui = static_cast<Ui*>(handle);
  XDestroyWindow(ui->display, ui->window);
  XSync(ui->display, False);
#ifndef FAULT_UI_LEAK
  XCloseDisplay(ui->display);
#endif
  delete ui;
}

void PortEvent(LV2UI_Handle, uint32_t, uint32_t, uint32_t, const void*) {}

int Idle(LV2UI_Handle handle) {
  auto* ui = static_cast<Ui*>(handle);
  while (XPending(ui->display) > 0) {
    XEvent event;
    XNextEvent(ui->display, &event);
  }
  return 0;
}

const void* ExtensionData(const char* uri) {
  static const LV2UI_Idle_Interface idle = {Idle};
  return std::strcmp(uri, LV2_UI__idleInterface) == 0 ? &idle : nullptr;
}

const LV2UI_Descriptor kDescriptor = {"urn:zintrax:validate:faulty#ui", Instantiate, Cleanup,
                                      PortEvent, ExtensionData};

} // namespace

extern "C" LV2_SYMBOL_EXPORT const LV2UI_Descriptor* lv2ui_descriptor(uint32_t index) {
  return index == 0 ? &kDescriptor : nullptr;
}
