#include "checks/XErrors.h"

#include <X11/Xlib.h>

#include <atomic>

namespace zhost::validate {

namespace {

std::atomic<long> gXErrors{0};

int CountXError(Display*, XErrorEvent*) {
  gXErrors.fetch_add(1);
  return 0;
}

} // namespace

long XErrorsSeen() {
  static const bool installed = [] {
    XInitThreads();
    XSetErrorHandler(CountXError);
    return true;
  }();
  (void)installed;
  return gXErrors.load();
}

} // namespace zhost::validate
