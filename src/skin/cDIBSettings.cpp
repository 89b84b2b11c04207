#include "skin/cDIBSettings.h"

#include "skin/cDIBCompressor.h"

TDIBSettings::~TDIBSettings() {
  SetCurrentDIBCompressor(nullptr);
}

std::string TDIBSettings::DIBCompressor() const {
  const TAbstractDIBCompressor* current = CurrentDIBCompressor();
  return current ? current->GetIdentifier().ToString() : std::string();
}

void TDIBSettings::SetDIBCompressor(std::string_view identifier) {
  SetCurrentDIBCompressor(FindDIBCompressorByString(identifier));
}
