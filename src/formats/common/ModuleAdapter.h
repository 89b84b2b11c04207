// One plug-in module as a host format other than VST 2.x drives it. The adapter builds the
// module the way the exported entry does, is the module's host (its own host callback turns the
// module's requests into notices and answers the rest as a plain host would) and offers the
// operations every format needs: the lifecycle, parameters in their own units, programs, audio
// and the editor. Formats hold an adapter and nothing else of the module.
#pragma once

#include "formats/common/ModuleDescription.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

class TZintraxModule;
struct AEffect;

// What the module tells its host, handed on. A notice caused by one of the adapter's own calls
// on the calling thread (a parameter set, a program selected) is not handed on: the caller
// knows of it already. Each runs on the thread of the call that caused it; the editor's on the
// editor's thread.
struct TModuleNotices {
  std::function<void(int32_t index, float value)> ParameterChanged; // value in its own units
  std::function<void(int32_t index)> EditBegun;
  std::function<void(int32_t index)> EditEnded;
};

class TModuleAdapter {
public:
  // Builds a module; throws std::runtime_error when the module cannot be made.
  TModuleAdapter();
  // Closes the editor and the module if the caller has not.
  ~TModuleAdapter();
  TModuleAdapter(const TModuleAdapter&) = delete;
  TModuleAdapter& operator=(const TModuleAdapter&) = delete;

  // Set before the first call that may notify; read on the threads the notices run on.
  TModuleNotices Notices;

  // The description of a module built for the purpose (the editor measured in memory).
  static TModuleDescription Describe();

  // --- Lifecycle ---
  // Opens the module, tells it the sample rate and the longest block it will be handed, and
  // resumes it. Once only; the block size must be positive. Allocates: not on an audio thread.
  void Open(float sampleRate, int32_t blockSize);
  // Suspends and closes the module (closing the editor first); nothing works after it.
  void Close();
  bool IsOpen() const { return FOpen; }

  // --- Parameters in their own units ---
  int32_t ParameterCount() const;
  // The exact value, as a typed value reaches the module; ignored for an index outside the
  // parameters or a value that is not finite.
  void SetParameter(int32_t index, float value);
  float Parameter(int32_t index) const;
  std::string ParameterDisplay(int32_t index) const;
  // The value a text stands for, as the module reads a typed value; nothing for a text that is
  // not a number or an index outside the parameters.
  std::optional<float> ParseParameter(int32_t index, std::string_view text) const;
  // The module's own mapping between a value and the host's 0..1 scale.
  float ToNormalized(int32_t index, float value) const;
  float FromNormalized(int32_t index, float normalized);
  // The same mapping for a host whose scale holds double values: the scale's value is not rounded
  // to single precision, so a value taken to the scale and back is the value again.
  double ToNormalizedPrecise(int32_t index, float value) const;
  float FromNormalizedPrecise(int32_t index, double normalized);
  // The value a point of that scale stands for; nothing of the module changes.
  float MappedValue(int32_t index, double normalized) const;
  // The text the module shows for the parameter when it holds value.
  std::string ParameterDisplayFor(int32_t index, float value) const;

  // --- Programs ---
  int32_t ProgramCount() const;
  int32_t CurrentProgram() const;
  // Selects a factory program as a host's program change does; ignored outside the programs.
  void SelectProgram(int32_t index);
  std::string ProgramName(int32_t index) const;
  float ProgramValue(int32_t program, int32_t index) const;

  // --- Audio ---
  int32_t InputCount() const;
  int32_t OutputCount() const;
  // Replaces outputs with the module's output for frames of inputs, in pieces no longer than
  // the block size told at Open. Any count from 0; an output may be the same buffer as an
  // input. No allocation, lock or system call. Silence while the module is not open.
  void Process(const float* const* inputs, float* const* outputs, int32_t frames);

  // --- Editor ---
  bool HasEditor() const;
  // Opens the editor as a child of parent (a window of the window layer: an X11 Window id, an
  // HWND); hostData as effEditOpen's value. False when no editor could be made.
  bool OpenEditor(void* parent, intptr_t hostData = 0);
  // Input, timers and repaints of the open editor; on the thread that opened it.
  void IdleEditor();
  void CloseEditor();
  bool EditorOpen() const { return FEditorOpen; }
  // The editor's own window (a child of the parent), or null while none is open.
  void* EditorWindow() const;
  // A descriptor that becomes readable when the open editor has input for IdleEditor; -1 when
  // there is none.
  int EditorEventDescriptor() const;
  int32_t EditorWidth() const;
  int32_t EditorHeight() const;

private:
  struct TOwnCall;
  static intptr_t HostCallback(AEffect* effect, int32_t opcode, int32_t index, intptr_t value,
                               void* ptr, float opt);
  intptr_t Answer(int32_t opcode, int32_t index, void* ptr);
  bool ValidIndex(int32_t index) const;
  intptr_t Dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                    float opt = 0.0f);
  void ProcessChunk(const float* const* inputs, float* const* outputs, int32_t offset,
                    int32_t frames);

  TZintraxModule* FModule = nullptr; // owned by the framework's list until effClose
  AEffect* FEffect = nullptr;
  bool FOpen = false;
  bool FClosed = false;
  bool FEditorOpen = false;
  float FSampleRate = 44100.0f;
  int32_t FBlockSize = 0;
  // The thread inside one of the adapter's own calls, whose notices are not handed on.
  std::atomic<std::thread::id> FOwnCallThread{};
  // Copies of the inputs for a call whose outputs share buffers with its inputs, then a silent
  // buffer for a missing input and a sink for a missing output; all of the block size.
  std::vector<std::vector<float>> FInputCopies;
  std::vector<float*> FInputPointers;
  std::vector<float*> FOutputPointers;
};
