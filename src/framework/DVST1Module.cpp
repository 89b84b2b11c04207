#include "framework/DVST1Buffers.h"

#include "framework/DCPU.h"
#include "framework/DFloatingPoint.h"
#include "framework/DModuleOwner.h"
#include "framework/DVstUtils.h"
#include "platform/MessageBox.h"

#include <algorithm>
#include <climits>
#include <cmath>

// The record's five entries. Each finds its module through the record's object field and
// keeps every exception on this side of the host boundary.
struct TModuleCallbacks {
  static TCustomVST1Module* ModuleOf(AEffect* effect) {
    return effect ? static_cast<TCustomVST1Module*>(effect->object) : nullptr;
  }

  static VstIntPtr Dispatcher(AEffect* effect, int32_t opcode, int32_t index, VstIntPtr value,
                              void* ptr, float opt) noexcept {
    const TMaskedFloatingPoint masked;
    TCustomVST1Module* module = ModuleOf(effect);
    if (!module)
      return 0;
    if (opcode == effClose) {
      try {
        module->Dispatcher(opcode, index, value, ptr, opt);
      } catch (...) {
        // The module goes away whatever its close handler did.
      }
      ReleaseModule(module);
      return 1;
    }
    try {
      return module->Dispatcher(opcode, index, value, ptr, opt);
    } catch (...) {
      return 0;
    }
  }

  static void Process(AEffect* effect, float** inputs, float** outputs,
                      int32_t sampleFrames) noexcept {
    const TMaskedFloatingPoint masked;
    if (TCustomVST1Module* module = ModuleOf(effect)) {
      try {
        module->Process(inputs, outputs, sampleFrames);
      } catch (...) {
        // The block is lost; the module stays usable.
      }
    }
  }

  static void ProcessReplacing(AEffect* effect, float** inputs, float** outputs,
                               int32_t sampleFrames) noexcept {
    const TMaskedFloatingPoint masked;
    if (TCustomVST1Module* module = ModuleOf(effect)) {
      try {
        module->ProcessReplacing(inputs, outputs, sampleFrames);
      } catch (...) {
        // The block is lost; the module stays usable.
      }
    }
  }

  static void SetParameter(AEffect* effect, int32_t index, float value) noexcept {
    const TMaskedFloatingPoint masked;
    TCustomVST1Module* module = ModuleOf(effect);
    if (!module || !std::isfinite(value) || !module->ParameterProperties().ValidIndex(index))
      return;
    try {
      module->SetParameterValue(index, module->NormalizedToReal(index, value));
    } catch (...) {
      // Nothing more to undo: the value operations leave the module consistent.
    }
  }

  static float GetParameter(AEffect* effect, int32_t index) noexcept {
    const TMaskedFloatingPoint masked;
    TCustomVST1Module* module = ModuleOf(effect);
    if (!module || !module->ParameterProperties().ValidIndex(index))
      return 0.0f;
    try {
      return module->RealToNormalized(index, module->GetParameterValue(index));
    } catch (...) {
      return 0.0f;
    }
  }
};

TCustomVST1Module::TCustomVST1Module() : FCPU(std::make_unique<TCPU>()) {
  FEffect.magic = kEffectMagic;
  FEffect.dispatcher = &TModuleCallbacks::Dispatcher;
  FEffect.process = &TModuleCallbacks::Process;
  FEffect.setParameter = &TModuleCallbacks::SetParameter;
  FEffect.getParameter = &TModuleCallbacks::GetParameter;
  FEffect.processReplacing = &TModuleCallbacks::ProcessReplacing;
  FEffect.object = this;
  FEffect.uniqueID = FourCharCode('N', 'o', 'E', 'f');
  FEffect.version = 1;
  FEffect.ioRatio = 1.0f;
  FEffect.numInputs = 2;
  FEffect.numOutputs = 2;
  UpdateScratch();
}

TCustomVST1Module::~TCustomVST1Module() = default;

void TCustomVST1Module::PrepareDestruction() noexcept {
  try {
    if (OnDestroy)
      OnDestroy(this);
  } catch (...) {
    // Destruction goes on.
  }
  FEditorForm.reset();
  FEditorThread.store({}, std::memory_order_relaxed);
}

VstIntPtr TCustomVST1Module::CallAudioMaster(int32_t opcode, int32_t index, VstIntPtr value,
                                             void* ptr, float opt) {
  return FAudioMaster ? FAudioMaster(&FEffect, opcode, index, value, ptr, opt) : 0;
}

TVst2PluginFlags TCustomVST1Module::Flags() const {
  static constexpr int32_t kBits[] = {
      effFlagsHasEditor,    effFlagsHasClip,       effFlagsHasVu,   effFlagsCanMono,
      effFlagsCanReplacing, effFlagsProgramChunks, effFlagsIsSynth, effFlagsNoSoundInStop,
      effFlagsExtIsAsync,   effFlagsExtHasBuffer};
  TVst2PluginFlags flags;
  for (int i = 0; i < 10; ++i)
    if (FEffect.flags & kBits[i])
      flags.Include(static_cast<TVst2PluginFlag>(i));
  return flags;
}

void TCustomVST1Module::SetFlags(const TVst2PluginFlags& flags) {
  static constexpr int32_t kBits[] = {
      effFlagsHasEditor,    effFlagsHasClip,       effFlagsHasVu,   effFlagsCanMono,
      effFlagsCanReplacing, effFlagsProgramChunks, effFlagsIsSynth, effFlagsNoSoundInStop,
      effFlagsExtIsAsync,   effFlagsExtHasBuffer};
  int32_t word = 0;
  for (int i = 0; i < 10; ++i)
    if (flags.Contains(static_cast<TVst2PluginFlag>(i)))
      word |= kBits[i];
  FEffect.flags = word;
}

std::string TCustomVST1Module::UniqueID() const {
  return FourCharCodeToString(FEffect.uniqueID);
}

void TCustomVST1Module::SetUniqueID(std::string_view id) {
  if (id.size() >= 4)
    FEffect.uniqueID = StringToFourCharCode(id);
}

void TCustomVST1Module::SetIORatio(int32_t v) {
  FIORatio = v;
  FEffect.ioRatio = static_cast<float>(v);
}

VstIntPtr TCustomVST1Module::Dispatcher(int32_t opcode, int32_t index, VstIntPtr value, void* ptr,
                                        float opt) {
  if (OnDispatcher)
    OnDispatcher(this, opcode);
  const bool hasEditor = FEffect.flags & effFlagsHasEditor;
  switch (opcode) {
  case effOpen:
    Open();
    return 0;
  case effClose:
    Close();
    return 0;
  case effSetProgram:
    if (value >= 0 && value < numPrograms() && value != FCurrentProgram)
      SetCurrentProgram(static_cast<int32_t>(value));
    return 0;
  case effGetProgram:
    return FCurrentProgram;
  case effSetProgramName:
    if (ptr && numPrograms() > 0)
      SetCurrentProgramNameQuietly(static_cast<const char*>(ptr));
    return 0;
  case effGetProgramName:
    CopyHostText(static_cast<char*>(ptr), numPrograms() > 0 ? CurrentProgramName() : "",
                 THostText::ProgramName);
    return 0;
  case effGetParamLabel:
    GetParamLabel(index, static_cast<char*>(ptr));
    return 0;
  case effGetParamDisplay:
    GetParamDisplay(index, static_cast<char*>(ptr));
    return 0;
  case effGetParamName:
    GetParamName(index, static_cast<char*>(ptr));
    return 0;
  case effGetVu: {
    if (!OnGetVU)
      return 0;
    float level = 0.0f;
    OnGetVU(level);
    const double scaled = RoundHalfEven(static_cast<double>(level) * 32767.0);
    return std::isfinite(scaled) && std::fabs(scaled) <= INT32_MAX ? static_cast<VstIntPtr>(scaled)
                                                                   : 0;
  }
  case effSetSampleRate:
    SetSampleRate(opt);
    return 1;
  case effSetBlockSize:
    if (value >= 0 && value <= INT32_MAX)
      SetBlockSize(static_cast<int32_t>(value));
    return 0;
  case effMainsChanged:
    if (value == 0)
      Suspend();
    else
      Resume();
    return 0;
  case effEditGetRect:
    return AnswerEditGetRect(ptr);
  case effEditOpen:
    return hasEditor && EditOpen(ptr, value) ? 1 : 0;
  case effEditClose:
    if (hasEditor)
      EditClose();
    return 0;
  case effEditIdle:
    if (hasEditor)
      EditIdle();
    return 0;
  case effIdentify:
    return kEffectIdentify;
  case effGetChunk:
    return GetChunk(static_cast<void**>(ptr), index != 0);
  case effSetChunk:
    return SetChunk(ptr, value, index != 0);
  default:
    return 0;
  }
}

void TCustomVST1Module::Open() {
  if (OnOpen)
    OnOpen(this);
}

void TCustomVST1Module::Close() {
  if (OnClose)
    OnClose(this);
}

void TCustomVST1Module::Suspend() {
  if (OnSuspend)
    OnSuspend(this);
}

void TCustomVST1Module::Resume() {
  if (OnResume)
    OnResume(this);
}

VstIntPtr TCustomVST1Module::AnswerEditGetRect(void* ptr) {
  if (!ptr)
    return 0;
  *static_cast<ERect**>(ptr) = &FEditorRect;
  FEditorRect.top = 0;
  FEditorRect.left = 0;
  if (!FEditorForm)
    return 0;
  const auto toShort = [](int v) { return static_cast<int16_t>(std::clamp(v, 0, INT16_MAX)); };
  FEditorRect.bottom = toShort(FEditorForm->ClientHeight());
  FEditorRect.right = toShort(FEditorForm->ClientWidth());
  return 1;
}

bool TCustomVST1Module::IsEditorThread() const {
  return FEditorThread.load(std::memory_order_relaxed) == std::this_thread::get_id();
}

bool TCustomVST1Module::EditOpen(void* parentWindow, VstIntPtr hostData) {
  if (FEditorForm)
    EditClose(); // a second open replaces the window instead of orphaning it
  FEditorThread.store(std::this_thread::get_id(), std::memory_order_relaxed);
  std::unique_ptr<TCustomEditorForm> gui;
  if (OnEditOpen)
    OnEditOpen(this, gui);
  if (!gui) {
    FEditorThread.store({}, std::memory_order_relaxed);
    return false;
  }
  gui->SetHostScale(FEditorScale);
  if (!gui->Embed(parentWindow, hostData)) {
    FEditorThread.store({}, std::memory_order_relaxed);
    return false;
  }
  FEditorForm = std::move(gui);
  FEditorBehind.store(false, std::memory_order_relaxed);
  if (OnParameterChange)
    for (int32_t i = 0; i < numParams(); ++i)
      OnParameterChange(this, i, GetParameterValue(i));
  return true;
}

bool TCustomVST1Module::SetEditorScale(double scale) {
  FEditorScale = scale > 0 && scale < 16 ? scale : 0.0;
  if (!FEditorForm)
    return false;
  const int width = FEditorForm->ClientWidth(), height = FEditorForm->ClientHeight();
  FEditorForm->SetHostScale(FEditorScale);
  return width != FEditorForm->ClientWidth() || height != FEditorForm->ClientHeight();
}

void TCustomVST1Module::EditClose() {
  if (OnEditClose)
    OnEditClose(this);
  FEditorForm.reset();
  FEditorThread.store({}, std::memory_order_relaxed);
}

void TCustomVST1Module::EditIdle() {
  if (!FEditorForm)
    return;
  FEditorThread.store(std::this_thread::get_id(), std::memory_order_relaxed);
  if (FEditorBehind.exchange(false, std::memory_order_relaxed))
    FEditorForm->ShowParameters();
  FEditorForm->ProcessMessages();
  if (FEditorForm && EditorNeedsUpdate()) {
    if (OnEditIdle)
      OnEditIdle(this);
    FEditorNeedsUpdate.store(false, std::memory_order_relaxed);
    FEditorForm->Invalidate();
  }
  if (FEditorForm)
    FEditorForm->Update();
}

void TCustomVST1Module::UpdateEditor() {
  SetEditorNeedsUpdate();
}

void TCustomVST1Module::EditorParameterChanged(int32_t index) {
  // The editor's objects belong to the editor's thread: FEditorForm is not even read elsewhere.
  if (IsEditorThread() && FEditorForm)
    FEditorForm->ParameterChanged(index);
  else
    FEditorBehind.store(true, std::memory_order_relaxed);
}

VstIntPtr TCustomVST1Module::GetChunk(void** data, bool programOnly) {
  if (!data)
    return 0;
  if (!programOnly) {
    ShowMessageBox("Message", "ToDo");
    return 0;
  }
  if (!FPrograms.ValidIndex(FCurrentProgram))
    return 0;
  std::vector<uint8_t>& chunk = FPrograms[FCurrentProgram].Chunk;
  *data = chunk.data();
  return static_cast<VstIntPtr>(chunk.size());
}

VstIntPtr TCustomVST1Module::SetChunk(const void* data, VstIntPtr byteSize, bool programOnly) {
  SetEditorNeedsUpdate();
  if (!programOnly) {
    ShowMessageBox("Message", "ToDo");
    return 0;
  }
  if (!data || byteSize < 0 || !FPrograms.ValidIndex(FCurrentProgram))
    return 0;
  const auto* bytes = static_cast<const uint8_t*>(data);
  FPrograms[FCurrentProgram].Chunk.assign(bytes, bytes + byteSize);
  return byteSize;
}
