// A library that loads another by its bare name, found through its own RUNPATH ($ORIGIN), as
// plug-ins load their parts: the validator's replacement of dlopen must keep that working.
#include <dlfcn.h>

extern "C" __attribute__((visibility("default"))) void* LoadBeside(const char* name) {
  void* library = dlopen(name, RTLD_NOW | RTLD_LOCAL);
  // Something after the call, so that it is not made a jump: dlopen searches from whoever called.
  __asm__ volatile("" : : "r"(library) : "memory");
  return library;
}
