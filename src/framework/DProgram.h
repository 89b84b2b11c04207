// Programs: named sets of real parameter values, and the collection of them a module owns.
#pragma once

#include "framework/DAtomicFloats.h"
#include "framework/DCollection.h"
#include "framework/DTypes.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class TCustomVST1Module;

class TCustomVstProgram : public TObject {
public:
  static constexpr std::size_t kMaxDisplayName = 50;

  // Starts named "Init" with one 0.0 value per parameter of the module and an empty chunk.
  explicit TCustomVstProgram(TCustomVST1Module* module);

  TNotifyEvent OnInitialize; // raised once after the module is loaded, the program as Sender

  const std::string& DisplayName() const { return FDisplayName; }
  void SetDisplayName(std::string_view name); // keeps the first 50 characters
  TCustomVST1Module* VSTModule() const { return FModule; }

  // The stored real values. Throws EVstModuleError("Index >= numParams!") for an index
  // outside 0..numParams-1.
  float Parameter(int32_t index) const;
  void SetParameter(int32_t index, float value);
  int32_t ParameterCount() const { return static_cast<int32_t>(FParameter.Size()); }
  void ResizeParameters(int32_t count);

  // Opaque bytes of the program chunk requests.
  std::vector<uint8_t> Chunk;

  // Copies the values and the display name (not the chunk).
  void Assign(const TCustomVstProgram& source);

private:
  void CheckIndex(int32_t index) const;

  TCustomVST1Module* FModule;
  std::string FDisplayName = "Init";
  TAtomicFloats FParameter;
};

// The module's programs; the module's program count follows theirs.
class TCustomVstPrograms : public TOwnedCollection<TCustomVstProgram> {
public:
  explicit TCustomVstPrograms(TCustomVST1Module* module);
};
