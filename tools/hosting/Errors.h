// The two ways a command of the tools fails: a request it cannot understand (exit status 2) and a
// request that could not be carried out (exit status 1). Both carry the text shown to the user.
#pragma once

#include <stdexcept>

namespace zhost {

struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct HostError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

} // namespace zhost
