// lifecycle.isolation, for LV2 plug-ins: the second instance's controls set at random and run.
// The values a host reads of an LV2 plug-in are its output controls (its inputs are the host's).
#include "checks/Isolation.h"
#include "lv2/Lv2Subject.h"

namespace zhost::validate {

namespace {

class Lv2Instance final : public IsolatedInstance {
public:
  explicit Lv2Instance(Lv2Library& library)
      : FPlugin(std::make_unique<Lv2Effect>(library, 44100.0f, kIsolationFrames)) {
    FPlugin->Activate();
  }
  int32_t Inputs() const override { return FPlugin->NumInputs(); }
  int32_t Outputs() const override { return FPlugin->NumOutputs(); }
  std::vector<double> Values() override {
    std::vector<double> values;
    for (size_t c = 0; c < FPlugin->NumControls(); ++c)
      if (!FPlugin->Library().Controls()[c]->input)
        values.push_back(FPlugin->Control(c));
    return values;
  }
  void Process(AudioBlock& block, int32_t frames) override {
    FPlugin->Run(block.Inputs(), block.Outputs(), frames);
  }
  void Change(Context& context) override {
    for (size_t n = 0; n < FPlugin->NumControls(); ++n)
      SetRandomControl(*FPlugin, context.Random());
  }

private:
  std::unique_ptr<Lv2Effect> FPlugin;
};

const bool registered =
    Register(PluginFormat::Lv2,
             {"lifecycle.isolation",
              [](Context& context) {
                Lv2Library library(context.Location());
                CheckIsolation(context, [&] { return std::make_unique<Lv2Instance>(library); });
              },
              {.strictness = 2}});

} // namespace

} // namespace zhost::validate
