#include "effect/Zintrax.h"

#include "editor/VSTEditor.h"
#include "effect/ImpulseSettings.h"
#include "framework/DVstUtils.h"
#include "platform/Settings.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace {
struct TParameterDescription {
  const char* name;
  float min, max;
  const char* units;
};
constexpr TParameterDescription kParameters[] = {
    {"Distance", 50.0f, 750.0f, "cm"},
    {"Feeding", 1.0f, 5.0f, ""},
    {"X-Axis", 0.0f, 1.0f, ""},
    {"Y-Axis", 0.0f, 1.0f, ""},
};
constexpr const char* kProgramNames[] = {"on stage", "heavy rock", "encore"};
constexpr float kFactoryValues[3][4] = {
    {750.0f, 1.5f, 0.5f, 0.5f},
    {750.0f, 2.5f, 0.7f, 0.9f},
    {300.0f, 2.0f, 0.1f, 0.2f},
};
} // namespace

void TZintraxModule::ReadStoredProperties() {
  OldCreateOrder = false;
  OnCreate = [this](TObject* Sender) { VST2ModuleCreate(Sender); };
  SetFlags({pfHasEditor, pfFlagsCanMono, pfFlagsCanReplacing});
  SetVersion("0.0");
  EffectName = "Zintrax";
  ProductName = "Zintrax";
  VendorName = "MerrowlakeAudio";
  VendorVersion = 1;
  PlugCategory = cgEffect;
  TailSize = 0;
  CanDos = {plugAsChannelInsert, plugAsSend, mixDryWet, _2in2out};
  OverwritePrograms = true;
  SetSampleRate(44100.0f);
  SetCurrentProgram(0);
  SetCurrentProgramName("on stage");
  SetUniqueID("Zntx");
  for (const char* name : kProgramNames)
    Programs().Add().SetDisplayName(name);
  for (const TParameterDescription& d : kParameters) {
    TCustomVstParameterProperty& p = ParameterProperties().Add();
    p.Min = d.min;
    p.Max = d.max;
    p.Curve = ctLinear;
    p.SetDisplayName(d.name);
    p.SetUnits(d.units);
    p.CurveFactor = 1.0f;
    p.SmoothingFactor = 1.0f;
    p.CanBeAutomated = true;
  }
  OnInitialize = [this](TObject* Sender) { V2M_Initialize(Sender); };
  OnOpen = [this](TObject* Sender) { VST2ModuleOpen(Sender); };
  OnClose = [this](TObject* Sender) { VST2ModuleClose(Sender); };
  OnEditOpen = [this](TObject* Sender, std::unique_ptr<TCustomEditorForm>& GUI) {
    V2M_EditOpen(Sender, GUI);
  };
  OnParameterChange = [this](TObject* Sender, int32_t Index, float Value) {
    V2M_ParameterChange(Sender, Index, Value);
  };
  const TProcessAudioEvent process = [this](const float* const* inputs, float* const* outputs,
                                            int32_t sampleFrames) {
    V2M_Process(inputs, outputs, sampleFrames);
  };
  SetOnProcess(process);
  SetOnProcessReplacing(process);
}

void TZintraxModule::VST2ModuleCreate(TObject*) {
  FImpulseLength = 64;
}

void TZintraxModule::V2M_Initialize(TObject* Sender) {
  if (!Sender)
    return;
  auto& module = dynamic_cast<TVST2Module&>(*Sender);
  for (int32_t program = 0; program < 3; ++program)
    for (int32_t index = 0; index < 4; ++index)
      module.Programs()[program].SetParameter(index, kFactoryValues[program][index]);
}

void TZintraxModule::VST2ModuleOpen(TObject*) {
  TSettingsStore store;
  FFeedbackPath.Open(LoadImpulseTable(store));
}

void TZintraxModule::VST2ModuleClose(TObject*) {
  FFeedbackPath.Close();
}

// Works from the stored values, not from Value: SetParameterValue stores before it raises
// the event, and editor hosting raises it with the stored values too.
void TZintraxModule::V2M_ParameterChange(TObject*, int32_t Index, float) {
  switch (Index) {
  case 0:
    FFeedbackPath.SetDistance(GetParameterValue(0), FImpulseLength);
    break;
  case 1:
    FFeedbackPath.SetFeeding(GetParameterValue(1));
    break;
  case 2:
  case 3:
    FFeedbackPath.SetPadPosition(GetParameterValue(2), GetParameterValue(3));
    break;
  default:
    return;
  }
  // The editor's objects belong to the editor's thread; a change from any other thread (a
  // host automating from its audio thread) is shown by the editor's next idle call.
  if (TVSTEditorForm* form = EditorOnThisThread())
    ShowParameter(*form, Index);
  else
    FEditorBehind.store(true, std::memory_order_relaxed);
}

// Round is to the nearest integer, halves to even; each control is
// written only when the target differs from what it shows.
void TZintraxModule::ShowParameter(TVSTEditorForm& form, int32_t index) {
  const auto target = [](double v) {
    return int64_t(std::clamp(RoundHalfEven(v), -9.0e18, 9.0e18));
  };
  switch (index) {
  case 0: {
    const int64_t p = target((double(GetParameterValue(0)) - 50.0) * 100.0 / 7.0);
    if (p != form.DistanceDial->Position())
      form.DistanceDial->SetPosition(int32_t(std::clamp<int64_t>(p, INT32_MIN, INT32_MAX)));
    break;
  }
  case 1: {
    const int64_t p = target(double(GetParameterValue(1)) * 100.0) - 100;
    if (p != form.FeedDial->Position())
      form.FeedDial->SetPosition(int32_t(std::clamp<int64_t>(p, INT32_MIN, INT32_MAX)));
    break;
  }
  case 2:
  case 3: {
    const TDIBImage& pad = *form.KnobRange;
    const int64_t left = target(double(GetParameterValue(2)) * (pad.Width() - 6) + pad.Left() - 6);
    if (left != form.Knob->Left())
      form.Knob->SetLeft(int(std::clamp<int64_t>(left, -32768, 32767)));
    const int64_t top = target(double(GetParameterValue(3)) * (pad.Height() - 6) + pad.Top() - 6);
    if (top != form.Knob->Top())
      form.Knob->SetTop(int(std::clamp<int64_t>(top, -32768, 32767)));
    break;
  }
  default:
    break;
  }
}

TVSTEditorForm* TZintraxModule::EditorOnThisThread() const {
  if (!IsEditorThread())
    return nullptr;
  return dynamic_cast<TVSTEditorForm*>(EditorForm());
}

void TZintraxModule::V2M_EditOpen(TObject*, std::unique_ptr<TCustomEditorForm>& GUI) {
  auto form = std::make_unique<TVSTEditorForm>();
  form->EffectModule = this;
  FEditorBehind.store(false, std::memory_order_relaxed);
  form->OnIdle = [this](TVSTEditorForm& f) {
    if (FEditorBehind.exchange(false, std::memory_order_relaxed))
      f.ShowValues([&] {
        for (int32_t index = 0; index < 4; ++index)
          ShowParameter(f, index);
      });
  };
  GUI = std::move(form);
}

void TZintraxModule::V2M_Process(const float* const* inputs, float* const* outputs,
                                 int32_t sampleFrames) {
  if (sampleFrames <= 0 || numInputs() < 2 || numOutputs() < 2)
    return;
  FFeedbackPath.Process(inputs[0], inputs[1], outputs[0], outputs[1], sampleFrames,
                        GetParameterValue(1), Random());
}
