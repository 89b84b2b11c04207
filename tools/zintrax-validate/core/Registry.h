// The suite: every registered test, in the order they run, and the choice --only makes of them.
#pragma once

#include "core/Validation.h"

#include <string>
#include <vector>

namespace zhost::validate {

// Every test of a format, group by group.
std::vector<const TestCase*> AllTests(PluginFormat format);

// The tests of a format that --only names: exact names or whole groups ("audio" takes every
// "audio.*"); all of them when `only` is empty. Throws UsageError for a name that matches no test.
std::vector<const TestCase*> SelectTests(const std::vector<std::string>& only, PluginFormat format);

} // namespace zhost::validate
