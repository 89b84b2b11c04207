#include "RenderCommand.h"

#include "AudioFile.h"
#include "DemoSignal.h"
#include "Instance.h"
#include "Plot.h"
#include "Progress.h"
#include "Selection.h"

#include "hosting/Errors.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zhost {

namespace {

constexpr int kDemoSampleRate = 44100;

// Channel buffers for one block, with the pointer arrays the plug-in is handed.
struct Buffers {
  std::vector<std::vector<float>> samples;
  std::vector<float*> pointers;

  Buffers(int channels, int32_t frames)
      : samples(std::max(channels, 0), std::vector<float>(frames)), pointers(samples.size()) {
    for (size_t c = 0; c < samples.size(); ++c)
      pointers[c] = samples[c].data();
  }
};

std::unique_ptr<AudioSource> OpenSource(const RenderOptions& options, std::ostream& log) {
  if (options.in.empty()) {
    const int rate = options.sampleRate.value_or(kDemoSampleRate);
    log << "input: built-in demo, " << DemoTimes::kNotes << " s of plucked notes and "
        << DemoTimes::kSilence << " s of silence\n";
    return DemoSource(rate);
  }
  std::unique_ptr<AudioSource> source = OpenAudioFile(options.in);
  if (options.sampleRate && *options.sampleRate != source->SampleRate())
    throw UsageError(options.in + " is at " + std::to_string(source->SampleRate()) +
                     " Hz; zintrax-host does not resample, so --sample-rate must match it " +
                     "or be left out");
  return source;
}

// Fills the plug-in's inputs from interleaved source frames: a mono source feeds every input,
// otherwise channel c feeds input c, and inputs beyond the source's channels get silence.
void Distribute(const std::vector<float>& interleaved, int sourceChannels, int64_t frames,
                Buffers& inputs) {
  for (size_t c = 0; c < inputs.samples.size(); ++c) {
    float* out = inputs.pointers[c];
    const int from = sourceChannels == 1 ? 0 : static_cast<int>(c);
    if (from >= sourceChannels) {
      std::fill(out, out + frames, 0.0f);
      continue;
    }
    for (int64_t n = 0; n < frames; ++n)
      out[n] = interleaved[n * sourceChannels + from];
  }
}

void ApplySettings(const RenderOptions& options, Instance& plugin, std::ostream& log) {
  if (options.program) {
    const int32_t index = SelectProgram(plugin, *options.program);
    log << "program " << index << ": " << plugin.ProgramName(index) << '\n';
  }
  for (const auto& [name, value] : options.params) {
    const int32_t index = FindParameter(plugin, name);
    SetParameterText(plugin, index, value);
    log << plugin.ParameterName(index) << " = " << DisplayWithLabel(plugin, index) << '\n';
  }
}

// The title of the plot: the plug-in's own name and the settings as it now displays them, a
// number with two decimals as `edit` prints it.
PlotCaption DescribeSettings(const Instance& plugin) {
  PlotCaption caption;
  caption.plugin = plugin.Name();
  if (caption.plugin.find_first_not_of(" \t") == std::string::npos)
    caption.plugin = std::filesystem::path(plugin.Location()).filename().string();
  if (plugin.NumPrograms() > 0)
    caption.program = plugin.ProgramName(plugin.CurrentProgram());
  for (int32_t i = 0; i < plugin.NumParams(); ++i)
    caption.parameters.push_back(plugin.ParameterName(i) + " " + RoundedDisplay(plugin, i));
  return caption;
}

} // namespace

void RunRender(const RenderOptions& options, std::ostream& log) {
  OutputFormatFor(options.out); // refuse a bad name before any work
  if (!options.plot.empty() && !options.plot.ends_with(".png") && !options.plot.ends_with(".PNG"))
    throw UsageError(options.plot + ": the plot's name must end in .png");

  std::unique_ptr<AudioSource> source = OpenSource(options, log);
  const int sampleRate = source->SampleRate();
  const int64_t inputFrames = source->Frames();
  const int64_t tailFrames = static_cast<int64_t>(std::llround(options.tail * sampleRate));
  const int64_t totalFrames = inputFrames + tailFrames;

  // The plug-in reads its seed when an instance is built, so it must be in place before loading.
  if (options.seed)
    setenv("ZINTRAX_SEED", std::to_string(*options.seed).c_str(), 1);

  std::unique_ptr<Instance> instance = LoadInstance(options.plugin);
  Instance& plugin = *instance;
  plugin.Open(static_cast<float>(sampleRate), options.block);
  ApplySettings(options, plugin, log);
  std::optional<WaveformPlot> plot;
  if (!options.plot.empty())
    plot.emplace(totalFrames, sampleRate, DescribeSettings(plugin));
  plugin.Start();

  // Channel counts as they stand once the plug-in is running (it may change them on resume).
  const int inputCount = plugin.NumInputs();
  const int outputs = plugin.NumOutputs();
  if (outputs < 1)
    throw HostError(options.plugin + ": the plug-in has no audio outputs");
  if (inputCount > 0 && source->Channels() > 1 && source->Channels() > inputCount)
    log << "note: the input has " << source->Channels() << " channels and the plug-in takes "
        << inputCount << "; the rest are left out\n";

  AudioFileWriter writer(options.out, outputs, sampleRate);

  Buffers inputs(inputCount, options.block);
  Buffers outputBuffers(outputs, options.block);
  std::vector<float> sourceFrames(static_cast<size_t>(options.block) * source->Channels());
  std::vector<float> interleaved(static_cast<size_t>(options.block) * outputs);
  Progress progress(totalFrames, static_cast<double>(totalFrames) / sampleRate);

  int64_t done = 0;
  while (done < totalFrames) {
    const auto frames = static_cast<int32_t>(std::min<int64_t>(options.block, totalFrames - done));
    int64_t read = 0;
    if (done < inputFrames)
      read = source->Read(sourceFrames.data(), std::min<int64_t>(frames, inputFrames - done));
    if (read < 0)
      throw HostError("cannot read " + options.in);
    std::fill(sourceFrames.begin() + read * source->Channels(), sourceFrames.end(), 0.0f);
    Distribute(sourceFrames, source->Channels(), frames, inputs);

    plugin.Process(inputs.pointers.data(), outputBuffers.pointers.data(), frames);
    if (plugin.NumInputs() != inputCount || plugin.NumOutputs() != outputs)
      throw HostError(options.plugin + ": the plug-in changed its channel counts while processing");

    for (int32_t n = 0; n < frames; ++n)
      for (int c = 0; c < outputs; ++c)
        interleaved[static_cast<size_t>(n) * outputs + c] = outputBuffers.pointers[c][n];
    writer.Write(interleaved.data(), frames);
    if (plot) {
      plot->AddInput(inputs.pointers.data(), inputCount, done, frames);
      plot->AddOutput(outputBuffers.pointers.data(), outputs, done, frames);
    }
    done += frames;
    progress.Update(done);
  }
  progress.Finish();
  instance.reset();

  if (plot)
    plot->Write(options.plot);
  writer.Commit();
  log << "wrote " << options.out << ": " << outputs << " channels, " << totalFrames << " frames at "
      << sampleRate << " Hz (" << static_cast<double>(totalFrames) / sampleRate << " s)\n";
}

} // namespace zhost
