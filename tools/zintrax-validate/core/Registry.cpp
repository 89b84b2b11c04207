#include "core/Registry.h"

#include "hosting/Errors.h"

#include <algorithm>
#include <deque>
#include <iterator>
#include <stdexcept>

namespace zhost::validate {

namespace {

constexpr const char* kGroupOrder[] = {"entry",   "texts",    "parameters", "programs",  "audio",
                                       "process", "realtime", "threads",    "lifecycle", "editor"};

struct Registered {
  PluginFormat format;
  TestCase test;
};

// A deque, so that the addresses handed out stay valid while more tests register.
std::deque<Registered>& Suite() {
  static std::deque<Registered> suite;
  return suite;
}

std::string GroupOf(const std::string& name) {
  return name.substr(0, name.find('.'));
}

size_t GroupRank(const std::string& group) {
  const auto found = std::find(std::begin(kGroupOrder), std::end(kGroupOrder), group);
  return static_cast<size_t>(std::distance(std::begin(kGroupOrder), found));
}

bool ValidName(const std::string& name) {
  const size_t dot = name.find('.');
  if (dot == 0 || dot == std::string::npos || dot + 1 == name.size())
    return false;
  return std::all_of(name.begin(), name.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '_';
  });
}

} // namespace

bool Register(PluginFormat format, TestCase test) {
  if (!ValidName(test.name))
    throw std::logic_error("a validator test needs a lowercase group.name, not '" + test.name +
                           "'");
  for (const Registered& other : Suite())
    if (other.test.name == test.name && other.format == format)
      throw std::logic_error("two validator tests are named " + test.name);
  Suite().push_back({format, std::move(test)});
  return true;
}

std::vector<const TestCase*> AllTests(PluginFormat format) {
  std::vector<const TestCase*> tests;
  for (const Registered& registered : Suite())
    if (registered.format == format)
      tests.push_back(&registered.test);
  std::stable_sort(tests.begin(), tests.end(), [](const TestCase* a, const TestCase* b) {
    const std::string groupA = GroupOf(a->name);
    const std::string groupB = GroupOf(b->name);
    const size_t rankA = GroupRank(groupA);
    const size_t rankB = GroupRank(groupB);
    if (rankA != rankB)
      return rankA < rankB;
    return rankA == std::size(kGroupOrder) && groupA < groupB;
  });
  return tests;
}

std::vector<const TestCase*> SelectTests(const std::vector<std::string>& only,
                                         PluginFormat format) {
  const std::vector<const TestCase*> all = AllTests(format);
  if (only.empty())
    return all;
  for (const std::string& wanted : only) {
    const bool known = std::any_of(all.begin(), all.end(), [&](const TestCase* test) {
      return test->name == wanted || GroupOf(test->name) == wanted;
    });
    if (!known) {
      std::vector<std::string> groups;
      for (const TestCase* test : all)
        if (groups.empty() || groups.back() != GroupOf(test->name))
          groups.push_back(GroupOf(test->name));
      std::string listed;
      for (const std::string& group : groups)
        listed += (listed.empty() ? "" : ", ") + group;
      throw UsageError("--only: no test or group is named '" + wanted + "' (groups: " + listed +
                       ")");
    }
  }
  std::vector<const TestCase*> chosen;
  std::copy_if(all.begin(), all.end(), std::back_inserter(chosen), [&](const TestCase* test) {
    return std::any_of(only.begin(), only.end(), [&](const std::string& wanted) {
      return test->name == wanted || GroupOf(test->name) == wanted;
    });
  });
  return chosen;
}

} // namespace zhost::validate
