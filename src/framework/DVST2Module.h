// The VST 2 level of the module: the opcodes the second revision added, identity and
// capability answers, pin properties, the outgoing MIDI event list and one operation per
// request the module may make of the host.
#pragma once

#include "framework/DVST1Module.h"

#include <array>
#include <string>

enum TVstPluginCategory {
  cgUnknown,
  cgEffect,
  cgSynth,
  cgAnalysis,
  cgMastering,
  cgSpacializer,
  cgRoomFx,
  cgSurroundFx,
  cgRestoration,
  cgOfflineProcess,
  cgShell,
  cgGenerator,
};

enum TVstCanDo {
  sendVstEvents,
  sendVstMidiEvent,
  sendVstTimeInfo,
  receiveVstEvents,
  receiveVstMidiEvent,
  receiveVstTimeInfo,
  offline,
  plugAsChannelInsert,
  plugAsSend,
  mixDryWet,
  noRealTime,
  multipass,
  metapass,
  _1in1out,
  _1in2out,
  _2in1out,
  _2in2out,
  _2in4out,
  _4in2out,
  _4in4out,
  _4in8out,
  _8in4out,
  _8in8out,
  midiProgramNames,
  LiveWithoutToolbar,
  conformsToWindowRules,
  bypass,
};
using TVstCanDos = TEnumSet<TVstCanDo, 27>;

enum TChannelPropertyFlag { cpfIsActive, cpfIsStereo, cpfUseSpeaker };
using TChannelPropertyFlags = TEnumSet<TChannelPropertyFlag, 3>;

enum TSpeakerArrangementType {
  satUserDefined,
  satEmpty,
  satMono,
  satStereo,
  satStereoSurround,
  satStereoCenter,
  satStereoSide,
  satStereoCLfe,
  sat30Cine,
  sat30Music,
  sat31Cine,
  sat31Music,
  sat40Cine,
  sat40Music,
  sat41Cine,
  sat41Music,
  sat50,
  sat51,
  sat60Cine,
  sat60Music,
  sat61Cine,
  sat61Music,
  sat70Cine,
  sat70Music,
  sat71Cine,
  sat71Music,
  sat80Cine,
  sat80Music,
  sat81Cine,
  sat81Music,
  sat102,
};

using TEditorKeyEvent = std::function<void(TObject* Sender, VstKeyCode& keyCode)>;
using TEditorKnobModeEvent = std::function<void(TObject* Sender, int32_t val)>;
using TSoftBypassEvent = std::function<void(TObject* Sender, bool onOff)>;
using TProcessMidiEvent = std::function<void(TObject* Sender, VstMidiEvent MidiEvent)>;
using TConnectedEvent = std::function<void(TObject* Sender, int32_t Index, bool State)>;
using TOfflineNotifyEvent = std::function<void(TObject* Sender, VstAudioFile* AudioFile,
                                               int32_t numAudioFiles, bool start)>;
using TOfflineTaskEvent =
    std::function<void(TObject* Sender, VstOfflineTask* OfflineTask, int32_t count)>;
using TProcessVarIOEvent = std::function<void(TObject* Sender, VstVariableIo* varIo)>;
using TSetPanLawEvent = std::function<void(TObject* Sender, int32_t& vType, float& val)>;
using TVendorSpecificEvent = std::function<VstIntPtr(
    TObject* Sender, int32_t lArg1, VstIntPtr lArg2, void* ptrArg, float floatArg)>;
using TCanDoEvent = std::function<int32_t(TObject* Sender, const std::string& CanDoText)>;
using TGetChannelPropertiesEvent = std::function<int32_t(
    TObject* Sender, std::string& vLabel, std::string& shortLabel,
    TSpeakerArrangementType& SpeakerArrangement, TChannelPropertyFlags& Flags)>;
using TBeginLoadEvent = std::function<void(TObject* Sender, VstPatchChunkInfo* info)>;

class TCustomVST2Module : public TCustomVST1Module {
public:
  static constexpr int32_t kMidiOutCapacity = 256;

  TCustomVST2Module();

  // --- Events ---
  TEditorKeyEvent OnEditorKeyUp, OnEditorKeyDown;
  TEditorKnobModeEvent OnEditorKnobMode;
  TSoftBypassEvent OnSoftBypass;
  TProcessMidiEvent OnProcessMidi;
  TConnectedEvent OnInConnected, OnOutConnected;
  TNotifyEvent OnStartProcess, OnStopProcess;
  TOfflineNotifyEvent OnOfflineNotify;
  TOfflineTaskEvent OnOfflinePrepare, OnOfflineRun;
  TProcessVarIOEvent OnProcessVarIO;
  TSetPanLawEvent OnSetPanLaw;
  TNotifyEvent OnBeginSetProgram, OnEndSetProgram;
  TVendorSpecificEvent OnVendorSpecific;
  TCanDoEvent OnCanDo;
  TGetChannelPropertiesEvent OnInputProperties, OnOutputProperties;
  TBeginLoadEvent OnBeginLoadBank, OnBeginLoadProgram;

  // --- Identity ---
  std::string EffectName, ProductName, VendorName;
  int32_t VendorVersion = 0;
  TVstPluginCategory PlugCategory = cgUnknown;
  int32_t TailSize = 0;
  TVstCanDos CanDos;
  bool KeysRequired = false;

  VstIntPtr Dispatcher(int32_t opcode, int32_t index, VstIntPtr value, void* ptr,
                       float opt) override;
  void Resume() override; // asks the host for MIDI input

  // Pin properties of input or output index written to props; false when index is no pin.
  virtual bool GetInputProperties(int32_t index, VstPinProperties* props);
  virtual bool GetOutputProperties(int32_t index, VstPinProperties* props);
  // 1 when the text names a member of CanDos, -1 for another known text, 0 otherwise.
  virtual int32_t CanDo(const std::string& text);

  // The outgoing MIDI list: room for 256 events of 32 bytes, sent after each audio callback
  // that finds it not empty. Queue with MidiOutEvent(i) and SetMidiOutCount.
  VstEvents* MidiOutEvents() { return reinterpret_cast<VstEvents*>(&FMidiOut); }
  VstMidiEvent& MidiOutEvent(int32_t i) { return FMidiOutBlocks.at(i); }
  void SetMidiOutCount(int32_t count); // clamped to 0..256

  // --- Requests to the host: each does nothing and answers 0 (false) without a host ---
  // (BeginEdit and EndEdit, the gesture notices, are parameter operations of the level below)
  bool Automate(int32_t index, float normalized);
  int32_t GetMasterVersion(); // 1 when the host answers 0 or is absent
  VstIntPtr GetCurrentUniqueId();
  void MasterIdle();
  bool IsPinConnected(int32_t index, bool output); // also true without a host
  void WantEvents(VstIntPtr filter);
  VstTimeInfo* GetTimeInfo(VstIntPtr filter);
  bool SendVstEventsToHost(VstEvents* events);
  void SetTimeInfo(VstIntPtr filter, VstTimeInfo* info);
  VstIntPtr TempoAt(VstIntPtr samplePosition);
  VstIntPtr GetNumAutomatableParameters();
  VstIntPtr GetParameterQuantization();
  bool IOChanged();
  bool NeedIdle();
  bool SizeWindow(int32_t width, int32_t height);
  float UpdateSampleRate();  // a positive host answer becomes SampleRate
  int32_t UpdateBlockSize(); // a positive host answer becomes BlockSize
  VstIntPtr GetInputLatency();
  VstIntPtr GetOutputLatency();
  VstIntPtr GetPreviousPlug();
  VstIntPtr GetNextPlug();
  VstIntPtr WillReplaceOrAccumulate();
  VstIntPtr GetCurrentProcessLevel();
  VstIntPtr GetAutomationState();
  bool OfflineStart(int32_t index, VstIntPtr value, void* ptr);
  bool OfflineRead(VstOfflineTask* task, VstIntPtr option, bool readSource);
  bool OfflineWrite(VstOfflineTask* task, VstIntPtr option);
  bool OfflineGetCurrentPass();
  bool OfflineGetCurrentMetaPass();
  void SetOutputSampleRate(float rate);
  VstIntPtr GetOutputSpeakerArrangement();
  bool GetHostVendorString(char* text);  // text holds 64 bytes
  bool GetHostProductString(char* text); // text holds 64 bytes
  VstIntPtr GetHostVendorVersion();
  VstIntPtr HostVendorSpecific(int32_t index, VstIntPtr value, void* ptr, float opt);
  VstIntPtr CanHostDo(const char* text);
  VstIntPtr GetHostLanguage();
  VstIntPtr OpenWindow(void* window);
  bool CloseWindow(void* window);
  VstIntPtr GetDirectory();
  bool UpdateDisplay();
  bool OpenFileSelector(void* selector); // not sent for a null selector
  VstIntPtr GetInputSpeakerArrangement();

  // --- Speaker arrangements in the host interface's layout ---
  bool AllocateArrangement(VstSpeakerArrangement*& arrangement, int32_t channels);
  bool DeallocateArrangement(VstSpeakerArrangement*& arrangement);
  bool CopySpeaker(VstSpeakerProperties* to, const VstSpeakerProperties* from);
  bool MatchArrangement(VstSpeakerArrangement*& to, const VstSpeakerArrangement* from);

protected:
  void SendMidiOut() override;

private:
  bool PinProperties(bool output, int32_t index, VstPinProperties* props);
  VstIntPtr BeginLoad(const TBeginLoadEvent& event, void* ptr);

  struct TMidiOutList {
    int32_t numEvents;
    VstIntPtr reserved;
    VstEvent* events[kMidiOutCapacity];
  };
  TMidiOutList FMidiOut{};
  std::array<VstMidiEvent, kMidiOutCapacity> FMidiOutBlocks{};
};
