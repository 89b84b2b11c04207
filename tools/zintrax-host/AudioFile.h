// Audio in and out through libsndfile. Sources deliver interleaved frames; the writer puts its
// samples into a temporary file beside the target and renames it only when told the render is
// complete, so a failed or interrupted render never leaves a partial file under the target name.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace zhost {

class AudioSource {
public:
  virtual ~AudioSource() = default;
  virtual int Channels() const = 0;
  virtual int SampleRate() const = 0;
  virtual int64_t Frames() const = 0;
  // Reads up to frames frames into interleaved; answers how many were read (0 at the end).
  virtual int64_t Read(float* interleaved, int64_t frames) = 0;
};

// Opens an audio file for reading; throws HostError naming the file and the reason.
std::unique_ptr<AudioSource> OpenAudioFile(const std::string& path);

// The libsndfile format for a file name's extension (.wav, .flac, .aif, .aiff; any letter case);
// throws UsageError for anything else.
int OutputFormatFor(const std::string& path);

// A file being written in the target's folder without the target's name: unnamed where the file
// system allows (so that not even a crash leaves it behind), else under a hidden temporary name
// that is removed unless the file is committed.
class PendingFile {
public:
  explicit PendingFile(std::string target);
  ~PendingFile(); // removes the temporary file unless it was committed
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;

  const std::string& Target() const { return FTarget; }
  // The open descriptor of the file; it stays owned by this object.
  int Descriptor() const { return FDescriptor; }
  // Gives the file the target's name, replacing what was there in one step.
  void Commit();

private:
  std::string FTarget;
  std::string FFolder;
  std::string FHiddenName;
  std::string FTempPath; // the hidden name, once the file has one
  int FDescriptor = -1;
  bool FCommitted = false;
};

class AudioFileWriter {
public:
  AudioFileWriter(const std::string& path, int channels, int sampleRate);
  ~AudioFileWriter();
  AudioFileWriter(const AudioFileWriter&) = delete;
  AudioFileWriter& operator=(const AudioFileWriter&) = delete;

  void Write(const float* interleaved, int64_t frames);
  // Finishes the file and gives it its name.
  void Commit();

private:
  PendingFile FFile;
  struct SndFile;
  std::unique_ptr<SndFile> FSnd;
};

} // namespace zhost
