#include "platform/SettingsFiles.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <functional>
#include <string>
#include <system_error>
#include <thread>

namespace {
// A name beside path that no other writer in this process or another one uses right now.
std::filesystem::path AsideName(const std::filesystem::path& path) {
  static std::atomic<unsigned> count{0};
  const auto process = std::chrono::steady_clock::now().time_since_epoch().count();
  std::filesystem::path aside = path;
  aside += ".writing-" +
           std::to_string(std::hash<std::thread::id>()(std::this_thread::get_id()) ^
                          std::size_t(process)) +
           "-" + std::to_string(count.fetch_add(1));
  return aside;
}
} // namespace

bool WriteFileWhole(const std::filesystem::path& path, std::string_view bytes) {
  const std::filesystem::path aside = AsideName(path);
  std::error_code error;
  {
    std::ofstream file(aside, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), std::streamsize(bytes.size()));
    file.close();
    if (!file) {
      std::filesystem::remove(aside, error);
      return false;
    }
  }
  std::filesystem::rename(aside, path, error);
  if (error) {
    std::filesystem::remove(aside, error);
    return false;
  }
  return true;
}
