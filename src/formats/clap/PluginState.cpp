// The instance's state: the settings record (formats/common/SettingsRecord.h), the same bytes as
// the VST3 plug-in's state, through the host's streams, whose reads and writes may each move
// fewer bytes than asked.
#include "formats/clap/Plugin.h"

#include "formats/common/ModuleAdapter.h"
#include "formats/common/SettingsRecord.h"

const clap_plugin_state TClapPlugin::kState = {
    [](const clap_plugin* p, const clap_ostream* stream) {
      return stream && stream->write && Of(p).Save(*stream);
    },
    [](const clap_plugin* p, const clap_istream* stream) {
      return stream && stream->read && Of(p).Load(*stream);
    }};

bool TClapPlugin::Save(const clap_ostream& stream) const {
  std::vector<uint8_t> record;
  try {
    const TModuleTurns::TMainTurn turn(FTurns);
    TSavedSettings settings = CaptureSettings(*FModule);
    // The current program's values as the host set them, without the modulation on top.
    if (settings.CurrentProgram >= 0 && settings.CurrentProgram < settings.Programs)
      for (int32_t i = 0; i < FParameters; ++i)
        settings.Values[size_t(settings.CurrentProgram * settings.Parameters + i)] =
            float(FBase[size_t(i)].load());
    record = SettingsRecord(settings);
  } catch (...) {
    return false;
  }
  std::size_t sent = 0;
  while (sent < record.size()) {
    const int64_t written = stream.write(&stream, record.data() + sent, record.size() - sent);
    if (written <= 0 || uint64_t(written) > record.size() - sent)
      return false;
    sent += std::size_t(written);
  }
  return true;
}

bool TClapPlugin::Load(const clap_istream& stream) {
  const TReadExactly read = [&stream](uint8_t* to, uint32_t size) {
    uint32_t got = 0;
    while (got < size) {
      const int64_t n = stream.read(&stream, to + got, size - got);
      if (n <= 0 || uint64_t(n) > size - got)
        return false;
      got += uint32_t(n);
    }
    return true;
  };
  try {
    const std::optional<TSavedSettings> settings =
        ReadSettingsRecord(read, FModule->ParameterCount(), FModule->ProgramCount());
    if (!settings)
      return false;
    const TModuleTurns::TMainTurn turn(FTurns);
    ApplySettings(*FModule, *settings);
    TakeModuleValues();
    return true;
  } catch (...) {
    return false;
  }
}
