#include "ValidateCommand.h"

#include "hosting/Arguments.h"
#include "hosting/Errors.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace zhost {

namespace {

constexpr const char* kValidator = "zintrax-validate";

std::filesystem::path ValidatorPath() {
  const std::filesystem::path here(ProgramFolder());
  const std::filesystem::path beside = here / kValidator;
  const std::filesystem::path built = here.parent_path() / kValidator / kValidator;
  std::error_code error;
  if (!std::filesystem::exists(beside, error) && std::filesystem::exists(built, error))
    return built;
  return beside;
}

} // namespace

void RunValidate(const ValidateRequest& request) {
  const std::filesystem::path validator = ValidatorPath();
  std::vector<std::string> args = {kValidator};
  args.insert(args.end(), request.args.begin(), request.args.end());
  std::vector<char*> argv;
  for (std::string& arg : args)
    argv.push_back(arg.data());
  argv.push_back(nullptr);
  execv(validator.c_str(), argv.data());
  if (errno == ENOENT)
    throw HostError(validator.string() +
                    " is missing: the validator is a program of its own "
                    "(cmake --build --preset release --target " +
                    kValidator + ")");
  throw HostError("cannot run " + validator.string() + ": " + std::strerror(errno));
}

} // namespace zhost
