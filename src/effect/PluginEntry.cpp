// The library's only exports: the VST 2.x entry under its classic name and under the name
// newer hosts look for first. The Windows DLL exports one function under both names through
// its module-definition file.
#include "effect/Zintrax.h"

#if defined(_WIN32)
extern "C" __declspec(dllexport) AEffect* VSTPluginMain(audioMasterCallback audioMaster) {
  return CreateVSTModule<TZintraxModule>(audioMaster);
}
#else
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
#endif
