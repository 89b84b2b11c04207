// One plug-in instance of any format zintrax-host loads (VST 2.x through its effect record, VST3
// through its interfaces, LV2 through its descriptor), as the commands use it: names, programs,
// parameters in their own units, audio, and the editor embedded in a window of this tool.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <utility>

namespace zhost {

// A parameter's values from one end of its scale to the other, in its own units.
struct ValueRange {
  double low = 0.0, high = 1.0;
};

class Instance {
public:
  virtual ~Instance() = default;

  // What the user named (a file, a bundle or a URI), and the format it was loaded as.
  virtual const std::string& Location() const = 0;
  virtual std::string Format() const = 0;
  virtual std::string Name() const = 0;
  // The lines of `info` that only this format has (identity, flags, ports, capabilities).
  virtual void PrintDetails(std::ostream& out) const = 0;

  // Readies the instance for audio at this rate in blocks of at most blockSize frames; once,
  // before anything else but the names.
  virtual void Open(float sampleRate, int32_t blockSize) = 0;
  // Processing starts after the settings are made; Process only between Start and destruction.
  virtual void Start() = 0;
  // One block (at most the block size given to Open) of inputs into outputs.
  virtual void Process(float** inputs, float** outputs, int32_t frames) = 0;
  virtual int32_t NumInputs() const = 0;
  virtual int32_t NumOutputs() const = 0;

  virtual int32_t NumParams() const = 0;
  virtual std::string ParameterName(int32_t index) const = 0;
  virtual std::string ParameterLabel(int32_t index) const = 0;
  virtual std::string ParameterDisplay(int32_t index) const = 0;
  // The display text at the low (false) or high (true) end of the parameter's scale; the
  // parameter keeps its value.
  virtual std::string DisplayAtEnd(int32_t index, bool high) = 0;
  // The values at the ends of the parameter's scale, when the plug-in tells them as numbers; the
  // parameter keeps its value.
  virtual std::optional<ValueRange> Range(int32_t index) = 0;
  virtual bool Automatable(int32_t index) const = 0;
  // Sets the parameter from a text in its own units; throws UsageError when the plug-in takes no
  // value for it. (Selection.h's SetParameterText first refuses a number outside the range.)
  virtual void SetParameterText(int32_t index, const std::string& value) = 0;

  virtual int32_t NumPrograms() const = 0;
  virtual int32_t CurrentProgram() const = 0;
  virtual std::string ProgramName(int32_t index) const = 0;
  virtual void SelectProgram(int32_t index) = 0;

  virtual bool HasEditor() const = 0;
  // The editor's size, 0 x 0 when the plug-in does not tell it.
  virtual std::pair<int, int> EditorSize() const = 0;
  // Embeds the editor in window (an X11 Window) of display; false when it did not open.
  virtual bool OpenEditor(void* display, unsigned long window) = 0;
  virtual void IdleEditor() = 0;
  virtual void CloseEditor() = 0;

  // Called with the index of a parameter the editor changed, as the change arrives.
  std::function<void(int32_t index)> onParameterEdited;
  // The display scale the host gives the editor when it opens, through the format's own way of
  // saying it; 0 says none.
  double editorScale = 0.0;
};

// Loads what the user named, in the format its name says (hosting/PluginFormat.h). Throws
// HostError with the reason.
std::unique_ptr<Instance> LoadInstance(const std::string& location);

} // namespace zhost
