#include "effect/Zintrax.h"

#include "editor/VSTEditor.h"
#include "effect/ImpulseSettings.h"
#include "effect/ImpulseTable.h"
#include "effect/ZintraxParameters.h"
#include "platform/Settings.h"

#include <iterator>

namespace {
struct TParameterDescription {
  const char* name;
  float min, max;
  const char* units;
};
// In the order of TZintraxParameter.
constexpr TParameterDescription kParameters[kZintraxParameterCount] = {
    {"Distance", 50.0f, 750.0f, "cm"},
    {"Feeding", 1.0f, 5.0f, ""},
    {"X-Axis", 0.0f, 1.0f, ""},
    {"Y-Axis", 0.0f, 1.0f, ""},
};
constexpr const char* kProgramNames[] = {"on stage", "heavy rock", "encore"};
constexpr int32_t kProgramCount = std::size(kProgramNames);
constexpr float kFactoryValues[kProgramCount][kZintraxParameterCount] = {
    {750.0f, 1.5f, 0.5f, 0.5f},
    {750.0f, 2.5f, 0.7f, 0.9f},
    {300.0f, 2.0f, 0.1f, 0.2f},
};
// A build without an editor does not announce one.
#ifdef ZINTRAX_WITHOUT_EDITOR
constexpr bool kHasEditor = false;
#else
constexpr bool kHasEditor = true;
#endif
} // namespace

float TZintraxModule::DefaultParameterValue(int32_t index) const {
  if (index < 0 || index >= kZintraxParameterCount)
    return 0.0f;
  return kFactoryValues[0][index];
}

void TZintraxModule::ReadStoredProperties() {
  OldCreateOrder = false;
  OnCreate = [this](TObject* Sender) { VST2ModuleCreate(Sender); };
  TVst2PluginFlags flags{pfFlagsCanMono, pfFlagsCanReplacing};
  if (kHasEditor)
    flags.Include(pfHasEditor);
  SetFlags(flags);
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
  FImpulseLength = kImpulseTaps;
}

void TZintraxModule::V2M_Initialize(TObject* Sender) {
  if (!Sender)
    return;
  auto& module = dynamic_cast<TVST2Module&>(*Sender);
  for (int32_t program = 0; program < kProgramCount; ++program)
    for (int32_t index = 0; index < kZintraxParameterCount; ++index)
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
  case zpDistance:
    FFeedbackPath.SetDistance(GetParameterValue(zpDistance), FImpulseLength);
    break;
  case zpFeeding:
    FFeedbackPath.SetFeeding(GetParameterValue(zpFeeding));
    break;
  case zpXAxis:
  case zpYAxis:
    FFeedbackPath.SetPadPosition(GetParameterValue(zpXAxis), GetParameterValue(zpYAxis));
    break;
  default:
    return;
  }
  EditorParameterChanged(Index);
}

void TZintraxModule::V2M_EditOpen(TObject*, std::unique_ptr<TCustomEditorForm>& GUI) {
  auto form = std::make_unique<TVSTEditorForm>();
  form->EffectModule = &EditorParameters();
  GUI = std::move(form);
}

void TZintraxModule::V2M_Process(const float* const* inputs, float* const* outputs,
                                 int32_t sampleFrames) {
  if (sampleFrames <= 0 || numInputs() < 2 || numOutputs() < 2)
    return;
  FFeedbackPath.Process(inputs[0], inputs[1], outputs[0], outputs[1], sampleFrames,
                        GetParameterValue(zpFeeding), Random());
}
