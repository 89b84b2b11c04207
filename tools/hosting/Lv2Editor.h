// A plug-in's X11 UI embedded in a host window: its binary loaded, the UI instantiated as a child
// of the window with the features a host of such UIs offers (the parent, the idle interface,
// resizing, gestures, URIDs, options and, given an instance, instance access), pumped by idle
// calls and told control values through port_event. Everything on the thread that made it.
#pragma once

#include "hosting/Lv2Binary.h"

#include <functional>
#include <memory>
#include <string>
#include <utility>

namespace zhost {

class Lv2Editor {
public:
  struct Host {
    // A control value the UI wrote to a port (ui:floatProtocol), and a gesture begun or ended.
    std::function<void(uint32_t port, float value)> write;
    std::function<void(uint32_t port, bool grabbed)> touch;
  };

  // Loads the UI's binary and instantiates the UI in parent (an X11 Window on display);
  // instance is the plug-in instance's handle for instance access, or null; a scale above 0 is
  // offered as the ui:scaleFactor option. Throws HostError when the plug-in has no X11 UI or
  // the UI cannot be loaded or made.
  Lv2Editor(const Lv2Description& plugin, UridMap& urids, void* display, unsigned long parent,
            float sampleRate, LV2_Handle instance, Host host, float scale = 0.0f);
  // Cleans the UI up and unloads its binary.
  ~Lv2Editor();
  Lv2Editor(const Lv2Editor&) = delete;
  Lv2Editor& operator=(const Lv2Editor&) = delete;

  // One idle call; false once the UI asked to be closed.
  bool Idle();
  void PortEvent(uint32_t port, float value);
  // The size the UI asked for through ui:resize, else its widget's window's; 0 x 0 if neither.
  std::pair<int, int> Size() const { return FSize; }
  bool HasIdle() const { return FIdle && FIdle->idle; }
  // Tells the open UI a new display scale through its options interface; false when it has no
  // such interface or refuses the option.
  bool SetScale(float scale);

  // The features a host of this class offers a UI: what a UI requires beyond them it cannot get.
  static bool Honoured(const std::string& feature);

private:
  static void Write(void* self, uint32_t port, uint32_t size, uint32_t format, const void* buffer);
  static int Resize(void* self, int width, int height);
  static void Touch(void* self, uint32_t port, bool grabbed);

  Host FHost;
  UridMap& FUrids;
  float FSampleRate;
  float FUpdateRate = 30.0f;
  float FScale = 0.0f;
  std::unique_ptr<Lv2Binary> FLibrary;
  const LV2UI_Descriptor* FDescriptor = nullptr;
  LV2UI_Handle FHandle = nullptr;
  const LV2UI_Idle_Interface* FIdle = nullptr;
  std::pair<int, int> FSize{0, 0};
  LV2UI_Resize FResize{this, &Lv2Editor::Resize};
  LV2UI_Touch FTouch{this, &Lv2Editor::Touch};
};

} // namespace zhost
