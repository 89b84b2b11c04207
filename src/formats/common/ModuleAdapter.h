// One plug-in module as a host format other than VST 2.x drives it. The adapter builds and owns
// the module, the way the exported entry builds one, and drives it through the module's own
// operations: the lifecycle, parameters in their own units, programs, audio and the editor. What
// the module's editor does reaches the format through Notices, which the module tells the adapter
// directly. Formats hold an adapter and nothing else of the module.
#pragma once

#include "formats/common/BypassFade.h"
#include "formats/common/ModuleDescription.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class TZintraxModule;

// What the module's editor did, handed on: a value the user set (in its own units) and a gesture
// begun and ended. Only the editor's own changes arrive, each once, on the editor's thread; a
// value set through the adapter never comes back as a notice, whatever thread sets it.
struct TModuleNotices {
  std::function<void(int32_t index, float value)> ParameterChanged;
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

  // Set before the editor opens; read on the editor's thread.
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
  // The text the module shows for the parameter when it holds value.
  std::string ParameterDisplayFor(int32_t index, float value) const;
  // The value a text stands for, as the module reads a typed value; nothing for a text that is
  // not a number or an index outside the parameters.
  std::optional<float> ParseParameter(int32_t index, std::string_view text) const;
  // The module's mapping between a value and a host's 0..1 scale, in double precision, so that
  // a value taken to the scale and back is the value again; nothing of the module changes.
  double ToNormalized(int32_t index, float value) const;
  float FromNormalized(int32_t index, double normalized) const;

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
  // Replaces frames of outputs with the module's output for the same frames of inputs, from frame
  // first of each buffer, in pieces no longer than the block size told at Open. Any count from 0;
  // an output may be the same buffer as an input. No allocation, lock or system call. Silence
  // while the module is not open.
  void Process(const float* const* inputs, float* const* outputs, int32_t frames,
               int32_t first = 0);

  // --- Bypass ---
  // Bypassed, the output is the input, reached and left through a short crossfade while the
  // module goes on processing underneath (formats/common/BypassFade.h); from any thread.
  void SetBypassed(bool bypassed) { FBypass.SetBypassed(bypassed); }
  bool Bypassed() const { return FBypass.Bypassed(); }

  // --- Editor ---
  bool HasEditor() const;
  // Opens the editor as a child of parent (a window of the window layer: an X11 Window id, an
  // HWND). False when no editor could be made.
  bool OpenEditor(void* parent);
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
  // The host's display scale for the editor (0: none); an open editor takes it at once. True
  // when the open editor's size changed (the host should be asked for the new size).
  bool SetEditorScale(double scale);
  // The scale the editor takes now (or would take when opened): 1 to 3.
  double EditorScale() const;

private:
  class TListener;
  struct TModuleRelease {
    void operator()(TZintraxModule* module) const;
  };

  bool ValidIndex(int32_t index) const;
  void ProcessChunk(const float* const* inputs, float* const* outputs, int32_t offset,
                    int32_t frames);

  std::unique_ptr<TListener> FListener;                    // outlives the module
  std::unique_ptr<TZintraxModule, TModuleRelease> FModule; // until Close
  bool FOpen = false;
  bool FEditorOpen = false;
  int32_t FBlockSize = 0;
  // Copies of the inputs for a call whose outputs share buffers with its inputs, then a silent
  // buffer for a missing input and a sink for a missing output; all of the block size.
  std::vector<std::vector<float>> FInputCopies;
  std::vector<const float*> FInputPointers;
  std::vector<float*> FOutputPointers;
  TBypassFade FBypass;
};
