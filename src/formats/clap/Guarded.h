// Whatever a call into the module throws must not cross into the host.
#pragma once

template <class Result, class Body> Result Guarded(Result failed, Body body) {
  try {
    return body();
  } catch (...) {
    return failed;
  }
}
