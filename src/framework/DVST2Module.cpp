#include "framework/DVST2Module.h"

#include "framework/DVstUtils.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

namespace {
// Longest text read from the host where it hands over a zero-terminated text.
constexpr std::size_t kMaxHostTextRead = 256;

// effVendorSpecific's index and value for "the editor's content scale is opt".
constexpr VstIntPtr kScaleVendor = 0x50726553;         // 'PreS'
constexpr VstIntPtr kContentScaleRequest = 0x41654373; // 'AeCs'

struct TCanDoText {
  const char* text;
  TVstCanDo member;
};
constexpr TCanDoText kCanDoTexts[] = {
    {"receiveVstEvents", receiveVstEvents},
    {"receiveVstMidiEvent", receiveVstMidiEvent},
    {"receiveVstTimeInfo", receiveVstTimeInfo},
    {"sendVstEvents", sendVstEvents},
    {"sendVstMidiEvent", sendVstMidiEvent},
    {"sendVstTimeInfo", sendVstTimeInfo},
    {"offline", offline},
    {"plugAsChannelInsert", plugAsChannelInsert},
    {"plugAsSend", plugAsSend},
    {"mixDryWet", mixDryWet},
    {"noRealTime", noRealTime},
    {"multipass", multipass},
    {"metapass", metapass},
    {"1in1out", _1in1out},
    {"1in2out", _1in2out},
    {"2in1out", _2in1out},
    {"2in2out", _2in2out},
    {"2in4out", _2in4out},
    {"4in2out", _4in2out},
    {"4in4out", _4in4out},
    {"4in8out", _4in8out},
    {"8in4out", _8in4out},
    {"8in8out", _8in8out},
    {"midiProgramNames", midiProgramNames},
    {"conformsToWindowRules", conformsToWindowRules},
    {"LiveWithoutToolbar", LiveWithoutToolbar},
    {"bypass", bypass},
};

// A key code's modifier byte from the host's float argument, rounded to nearest.
unsigned char ModifierFrom(float opt) {
  if (!std::isfinite(opt))
    return 0;
  const double clamped = std::clamp(static_cast<double>(opt), -1e9, 1e9);
  return static_cast<unsigned char>(static_cast<long long>(RoundHalfEven(clamped)) & 0xFF);
}

VstIntPtr EventAnswer(bool raised) {
  return raised ? 1 : 0;
}
} // namespace

TCustomVST2Module::TCustomVST2Module() {
  for (std::size_t i = 0; i < FMidiOutBlocks.size(); ++i) {
    FMidiOutBlocks[i].type = kVstMidiType;
    FMidiOutBlocks[i].byteSize = 24;
    FMidiOut.events[i] = reinterpret_cast<VstEvent*>(&FMidiOutBlocks[i]);
  }
}

void TCustomVST2Module::SetMidiOutCount(int32_t count) {
  FMidiOut.numEvents = std::clamp(count, 0, kMidiOutCapacity);
}

void TCustomVST2Module::SendMidiOut() {
  if (FMidiOut.numEvents > 0) {
    SendVstEventsToHost(MidiOutEvents());
    FMidiOut.numEvents = 0;
  }
}

void TCustomVST2Module::Resume() {
  TCustomVST1Module::Resume();
  WantEvents(1);
}

VstIntPtr TCustomVST2Module::Dispatcher(int32_t opcode, int32_t index, VstIntPtr value, void* ptr,
                                        float opt) {
  const VstIntPtr answer = TCustomVST1Module::Dispatcher(opcode, index, value, ptr, opt);
  if (opcode < effProcessEvents || opcode > effBeginLoadProgram)
    return answer;
  const auto valueAsInt = [value] {
    return static_cast<int32_t>(std::clamp<VstIntPtr>(value, INT32_MIN, INT32_MAX));
  };
  switch (opcode) {
  case effProcessEvents: {
    // A missing list holds no events; the answer is 1 whatever the list held.
    const auto* events = static_cast<const VstEvents*>(ptr);
    if (!events)
      return 1;
    VstEvent* const* list = events->events; // as long as numEvents says
    for (int32_t i = 0; i < events->numEvents; ++i) {
      const VstEvent* event = list[i];
      if (event && event->type == kVstMidiType && OnProcessMidi)
        OnProcessMidi(this, *reinterpret_cast<const VstMidiEvent*>(event));
    }
    return 1;
  }
  case effCanBeAutomated:
    return ParameterProperties().ValidIndex(index)
               ? (ParameterProperties()[index].CanBeAutomated ? 1 : 0)
               : 1;
  case effString2Parameter: {
    if (!ptr || !ParameterProperties().ValidIndex(index))
      return 0;
    const std::optional<double> number =
        ParseDecimalText(ReadHostText(static_cast<const char*>(ptr), kMaxHostTextRead));
    if (!number)
      return 0;
    const auto real = static_cast<float>(*number);
    if (!std::isfinite(real))
      return 0;
    SetParameterValue(index, real);
    return 1;
  }
  case effGetNumProgramCategories:
    return 1;
  case effGetProgramNameIndexed:
    if (!ptr || !Programs().ValidIndex(index))
      return 0;
    CopyHostText(static_cast<char*>(ptr), Programs()[index].DisplayName(), THostText::ProgramName);
    return 1;
  case effConnectInput:
    if (OnInConnected)
      OnInConnected(this, index, value != 0);
    return 1;
  case effConnectOutput:
    if (OnOutConnected)
      OnOutConnected(this, index, value != 0);
    return 1;
  case effGetInputProperties:
    return GetInputProperties(index, static_cast<VstPinProperties*>(ptr)) ? 1 : 0;
  case effGetOutputProperties:
    return GetOutputProperties(index, static_cast<VstPinProperties*>(ptr)) ? 1 : 0;
  case effGetPlugCategory:
    return PlugCategory;
  case effOfflineNotify:
    if (OnOfflineNotify)
      OnOfflineNotify(this, static_cast<VstAudioFile*>(ptr), valueAsInt(), index != 0);
    return EventAnswer(bool(OnOfflineNotify));
  case effOfflinePrepare:
    if (OnOfflinePrepare)
      OnOfflinePrepare(this, static_cast<VstOfflineTask*>(ptr), valueAsInt());
    return EventAnswer(bool(OnOfflinePrepare));
  case effOfflineRun:
    if (OnOfflineRun)
      OnOfflineRun(this, static_cast<VstOfflineTask*>(ptr), valueAsInt());
    return EventAnswer(bool(OnOfflineRun));
  case effProcessVarIo:
    if (OnProcessVarIO)
      OnProcessVarIO(this, static_cast<VstVariableIo*>(ptr));
    return EventAnswer(bool(OnProcessVarIO));
  case effSetBlockSizeAndSampleRate:
    SetBlockSizeAndSampleRate(value >= 0 && value <= INT32_MAX ? static_cast<int32_t>(value) : -1,
                              opt);
    return 1;
  case effSetBypass:
    if (OnSoftBypass)
      OnSoftBypass(this, value != 0);
    return EventAnswer(bool(OnSoftBypass));
  case effGetEffectName:
    if (!ptr)
      return 0;
    CopyHostText(static_cast<char*>(ptr), EffectName, THostText::EffectName);
    return 1;
  case effGetVendorString:
    if (!ptr)
      return 0;
    CopyHostText(static_cast<char*>(ptr), VendorName, THostText::VendorProduct);
    return 1;
  case effGetProductString:
    if (!ptr)
      return 0;
    CopyHostText(static_cast<char*>(ptr), ProductName, THostText::VendorProduct);
    return 1;
  case effGetVendorVersion:
    return VendorVersion;
  case effVendorSpecific:
    if (index == kScaleVendor && value == kContentScaleRequest) {
      // Some hosts give the editor's display scale this way, before or after it opens.
      if (SetEditorScale(opt) && EditorForm())
        SizeWindow(EditorForm()->ClientWidth(), EditorForm()->ClientHeight());
      return 1;
    }
    return OnVendorSpecific ? OnVendorSpecific(this, index, value, ptr, opt) : 0;
  case effCanDo:
    if (!ptr)
      return 0;
    return CanDo(ReadHostText(static_cast<const char*>(ptr), kMaxHostTextRead));
  case effGetTailSize:
    return TailSize;
  case effKeysRequired:
    return KeysRequired ? 0 : 1;
  case effGetVstVersion:
    return 2300;
  case effEditKeyDown:
  case effEditKeyUp: {
    const TEditorKeyEvent& event = opcode == effEditKeyDown ? OnEditorKeyDown : OnEditorKeyUp;
    if (!event)
      return 0;
    VstKeyCode key{index, static_cast<unsigned char>(value & 0xFF), ModifierFrom(opt)};
    event(this, key);
    return 1;
  }
  case effSetEditKnobMode:
    if (OnEditorKnobMode)
      OnEditorKnobMode(this, valueAsInt());
    return EventAnswer(bool(OnEditorKnobMode));
  case effGetCurrentMidiProgram:
    return -1;
  case effBeginSetProgram:
    if (OnBeginSetProgram)
      OnBeginSetProgram(this);
    return EventAnswer(bool(OnBeginSetProgram));
  case effEndSetProgram:
    if (OnEndSetProgram)
      OnEndSetProgram(this);
    return EventAnswer(bool(OnEndSetProgram));
  case effStartProcess:
    if (OnStartProcess)
      OnStartProcess(this);
    return EventAnswer(bool(OnStartProcess));
  case effStopProcess:
    if (OnStopProcess)
      OnStopProcess(this);
    return EventAnswer(bool(OnStopProcess));
  case effSetTotalSampleToProcess:
    return value;
  case effSetPanLaw: {
    if (!OnSetPanLaw)
      return 0;
    int32_t type = valueAsInt();
    float law = opt;
    OnSetPanLaw(this, type, law);
    return 1;
  }
  case effBeginLoadBank:
    return BeginLoad(OnBeginLoadBank, ptr);
  case effBeginLoadProgram:
    return BeginLoad(OnBeginLoadProgram, ptr);
  default:
    return 0;
  }
}

VstIntPtr TCustomVST2Module::BeginLoad(const TBeginLoadEvent& event, void* ptr) {
  auto* info = static_cast<VstPatchChunkInfo*>(ptr);
  if (!info)
    return 0;
  const VstIntPtr answer = info->pluginUniqueID == Effect()->uniqueID ? 0 : -1;
  if (event)
    event(this, info);
  return answer;
}

bool TCustomVST2Module::GetInputProperties(int32_t index, VstPinProperties* props) {
  return PinProperties(false, index, props);
}

bool TCustomVST2Module::GetOutputProperties(int32_t index, VstPinProperties* props) {
  return PinProperties(true, index, props);
}

bool TCustomVST2Module::PinProperties(bool output, int32_t index, VstPinProperties* props) {
  if (!props || index < 0 || index >= (output ? numOutputs() : numInputs()))
    return false;
  const std::string number = std::to_string(static_cast<int64_t>(index) + 1);
  std::string label = (output ? "Output #" : "Input #") + number;
  std::string shortLabel = (output ? "Out" : "In") + number;
  TSpeakerArrangementType arrangement = satStereo;
  TChannelPropertyFlags flags{cpfIsActive, cpfIsStereo};
  if (const TGetChannelPropertiesEvent& event = output ? OnOutputProperties : OnInputProperties)
    event(this, label, shortLabel, arrangement, flags);
  CopyHostText(props->label, label, THostText::PinLabel);
  CopyHostText(props->shortLabel, shortLabel, THostText::PinShortLabel);
  props->flags = (flags.Contains(cpfIsActive) ? kVstPinIsActive : 0) |
                 (flags.Contains(cpfIsStereo) ? kVstPinIsStereo : 0) |
                 (flags.Contains(cpfUseSpeaker) ? kVstPinUseSpeaker : 0);
  return true;
}

int32_t TCustomVST2Module::CanDo(const std::string& text) {
  int32_t answer = 0;
  for (const TCanDoText& entry : kCanDoTexts)
    if (text == entry.text) {
      answer = CanDos.Contains(entry.member) ? 1 : -1;
      break;
    }
  if (OnCanDo)
    OnCanDo(this, text);
  return answer;
}
