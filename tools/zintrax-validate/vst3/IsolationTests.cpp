// lifecycle.isolation, for VST3 plug-ins: the second instance's parameters set through its
// controller and its processor, and its component state saved and set back.
#include "checks/Isolation.h"
#include "vst3/Vst3Subject.h"

namespace zhost::validate {

namespace {

using namespace vst3;

class Vst3Instance final : public IsolatedInstance {
public:
  explicit Vst3Instance(const Vst3Subject& subject) : FPlugin(subject.Another()) {
    FPlugin->Start(44100.0, kIsolationFrames);
    FIds = Writable(*FPlugin->controller);
    FChanges = TRef<Vst3ParameterChanges>::Adopt(new Vst3ParameterChanges);
  }
  int32_t Inputs() const override { return FPlugin->inputChannels; }
  int32_t Outputs() const override { return FPlugin->outputChannels; }
  std::vector<double> Values() override {
    std::vector<double> values;
    for (const ParamID id : FIds)
      values.push_back(FPlugin->controller->getParamNormalized(id));
    return values;
  }
  void Process(AudioBlock& block, int32_t frames) override {
    FPlugin->Process(block.Inputs(), block.Outputs(), frames, FChanges.get());
    FChanges->Clear();
  }
  void Change(Context& context) override {
    for (const ParamID id : FIds)
      FPlugin->controller->setParamNormalized(id, context.Uniform(0.0, 1.0));
    RandomChanges(context, FIds, kIsolationFrames, *FChanges);
    FPlugin->SetComponentState(FPlugin->ComponentState());
  }

private:
  std::unique_ptr<Vst3Effect> FPlugin;
  std::vector<ParamID> FIds;
  TRef<Vst3ParameterChanges> FChanges;
};

const bool registered =
    Register(PluginFormat::Vst3,
             {"lifecycle.isolation",
              [](Context& context) {
                const Vst3Subject subject(context.Location());
                CheckIsolation(context, [&] { return std::make_unique<Vst3Instance>(subject); });
              },
              {.strictness = 2}});

} // namespace

} // namespace zhost::validate
