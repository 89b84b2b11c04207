#include "AudioFile.h"

#include "hosting/Errors.h"

#include <sndfile.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

namespace zhost {

namespace {

std::string Lowercase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

class FileSource : public AudioSource {
public:
  FileSource(SNDFILE* file, const SF_INFO& info) : FFile(file), FInfo(info) {}
  ~FileSource() override { sf_close(FFile); }

  int Channels() const override { return FInfo.channels; }
  int SampleRate() const override { return FInfo.samplerate; }
  int64_t Frames() const override { return FInfo.frames; }
  int64_t Read(float* interleaved, int64_t frames) override {
    return sf_readf_float(FFile, interleaved, frames);
  }

private:
  SNDFILE* FFile;
  SF_INFO FInfo;
};

std::string FolderOf(const std::string& path) {
  const std::filesystem::path folder = std::filesystem::path(path).parent_path();
  return folder.empty() ? std::string(".") : folder.string();
}

std::string HiddenNameOf(const std::string& path) {
  return std::string(".")
      .append(std::filesystem::path(path).filename().string())
      .append(".partial-");
}

} // namespace

std::unique_ptr<AudioSource> OpenAudioFile(const std::string& path) {
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  if (file == nullptr)
    throw HostError("cannot read " + path + ": " + sf_strerror(nullptr));
  if (info.channels < 1 || info.samplerate < 1 || info.frames < 0) {
    sf_close(file);
    throw HostError(path + ": no audio channels in this file");
  }
  return std::make_unique<FileSource>(file, info);
}

int OutputFormatFor(const std::string& path) {
  const std::string extension = Lowercase(std::filesystem::path(path).extension().string());
  if (extension == ".wav")
    return SF_FORMAT_WAV | SF_FORMAT_FLOAT;
  if (extension == ".flac")
    return SF_FORMAT_FLAC | SF_FORMAT_PCM_24;
  if (extension == ".aif" || extension == ".aiff")
    return SF_FORMAT_AIFF | SF_FORMAT_PCM_24;
  throw UsageError(path + ": the output name must end in .wav, .flac or .aiff");
}

PendingFile::PendingFile(std::string target)
    : FTarget(std::move(target)), FFolder(FolderOf(FTarget)), FHiddenName(HiddenNameOf(FTarget)) {
  if (std::filesystem::is_directory(FTarget))
    throw HostError(FTarget + " is a folder");

  // An unnamed file vanishes by itself if this process dies before the render is complete.
  FDescriptor = open(FFolder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
  if (FDescriptor >= 0)
    return;
  if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
    throw HostError("cannot write into " + FFolder + ": " + std::strerror(errno));
  // Where the file system has no unnamed files, a hidden name beside the target stands in.
  std::string pattern = FFolder + "/" + FHiddenName + "XXXXXX";
  FDescriptor = mkostemp(pattern.data(), O_CLOEXEC);
  if (FDescriptor < 0)
    throw HostError("cannot write into " + FFolder + ": " + std::strerror(errno));
  FTempPath = pattern;
  // mkostemp makes the file private; the result gets the permissions of any new file.
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(FDescriptor, 0666 & ~mask);
}

PendingFile::~PendingFile() {
  if (FDescriptor >= 0)
    close(FDescriptor);
  if (!FCommitted && !FTempPath.empty())
    unlink(FTempPath.c_str());
}

void PendingFile::Commit() {
  if (FTempPath.empty()) {
    // Give the unnamed file a hidden name first: rename then replaces the target in one step.
    const std::string self = "/proc/self/fd/" + std::to_string(FDescriptor);
    for (unsigned attempt = 0; FTempPath.empty(); ++attempt) {
      const std::string name =
          FFolder + "/" + FHiddenName + std::to_string(getpid()) + "-" + std::to_string(attempt);
      if (linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0)
        FTempPath = name;
      else if (errno != EEXIST || attempt > 1000)
        throw HostError("cannot create " + FTarget + ": " + std::strerror(errno));
    }
  }
  if (std::rename(FTempPath.c_str(), FTarget.c_str()) != 0)
    throw HostError("cannot create " + FTarget + ": " + std::strerror(errno));
  FCommitted = true;
  close(FDescriptor);
  FDescriptor = -1;
}

struct AudioFileWriter::SndFile {
  SNDFILE* file = nullptr;
  ~SndFile() {
    if (file != nullptr)
      sf_close(file);
  }
};

AudioFileWriter::AudioFileWriter(const std::string& path, int channels, int sampleRate)
    : FFile(path), FSnd(std::make_unique<SndFile>()) {
  SF_INFO info{};
  info.channels = channels;
  info.samplerate = sampleRate;
  info.format = OutputFormatFor(path);
  if (!sf_format_check(&info))
    throw HostError(path + ": this format cannot hold " + std::to_string(channels) +
                    " channels at " + std::to_string(sampleRate) + " Hz");
  FSnd->file = sf_open_fd(FFile.Descriptor(), SFM_WRITE, &info, SF_FALSE);
  if (FSnd->file == nullptr)
    throw HostError("cannot write " + path + ": " + sf_strerror(nullptr));
  // Integer formats clip samples beyond full scale instead of wrapping them round.
  sf_command(FSnd->file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
}

AudioFileWriter::~AudioFileWriter() = default;

void AudioFileWriter::Write(const float* interleaved, int64_t frames) {
  if (sf_writef_float(FSnd->file, interleaved, frames) != frames)
    throw HostError("cannot write " + FFile.Target() + ": " + sf_strerror(FSnd->file));
}

void AudioFileWriter::Commit() {
  const int status = sf_close(FSnd->file);
  FSnd->file = nullptr;
  if (status != 0)
    throw HostError("cannot finish " + FFile.Target() + ": " + sf_error_number(status));
  FFile.Commit();
}

} // namespace zhost
