// Parameter descriptions: range, curve, smoothing, texts and automation of one parameter, and
// the collection of them that a module owns.
#pragma once

#include "framework/DCollection.h"
#include "framework/DTypes.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class TCustomVST1Module;

enum TCurveType : uint8_t {
  ctLinear = 0,
  ctLogarithmic = 1,
  ctExponential = 2,
  ctFrequencyScale = 3
};

// Sender is the module, Value a real value.
using TParameterChangeEvent = std::function<void(TObject* Sender, int32_t Index, float Value)>;
// The handler may replace PreDefined.
using TCustomParameterLabelEvent = std::function<void(TObject* Sender, std::string& PreDefined)>;
using TCustomParameterDisplayEvent = std::function<void(TObject* Sender, std::string& PreDefined)>;

class TCustomVstParameterProperty {
public:
  static constexpr std::size_t kMaxDisplayName = 30;
  static constexpr std::size_t kMaxUnits = 8;

  TCustomVstParameterProperty(TCustomVST1Module* module, std::string displayName);

  float Min = 0.0f;
  float Max = 1.0f;
  TCurveType Curve = ctLinear;
  float CurveFactor = 1.0f;
  float SmoothingFactor = 1.0f; // 1.0 means no smoothing
  bool CanBeAutomated = true;

  TParameterChangeEvent OnParameterChange;
  TCustomParameterLabelEvent OnCustomParameterLabel;
  TCustomParameterDisplayEvent OnCustomParameterDisplay;

  const std::string& DisplayName() const { return FDisplayName; }
  void SetDisplayName(std::string_view name); // keeps the first 30 characters
  const std::string& Units() const { return FUnits; }
  void SetUnits(std::string_view units); // keeps the first 8 characters
  TCustomVST1Module* VSTModule() const { return FModule; }

  // Host value to real value through the curve and the smoothing stages (which it advances);
  // a mapped value that is not finite is answered as it is and leaves the stages alone.
  float NormalizedToReal(float normalized);
  // Real value to host value through the curve, clamped to 0..1.
  float RealToNormalized(float value) const;
  // Two cascaded one-pole stages; with SmoothingFactor 1 the result is x.
  float SmoothValue(float x);

  // The same mapping for hosts whose scale holds double values: the host value and the shaped
  // value are not rounded to single precision, so that for the linear curve a real value taken
  // to the host scale and back is the value again. For a host value of single precision and the
  // linear curve they give what the two above give.
  float NormalizedToRealPrecise(double normalized); // advances the smoothing stages
  double RealToNormalizedPrecise(float value) const;
  // The real value of a host value by curve and range alone, the smoothing stages untouched.
  float MappedReal(double normalized) const;

  // Copies the display name only.
  void Assign(const TCustomVstParameterProperty& source);

private:
  double Shaped(double normalized) const; // the curve, host scale to range scale
  double Unshaped(double fraction) const; // the curve, range scale to host scale
  float Smoothed(float real);

  TCustomVST1Module* FModule;
  std::string FDisplayName;
  std::string FUnits;
  float FSmoothStates[2] = {0.0f, 0.0f};
};

// The module's parameter descriptions; a new one is named "Parameter <count>", and the
// module's value arrays follow the count.
class TCustomVstParameterProperties : public TOwnedCollection<TCustomVstParameterProperty> {
public:
  explicit TCustomVstParameterProperties(TCustomVST1Module* module);
};
