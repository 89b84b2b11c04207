#include "PluginEntries.h"

extern "C" {
__attribute__((visibility("default"))) AEffect*
TestPluginMain(audioMasterCallback host) __asm__("main");
__attribute__((visibility("default"))) AEffect* VSTPluginMain(audioMasterCallback host);
}

AEffect* TestPluginMain(audioMasterCallback host) {
  return CreateTestPlugin(host);
}

AEffect* VSTPluginMain(audioMasterCallback host) {
  return CreateTestPlugin(host);
}
