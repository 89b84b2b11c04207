// The library's only exports: the VST 2.x entry under its classic name and under the name
// newer hosts look for first.
#include "effect/Zintrax.h"

extern "C" {
__attribute__((visibility("default"))) AEffect*
ZintraxMain(audioMasterCallback audioMaster) __asm__("main");
__attribute__((visibility("default"))) AEffect* VSTPluginMain(audioMasterCallback audioMaster);
}

AEffect* ZintraxMain(audioMasterCallback audioMaster) {
  return CreateVSTModule<TZintraxModule>(audioMaster);
}

AEffect* VSTPluginMain(audioMasterCallback audioMaster) {
  return CreateVSTModule<TZintraxModule>(audioMaster);
}
