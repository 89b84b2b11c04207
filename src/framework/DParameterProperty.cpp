#include "framework/DParameterProperty.h"

#include "framework/DVST1Module.h"

#include <cmath>

namespace {
float Rounded(double x) {
  return static_cast<float>(x);
}
} // namespace

TCustomVstParameterProperty::TCustomVstParameterProperty(TCustomVST1Module* module,
                                                         std::string displayName)
    : FModule(module) {
  SetDisplayName(displayName);
}

void TCustomVstParameterProperty::SetDisplayName(std::string_view name) {
  FDisplayName = name.substr(0, kMaxDisplayName);
}

void TCustomVstParameterProperty::SetUnits(std::string_view units) {
  FUnits = units.substr(0, kMaxUnits);
}

double TCustomVstParameterProperty::Shaped(double n) const {
  const double cf = CurveFactor;
  if (Curve == ctLogarithmic)
    return (std::exp(n * std::log(cf + 1.0)) - 1.0) / cf;
  if (Curve == ctExponential)
    return std::log(cf * n + 1.0) / std::log(cf + 1.0);
  return n;
}

double TCustomVstParameterProperty::Unshaped(double u) const {
  const double cf = CurveFactor;
  switch (Curve) {
  case ctLinear:
    return u;
  case ctLogarithmic:
    return std::log(cf * u + 1.0) / std::log(cf + 1.0);
  case ctExponential:
    return (std::exp(u * std::log(cf + 1.0)) - 1.0) / cf;
  case ctFrequencyScale:
    if (Min != 0.0f) {
      const double ratio = static_cast<double>(Max) / Min;
      return std::log(u * ratio + 1.0) / std::log(ratio);
    }
    return std::log(u * static_cast<double>(Max) + 1.0) / std::log(static_cast<double>(Max));
  }
  return u;
}

float TCustomVstParameterProperty::Smoothed(float r) {
  // A value beyond single precision is refused by the value store; it must not reach the
  // smoothing states, which would then stay infinite or not a number for good.
  if (!std::isfinite(r))
    return r;
  return SmoothValue(r);
}

float TCustomVstParameterProperty::NormalizedToReal(float normalized) {
  return Smoothed(Rounded((static_cast<double>(Max) - Min) * Rounded(Shaped(normalized)) + Min));
}

float TCustomVstParameterProperty::RealToNormalized(float value) const {
  const float u = Rounded((static_cast<double>(value) - Min) / (static_cast<double>(Max) - Min));
  const float rounded = Rounded(Unshaped(u));
  if (!(rounded >= 0.0f))
    return 0.0f;
  return rounded > 1.0f ? 1.0f : rounded;
}

float TCustomVstParameterProperty::MappedReal(double normalized) const {
  return Rounded((static_cast<double>(Max) - Min) * Shaped(normalized) + Min);
}

float TCustomVstParameterProperty::NormalizedToRealPrecise(double normalized) {
  return Smoothed(MappedReal(normalized));
}

double TCustomVstParameterProperty::RealToNormalizedPrecise(float value) const {
  const double v = Unshaped((static_cast<double>(value) - Min) / (static_cast<double>(Max) - Min));
  if (!(v >= 0.0))
    return 0.0;
  return v > 1.0 ? 1.0 : v;
}

float TCustomVstParameterProperty::SmoothValue(float x) {
  // Without smoothing both stages take x as it is. Through the formula, a state left far above x
  // by an earlier host value (1e30 maps to a real 7e32) would cancel x away: the next ordinary
  // value would come out as 0.
  if (SmoothingFactor == 1.0f) {
    FSmoothStates[0] = x;
    FSmoothStates[1] = x;
    return x;
  }
  FSmoothStates[0] =
      Rounded(FSmoothStates[0] + (static_cast<double>(x) - FSmoothStates[0]) * SmoothingFactor);
  FSmoothStates[1] =
      Rounded(FSmoothStates[1] + static_cast<double>(SmoothingFactor) *
                                     (static_cast<double>(FSmoothStates[0]) - FSmoothStates[1]));
  return FSmoothStates[1];
}

void TCustomVstParameterProperty::Assign(const TCustomVstParameterProperty& source) {
  SetDisplayName(source.DisplayName());
}

TCustomVstParameterProperties::TCustomVstParameterProperties(TCustomVST1Module* module)
    : TOwnedCollection(
          [module](int32_t number) {
            return std::make_unique<TCustomVstParameterProperty>(
                module, "Parameter " + std::to_string(number));
          },
          [module](int32_t count) {
            if (module)
              module->ParameterCountChanged(count);
          }) {}
