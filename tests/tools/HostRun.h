// Running the built zintrax-host as a subprocess in a temporary folder, and reading and writing
// the audio files it works on.
#pragma once

#include "AudioFile.h"

#include <sndfile.h>
#include <sys/wait.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace hosttest {

namespace fs = std::filesystem;

struct Result {
  int status = -1; // exit status
  std::string out;
  std::string err;
};

inline std::string Quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text)
    quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

inline std::string ReadText(const fs::path& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// A fresh folder for one test, removed afterwards.
class TempDir {
public:
  TempDir() {
    std::string pattern = (fs::temp_directory_path() / "zintrax-host-test-XXXXXX").string();
    FPath = mkdtemp(pattern.data());
  }
  ~TempDir() { fs::remove_all(FPath); }
  const fs::path& Path() const { return FPath; }
  std::string operator/(const std::string& name) const { return (FPath / name).string(); }
  std::vector<std::string> Files() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(FPath))
      names.push_back(entry.path().filename().string());
    return names;
  }

private:
  fs::path FPath;
};

// Runs zintrax-host with args in folder dir; env holds extra "NAME=VALUE" settings, wrapper a
// command (with its arguments) that runs the tool.
inline Result RunHost(const TempDir& dir, const std::vector<std::string>& args,
                      const std::vector<std::string>& env = {}, const std::string& wrapper = "") {
  std::string command = "cd " + Quote(dir.Path().string()) + " && env";
  for (const std::string& setting : env)
    command.append(" ").append(Quote(setting));
  if (!wrapper.empty())
    command.append(" ").append(wrapper);
  command.append(" ").append(Quote(ZINTRAX_HOST_PATH));
  for (const std::string& arg : args)
    command.append(" ").append(Quote(arg));
  const fs::path out = dir.Path() / ".stdout";
  const fs::path err = dir.Path() / ".stderr";
  command += " >" + Quote(out.string()) + " 2>" + Quote(err.string());
  const int raw = std::system(command.c_str());
  Result result;
  result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  result.out = ReadText(out);
  result.err = ReadText(err);
  fs::remove(out);
  fs::remove(err);
  return result;
}

struct Audio {
  int channels = 0;
  int sampleRate = 0;
  std::vector<std::vector<float>> samples; // [channel][frame]
  size_t Frames() const { return samples.empty() ? 0 : samples[0].size(); }
};

inline Audio ReadAudio(const std::string& path) {
  auto source = zhost::OpenAudioFile(path);
  Audio audio;
  audio.channels = source->Channels();
  audio.sampleRate = source->SampleRate();
  audio.samples.assign(audio.channels, {});
  std::vector<float> block(1024 * audio.channels);
  for (int64_t read; (read = source->Read(block.data(), 1024)) > 0;)
    for (int64_t n = 0; n < read; ++n)
      for (int c = 0; c < audio.channels; ++c)
        audio.samples[c].push_back(block[n * audio.channels + c]);
  return audio;
}

// Writes a float WAV file; samples are [channel][frame].
inline void WriteWav(const std::string& path, int sampleRate,
                     const std::vector<std::vector<float>>& samples) {
  SF_INFO info{};
  info.channels = static_cast<int>(samples.size());
  info.samplerate = sampleRate;
  info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
  std::vector<float> interleaved;
  for (size_t n = 0; n < samples[0].size(); ++n)
    for (const auto& channel : samples)
      interleaved.push_back(channel[n]);
  sf_writef_float(file, interleaved.data(), static_cast<sf_count_t>(samples[0].size()));
  sf_close(file);
}

// A ramp that is different on every sample, so that any misplaced sample shows.
inline std::vector<float> Ramp(size_t frames, float scale) {
  std::vector<float> ramp(frames);
  for (size_t n = 0; n < frames; ++n)
    ramp[n] = scale * static_cast<float>((n * 7919) % 1000) / 1000.0f;
  return ramp;
}

} // namespace hosttest
