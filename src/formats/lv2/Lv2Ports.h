// The plug-in's identity and port layout in LV2, shared by the plug-in, its UI and the
// generator of its description: the audio inputs, then the audio outputs, then one control
// input per parameter, in the module's order, then the plug-in's own bypass switch (a control
// designated lv2:enabled, 1 for processing, 0 for bypassed).
#pragma once

#include <cstdint>
#include <string>

inline constexpr const char* kLv2PluginUri = "https://merrowlake.invalid/lv2/zintrax";
inline constexpr const char* kLv2UiUri = "https://merrowlake.invalid/lv2/zintrax#ui";

struct TLv2PortLayout {
  uint32_t Inputs = 0;
  uint32_t Outputs = 0;
  uint32_t Controls = 0;

  uint32_t FirstOutput() const { return Inputs; }
  uint32_t FirstControl() const { return Inputs + Outputs; }
  uint32_t Count() const { return Inputs + Outputs + Controls; }
  // A control of one of the module's parameters.
  bool IsControl(uint32_t port) const { return port >= FirstControl() && port < Count(); }
  uint32_t EnabledPort() const { return Count(); }
};

// A parameter's name as a port symbol: letters and digits kept (lower case), anything else "_".
std::string Lv2Symbol(const std::string& name);
