// lifecycle.isolation, for VST 2.x plug-ins: values through setParameter, another program and the
// bank's chunk set back into the second instance.
#include "checks/Isolation.h"
#include "vst2/Vst2Subject.h"

#include <cstring>

namespace zhost::validate {

namespace {

class Vst2Instance final : public IsolatedInstance {
public:
  explicit Vst2Instance(Context& context)
      : FPlugin(LoadProcessing(context, 44100.0f, kIsolationFrames)),
        FReplacing(Replaces(*FPlugin)) {}
  int32_t Inputs() const override { return FPlugin->NumInputs(); }
  int32_t Outputs() const override { return FPlugin->NumOutputs(); }
  std::vector<double> Values() override {
    std::vector<double> values;
    for (int32_t i = 0; i < FPlugin->NumParams(); ++i)
      values.push_back(FPlugin->GetParameter(i));
    return values;
  }
  void Process(AudioBlock& block, int32_t frames) override {
    ProcessBlock(block, *FPlugin, frames, FReplacing);
  }
  void Change(Context& context) override {
    for (int32_t i = 0; i < FPlugin->NumParams(); ++i)
      FPlugin->SetParameter(i, float(context.Uniform(0.0, 1.0)));
    if (FPlugin->NumPrograms() > 1)
      FPlugin->Dispatch(effSetProgram, 0, context.Between(0, FPlugin->NumPrograms() - 1));
    if (FPlugin->Effect().flags & effFlagsProgramChunks) {
      void* data = nullptr;
      const VstIntPtr size = FPlugin->Dispatch(effGetChunk, 0, 0, &data);
      if (size > 0 && data) {
        std::vector<char> chunk(static_cast<const char*>(data),
                                static_cast<const char*>(data) + size);
        FPlugin->Dispatch(effSetChunk, 0, size, chunk.data());
      }
    }
  }

private:
  std::unique_ptr<Vst2Effect> FPlugin;
  bool FReplacing;
};

const bool registered =
    Register(PluginFormat::Vst2,
             {"lifecycle.isolation",
              [](Context& context) {
                CheckIsolation(context, [&] { return std::make_unique<Vst2Instance>(context); });
              },
              {.strictness = 2}});

} // namespace

} // namespace zhost::validate
