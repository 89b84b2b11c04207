// lifecycle.isolation, for CLAP plug-ins: the second instance's parameters changed by events in
// its blocks, a preset of the file's own loaded where it has some, and its state saved and loaded.
#include "checks/Isolation.h"
#include "clap/ClapSubject.h"
#include "hosting/ClapPresets.h"

namespace zhost::validate {

namespace {

class ClapInstance final : public IsolatedInstance {
public:
  ClapInstance(const ClapSubject& subject, const std::vector<ClapPreset>& presets)
      : FPlugin(subject.Another()), FPresets(presets) {
    FPlugin->Activate(44100.0, 1, kIsolationFrames);
    FParams = Writable(*FPlugin);
  }
  int32_t Inputs() const override { return int32_t(FPlugin->InputChannels()); }
  int32_t Outputs() const override { return int32_t(FPlugin->OutputChannels()); }
  std::vector<double> Values() override {
    std::vector<double> values;
    for (const clap_param_info& info : FPlugin->Parameters())
      values.push_back(FPlugin->Value(info.id).value_or(0.0));
    return values;
  }
  void Process(AudioBlock& block, int32_t frames) override {
    FPlugin->Process(block.Inputs(), block.Outputs(), uint32_t(frames), &FEvents);
    FEvents.Clear();
  }
  void Change(Context& context) override {
    if (!FPresets.empty()) {
      const auto* load = static_cast<const clap_plugin_preset_load*>(
          FPlugin->Plugin().get_extension(&FPlugin->Plugin(), CLAP_EXT_PRESET_LOAD));
      const ClapPreset& preset =
          FPresets[std::size_t(context.Between(0, int64_t(FPresets.size()) - 1))];
      if (load && load->from_location)
        load->from_location(&FPlugin->Plugin(), CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN, nullptr,
                            preset.loadKey.c_str());
    }
    if (FPlugin->state)
      if (const std::optional<std::vector<uint8_t>> saved = FPlugin->Save())
        FPlugin->Load(*saved);
    RandomEvents(context, FParams, kIsolationFrames, FEvents);
  }

private:
  std::unique_ptr<ClapEffect> FPlugin;
  const std::vector<ClapPreset>& FPresets;
  std::vector<clap_param_info> FParams;
  ClapEventList FEvents;
};

const bool registered = Register(
    PluginFormat::Clap,
    {"lifecycle.isolation",
     [](Context& context) {
       const ClapSubject subject(context.Location());
       const std::vector<ClapPreset> presets = CrawlPresets(subject.library);
       CheckIsolation(context, [&] { return std::make_unique<ClapInstance>(subject, presets); });
     },
     {.strictness = 2}});

} // namespace

} // namespace zhost::validate
