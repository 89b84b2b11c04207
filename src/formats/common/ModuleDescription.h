// What a format's description files say about the plug-in, read from a module of its own: the
// identity, the parameters in their own units, the factory programs and the editor's size.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct TParameterDescription {
  std::string Name;
  std::string Units;
  float Min = 0.0f;
  float Max = 1.0f;
  float Default = 0.0f; // the value of the first factory program
  bool CanBeAutomated = true;
};

struct TProgramDescription {
  std::string Name;
  std::vector<float> Values; // one per parameter, in their own units
};

struct TModuleDescription {
  std::string Name;
  std::string Vendor;
  std::string Product;
  int32_t VendorVersion = 0;
  std::string UniqueID; // four characters
  int32_t Inputs = 0;
  int32_t Outputs = 0;
  std::vector<TParameterDescription> Parameters;
  std::vector<TProgramDescription> Programs;
  bool HasEditor = false;
  int32_t EditorWidth = 0;
  int32_t EditorHeight = 0;
};
