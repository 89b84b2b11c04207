// Writes the LV2 bundle's Turtle files from the module's own description:
//   zintrax-lv2-turtle BUNDLE_FOLDER DSP_BINARY UI_BINARY
#include "formats/common/ModuleAdapter.h"
#include "formats/lv2/Lv2Turtle.h"

#include <filesystem>
#include <fstream>
#include <iostream>

namespace {
bool Write(const std::filesystem::path& path, const std::string& text) {
  const std::filesystem::path aside = path.string() + ".new";
  {
    std::ofstream out(aside, std::ios::binary);
    out << text;
    if (!out.flush())
      return false;
  }
  std::error_code error;
  std::filesystem::rename(aside, path, error);
  return !error;
}
} // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::cerr << "usage: zintrax-lv2-turtle BUNDLE_FOLDER DSP_BINARY UI_BINARY\n";
    return 2;
  }
  try {
    const std::filesystem::path folder = argv[1];
    std::filesystem::create_directories(folder);
    const TLv2Bundle bundle = Lv2BundleText(TModuleAdapter::Describe(), argv[2], argv[3]);
    if (!Write(folder / "manifest.ttl", bundle.Manifest) ||
        !Write(folder / kLv2PluginFile, bundle.Plugin) ||
        !Write(folder / kLv2PresetsFile, bundle.Presets)) {
      std::cerr << "zintrax-lv2-turtle: cannot write into " << folder.string() << '\n';
      return 1;
    }
    return 0;
  } catch (const std::exception& error) {
    std::cerr << "zintrax-lv2-turtle: " << error.what() << '\n';
    return 1;
  }
}
