// A shared library that exports no VST entry point.
extern "C" __attribute__((visibility("default"))) int NotAnEntryPoint() {
  return 0;
}
