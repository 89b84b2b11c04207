// TDIBSettings: the form component that selects the process-wide current compressor by
// the registry-string form of its identifier.
#pragma once

#include <string>
#include <string_view>

class TDIBSettings {
public:
  TDIBSettings() = default;
  TDIBSettings(const TDIBSettings&) = delete;
  TDIBSettings& operator=(const TDIBSettings&) = delete;
  // Clears the selection.
  ~TDIBSettings();

  // The current compressor's identifier, or the empty text when none is selected.
  std::string DIBCompressor() const;
  // Selects the last registered compressor whose identifier string equals the text
  // exactly, or clears the selection when none does.
  void SetDIBCompressor(std::string_view identifier);
};
