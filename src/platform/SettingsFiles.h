// Writing the files that live with the settings (the store itself, the merged impulse table)
// so that no reader ever sees part of one: the bytes go into a file of their own beside the
// target, which then replaces the target in one step.
#pragma once

#include <filesystem>
#include <string_view>

// Answers false, leaving the target as it was and no file behind, when that fails.
bool WriteFileWhole(const std::filesystem::path& path, std::string_view bytes);
