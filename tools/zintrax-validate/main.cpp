// zintrax-validate: puts a VST 2.x, VST3, CLAP or LV2 plug-in through a suite of tests, each in a
// process of its own, the way hosts will treat it. `zintrax-host validate` runs it.
#include "core/Options.h"
#include "core/Suite.h"
#include "hosting/Errors.h"

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  using namespace zhost;
  try {
    const auto parsed = validate::ParseOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (std::holds_alternative<validate::HelpRequest>(parsed)) {
      std::cout << validate::UsageText();
      return 0;
    }
    return validate::RunValidate(std::get<validate::ValidateOptions>(parsed), std::cout);
  } catch (const UsageError& error) {
    std::cerr << "zintrax-validate: " << error.what() << '\n';
    return 2;
  } catch (const std::exception& error) {
    std::cerr << "zintrax-validate: " << error.what() << '\n';
    return 1;
  }
}
