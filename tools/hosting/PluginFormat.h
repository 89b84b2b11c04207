// The plug-in formats the tools load, which one a name the user gave stands for, and how a
// plug-in's library is named to dlopen.
#pragma once

#include <string>

namespace zhost {

enum class PluginFormat { Vst2, Lv2, Vst3, Clap };

// By the name alone: a VST3 bundle (NAME.vst3), a CLAP file (NAME.clap), an LV2 bundle folder
// (NAME.lv2) or an LV2 plug-in's URI, else a VST 2.x library.
PluginFormat FormatOf(const std::string& location);

// "VST 2.x", "LV2", "VST3", "CLAP".
const char* FormatName(PluginFormat format);

// The name to give dlopen for the library at path: a bare file name would make dlopen search
// the library path instead of the current folder.
std::string LibraryLoadPath(const std::string& path);

} // namespace zhost
