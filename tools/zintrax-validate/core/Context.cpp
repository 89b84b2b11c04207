#include "core/Runner.h"
#include "core/Validation.h"

#include <cstdarg>
#include <cstdio>

namespace zhost::validate {

namespace {

uint32_t NameHash(std::string_view name) {
  uint32_t hash = 2166136261u;
  for (char c : name)
    hash = (hash ^ static_cast<uint8_t>(c)) * 16777619u;
  return hash;
}

} // namespace

Context::Context(Settings settings, std::string_view testName, Reporter& reporter)
    : FSettings(std::move(settings)), FReporter(reporter) {
  std::seed_seq seeds{FSettings.seed, NameHash(testName)};
  FRandom.seed(seeds);
}

double Context::Uniform(double low, double high) {
  return std::uniform_real_distribution<double>(low, high)(FRandom);
}

int64_t Context::Between(int64_t low, int64_t high) {
  return std::uniform_int_distribution<int64_t>(low, high)(FRandom);
}

void Context::Fail(const std::string& what) {
  ++FFailures;
  FReporter.Failure(what);
}

void Context::Abort(const std::string& what) {
  Fail(what);
  throw TestStopped{};
}

void Context::Skip(const std::string& why) {
  FReporter.Skip(why);
  throw TestStopped{};
}

void Context::Note(const std::string& key, const std::string& value) {
  FReporter.Note(key, value);
}

void Context::Step(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vsnprintf(FReporter.StepBuffer(), FReporter.StepSize(), format, args);
  va_end(args);
}

std::string Printable(std::string_view text, size_t most) {
  std::string shown = "\"";
  size_t count = 0;
  for (char c : text) {
    if (count++ == most) {
      shown += "...";
      break;
    }
    const auto byte = static_cast<unsigned char>(c);
    if (byte == '"' || byte == '\\') {
      shown += '\\';
      shown += c;
    } else if (byte >= 0x20 && byte < 0x7f) {
      shown += c;
    } else {
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\x%02x", byte);
      shown += hex;
    }
  }
  return shown + "\"";
}

} // namespace zhost::validate
