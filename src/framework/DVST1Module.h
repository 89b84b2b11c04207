// The VST 1 level of the module: the embedded effect record and its callbacks, the core
// dispatcher, the audio paths with their processing modes, parameters, programs and the
// editor seam.
#pragma once

#include "framework/DAEffectX.h"
#include "framework/DAtomicFloats.h"
#include "framework/DEditorForm.h"
#include "framework/DEditorParameters.h"
#include "framework/DParameterProperty.h"
#include "framework/DProgram.h"
#include "framework/DRandom.h"
#include "framework/DTypes.h"

#include <atomic>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

class TCPU;

enum TProcessingMode { pmNormal = 0, pmBlockSave = 1, pmCopy = 2, pmMute = 3 };

enum TVst2PluginFlag {
  pfHasEditor,
  pfFlagsHasClip,
  pfFlagsHasVu,
  pfFlagsCanMono,
  pfFlagsCanReplacing,
  pfFlagsProgramChunks,
  pfFlagsIsSynth,
  pfFlagsNoSoundInStop,
  pfFlagsExtIsAsync,
  pfFlagsExtHasBuffer,
};
using TVst2PluginFlags = TEnumSet<TVst2PluginFlag, 10>;

using TGetVUEvent = std::function<void(float& VU)>;
using TBlockSizeChangeEvent = std::function<void(TObject* Sender, int32_t BlockSize)>;
using TSampleRateChangeEvent = std::function<void(TObject* Sender, float SampleRate)>;
using TDispatcherEvent = std::function<void(TObject* Sender, int32_t opCode)>;
// The handler may create the editor window and hand it over in GUI.
using TEditOpenEvent =
    std::function<void(TObject* Sender, std::unique_ptr<TCustomEditorForm>& GUI)>;

class TCustomVST1Module : public TObject {
public:
  TCustomVST1Module();
  ~TCustomVST1Module() override;
  TCustomVST1Module(const TCustomVST1Module&) = delete;
  TCustomVST1Module& operator=(const TCustomVST1Module&) = delete;

  // The embedded effect record; its address is stable for the module's life.
  AEffect* Effect() { return &FEffect; }
  const AEffect* Effect() const { return &FEffect; }

  // --- Events (an empty one is unassigned) ---
  TNotifyEvent OnCreate, OnDestroy, OnInitialize;
  TNotifyEvent OnOpen, OnClose, OnResume, OnSuspend;
  TDispatcherEvent OnDispatcher;
  TGetVUEvent OnGetVU;
  TBlockSizeChangeEvent OnBlockSizeChange;
  TSampleRateChangeEvent OnSampleRateChange;
  TEditOpenEvent OnEditOpen;
  TNotifyEvent OnEditClose, OnEditIdle;
  TParameterChangeEvent OnParameterChange; // real values
  TNotifyEvent OnProgramChange;

  // --- Host side ---
  audioMasterCallback AudioMaster() const { return FAudioMaster; }
  void SetAudioMaster(audioMasterCallback audioMaster) { FAudioMaster = audioMaster; }
  // Calls the host with the record as first argument; 0 without a host callback.
  VstIntPtr CallAudioMaster(int32_t opcode, int32_t index = 0, VstIntPtr value = 0,
                            void* ptr = nullptr, float opt = 0.0f);

  // Answers one dispatcher request (opcodes 0 to 24 at this level, 0 for the others).
  virtual VstIntPtr Dispatcher(int32_t opcode, int32_t index, VstIntPtr value, void* ptr,
                               float opt);

  // --- Identity written into the record ---
  TVst2PluginFlags Flags() const;
  void SetFlags(const TVst2PluginFlags& flags); // replaces the whole flags word
  std::string UniqueID() const;                 // four characters
  void SetUniqueID(std::string_view id);        // the first four characters; shorter is ignored
  const std::string& Version() const { return FVersion; }
  void SetVersion(std::string_view version) { FVersion = version; }
  int32_t RealQualities() const { return FEffect.realQualities; }
  void SetRealQualities(int32_t v) { FEffect.realQualities = v; }
  int32_t OffQualities() const { return FEffect.offQualities; }
  void SetOffQualities(int32_t v) { FEffect.offQualities = v; }
  int32_t IORatio() const { return FIORatio; }
  void SetIORatio(int32_t v);
  TCPU& CPU() { return *FCPU; }
  TRandomGenerator& Random() { return FRandom; }
  bool OldCreateOrder = false;

  // --- Audio settings and paths ---
  int32_t numInputs() const { return FEffect.numInputs; }
  void SetNumInputs(int32_t count); // negative counts are refused
  int32_t numOutputs() const { return FEffect.numOutputs; }
  void SetNumOutputs(int32_t count); // negative counts are refused
  float SampleRate() const { return FSampleRate; }
  void SetSampleRate(float rate); // raises OnSampleRateChange when it changed; refuses < 0, NaN
  int32_t BlockSize() const { return FBlockSize; }
  void SetBlockSize(int32_t size); // raises OnBlockSizeChange when it changed; refuses < 0
  float Tempo() const { return FTempo.load(std::memory_order_relaxed); }
  TProcessingMode ProcessingMode() const { return FProcessingMode; }
  void SetProcessingMode(TProcessingMode mode);
  int32_t BlockModeSize() const { return FBlockModeSize; }
  void SetBlockModeSize(int32_t size); // refused unless above BlockModeOverlap
  int32_t BlockModeOverlap() const { return FBlockModeOverlap; }
  void SetBlockModeOverlap(int32_t overlap); // refused unless 0 <= overlap < BlockModeSize
  int32_t InitialDelay() const { return FEffect.initialDelay; }
  void SetInitialDelay(int32_t delay); // refuses negative delays
  const TProcessAudioEvent& OnProcess() const { return FOnProcess; }
  void SetOnProcess(TProcessAudioEvent handler);
  const TProcessAudioEvent& OnProcessReplacing() const { return FOnProcessReplacing; }
  void SetOnProcessReplacing(TProcessAudioEvent handler);

  // Adds the handler's output to what outputs hold.
  virtual void Process(const float* const* inputs, float* const* outputs, int32_t sampleFrames);
  // Overwrites outputs with the handler's output.
  virtual void ProcessReplacing(const float* const* inputs, float* const* outputs,
                                int32_t sampleFrames);
  virtual void Suspend();
  virtual void Resume();
  // The start and end of the module's use (effOpen, effClose): raise OnOpen and OnClose.
  void Open();
  void Close();

  // --- Parameters (real values inside, normalised only at the host boundary) ---
  TCustomVstParameterProperties& ParameterProperties() { return FParameterProperties; }
  void SetParameterProperties(const TCustomVstParameterProperties& source);
  int32_t numParams() const { return FEffect.numParams; }
  // Stores the value (and into the current program), tells the host, raises the events.
  // Ignored for an index without description, a non-finite value, or while another call is
  // in progress.
  void SetParameterValue(int32_t index, float value);
  float GetParameterValue(int32_t index) const; // 0 for an index without description
  float NormalizedToReal(int32_t index, float normalized);
  float RealToNormalized(int32_t index, float value) const;
  // The descriptions' mapping for hosts whose scale holds double values (see
  // TCustomVstParameterProperty); 0 for an index without description.
  float NormalizedToRealPrecise(int32_t index, double normalized);
  double RealToNormalizedPrecise(int32_t index, float value) const;
  float MappedReal(int32_t index, double normalized) const;
  virtual void GetParamLabel(int32_t index, char* text);
  virtual void GetParamDisplay(int32_t index, char* text);
  virtual void GetParamName(int32_t index, char* text);
  std::string ParamLabel(int32_t index) const;
  std::string ParamDisplay(int32_t index) const;
  // The text the host would show for parameter index holding value.
  std::string ParamDisplayFor(int32_t index, float value) const;
  std::string ParamName(int32_t index) const;
  // A gesture on parameter index begins or ends (audioMasterBeginEdit, audioMasterEndEdit);
  // true when the host answers other than 0.
  bool BeginEdit(int32_t index);
  bool EndEdit(int32_t index);
  bool OverwritePrograms = false;

  // --- Programs ---
  TCustomVstPrograms& Programs() { return FPrograms; }
  void SetPrograms(const TCustomVstPrograms& source);
  int32_t numPrograms() const { return FEffect.numPrograms; }
  int32_t CurrentProgram() const { return FCurrentProgram; }
  virtual void SetCurrentProgram(int32_t index); // ignores indexes outside the programs
  std::string CurrentProgramName() const;
  void SetCurrentProgramName(std::string_view name);

  // --- Editor ---
  // What the module's editor is handed: the parameter operations above, with the editor's own
  // changes and gestures also told to the editor listener.
  TEditorParameters& EditorParameters() { return FEditorSide; }
  // Set before the editor first opens; null (the default) tells nobody.
  void SetEditorListener(TEditorListener* listener) { FEditorListener = listener; }
  // Opens the editor as a child of parentWindow (hostData as effEditOpen's value), idles it and
  // closes it, as the editor opcodes do; false when no editor could be made.
  virtual bool EditOpen(void* parentWindow, VstIntPtr hostData);
  virtual void EditClose();
  virtual void EditIdle();
  // The open editor window. Only the editor's thread may touch it (see IsEditorThread).
  TCustomEditorForm* EditorForm() const { return FEditorForm.get(); }
  // Whether the calling thread is the one that delivers the editor's messages: the thread of
  // the last effEditOpen or effEditIdle while an editor is open. Safe from any thread.
  bool IsEditorThread() const;
  const ERect& EditorRect() const { return FEditorRect; }
  // The display scale the host asks for (0: none), kept for editors opened later; an open
  // editor takes it at once. True when the open editor's size changed.
  bool SetEditorScale(double scale);
  // The value a parameter starts from in a new instance, which the editor resets it to: here
  // the first program's as it stands; a module with a factory table answers from it.
  virtual float DefaultParameterValue(int32_t index) const;
  double EditorScale() const { return FEditorScale; }
  bool EditorNeedsUpdate() const { return FEditorNeedsUpdate.load(std::memory_order_relaxed); }
  virtual void UpdateEditor(); // asks for a repaint on the next idle call
  // Tells the open editor that parameter index changed: at once on the editor's thread. A
  // change on any other thread (a host automating from its audio thread) touches nothing of the
  // editor: its next idle call shows every stored value.
  void EditorParameterChanged(int32_t index);

  // Called by the collections when their item counts change.
  void ParameterCountChanged(int32_t count);
  void ProgramCountChanged(int32_t count);

  // Raises OnDestroy and closes an open editor while the whole object still exists; whoever
  // destroys a module calls it first.
  void PrepareDestruction() noexcept;

protected:
  // Raises OnInitialize, the programs' OnInitialize and selects program 0.
  void FinishLoading();

  VstIntPtr GetChunk(void** data, bool programOnly);
  VstIntPtr SetChunk(const void* data, VstIntPtr byteSize, bool programOnly);

  void SetEditorNeedsUpdate() { FEditorNeedsUpdate.store(true, std::memory_order_relaxed); }
  // Sets both directly and raises OnSampleRateChange, then OnBlockSizeChange.
  void SetBlockSizeAndSampleRate(int32_t blockSize, float sampleRate);
  // Hands queued outgoing MIDI events to the host at the end of each audio callback.
  virtual void SendMidiOut() {}

private:
  // The editor's view of the module: its changes and gestures go to the listener as well.
  class TEditorSide final : public TEditorParameters {
  public:
    explicit TEditorSide(TCustomVST1Module& module) : FModule(module) {}
    float GetParameterValue(int32_t index) const override;
    void SetParameterValue(int32_t index, float value) override;
    std::string ParamDisplay(int32_t index) const override;
    std::string ParamLabel(int32_t index) const override;
    float DefaultValue(int32_t index) const override;
    bool BeginEdit(int32_t index) override;
    bool EndEdit(int32_t index) override;

  private:
    TCustomVST1Module& FModule;
  };

  struct TAudioScratch;
  struct TBlockBuffers;
  // What an audio callback calls: nothing, the event, or one of the mode routines.
  enum class TActiveHandler { None, Event, BlockSave, Copy, Mute };

  TActiveHandler ActiveHandlerFor(const TProcessAudioEvent& event) const;
  void UpdateBlockBuffers();
  void UpdateScratch();
  void UpdateTempo();
  bool BuffersUsable(const float* const* inputs, float* const* outputs) const;
  void RunActive(TActiveHandler active, const TProcessAudioEvent& event, const float* const* inputs,
                 float* const* outputs, int32_t sampleFrames);
  void BlockSaveProcess(const TProcessAudioEvent& event, const float* const* inputs,
                        float* const* outputs, int32_t sampleFrames);
  void CopyProcess(const float* const* inputs, float* const* outputs, int32_t sampleFrames);
  void MuteProcess(float* const* outputs, int32_t sampleFrames);
  VstIntPtr AnswerEditGetRect(void* ptr);
  // SetParameterValue, telling listener (when not null) of the change once the module took it.
  void ChangeParameter(int32_t index, float value, TEditorListener* listener);
  void SetCurrentProgramNameQuietly(const char* name); // without asking for a repaint

  AEffect FEffect{};
  audioMasterCallback FAudioMaster = nullptr;
  std::string FVersion = "0.0";
  int32_t FIORatio = 1;
  std::unique_ptr<TCPU> FCPU;
  TRandomGenerator FRandom;

  float FSampleRate = 44100.0f;
  int32_t FBlockSize = 1024;
  std::atomic<float> FTempo{0.0f};
  TProcessingMode FProcessingMode = pmNormal;
  int32_t FBlockModeSize = 1024;
  int32_t FBlockModeOverlap = 0;
  int32_t FRequestedInitialDelay = 0;
  TProcessAudioEvent FOnProcess, FOnProcessReplacing;
  TActiveHandler FActiveProcess = TActiveHandler::None;
  TActiveHandler FActiveProcessReplacing = TActiveHandler::None;
  int32_t FBlockPosition = 0;
  std::unique_ptr<TAudioScratch> FScratch;
  std::unique_ptr<TBlockBuffers> FBlock;

  TCustomVstParameterProperties FParameterProperties{this};
  TAtomicFloats FParameterValues;
  std::atomic<bool> FParameterBusy{false};

  TCustomVstPrograms FPrograms{this};
  int32_t FCurrentProgram = 0;

  TEditorSide FEditorSide{*this};
  TEditorListener* FEditorListener = nullptr;
  std::unique_ptr<TCustomEditorForm> FEditorForm;
  std::atomic<std::thread::id> FEditorThread{};
  ERect FEditorRect{};
  double FEditorScale = 0.0;
  std::atomic<bool> FEditorNeedsUpdate{false};
  std::atomic<bool> FEditorBehind{false}; // parameters changed on another thread

  friend struct TModuleCallbacks;
};
