// Every kind of call a host makes into an LV2 plug-in, in the order of a session (see CallWalk.h).
#include "checks/CallWalk.h"
#include "checks/ProcessState.h"
#include "hosting/PluginFormat.h"
#include "lv2/Lv2Subject.h"

#include <lv2/options/options.h>
#include <lv2/state/state.h>
#include <lv2/worker/worker.h>

#include <dlfcn.h>

#include <memory>

namespace zhost::validate {

namespace {

// Extensions a host asks every plug-in for.
constexpr const char* kExtensions[] = {LV2_OPTIONS__interface, LV2_STATE__interface,
                                       LV2_WORKER__interface};

void Ui(Lv2Effect& subject, const CheckedCall& checked) {
  std::unique_ptr<Lv2UiHost> ui;
  checked("the UI's instantiate", [&] { ui = std::make_unique<Lv2UiHost>(subject); });
  for (size_t c = 0; c < subject.NumControls(); ++c)
    checked("the UI's port_event", [&] { ui->PortEvent(c, subject.Control(c)); });
  for (int i = 0; i < 3; ++i)
    checked("the UI's idle", [&] { ui->Idle(); });
  checked("the UI's cleanup", [&] { ui->Close(); });
}

void Running(Context& context, Lv2Effect& subject, const CheckedCall& checked) {
  checked("activate", [&] { subject.Activate(); });
  AudioBlock block(subject.NumInputs(), subject.NumOutputs(), 512);
  checked("connect_port", [&] { subject.Connect(block.Inputs(), block.Outputs()); });
  for (int i = 0; i < 16; ++i) {
    if (i % 4 == 2 && subject.NumControls() > 0)
      SetRandomControl(subject, context.Random());
    block.Noise(context.Random(), i == 8 ? 1e-38f : 0.5f, 512);
    block.PrepareOutputs(512);
    checked(i == 0 ? "the first run" : "run", [&] { subject.RunConnected(512); });
  }
  checked("run of 0 frames", [&] { subject.RunConnected(0); });
  checked("deactivate", [&] { subject.Deactivate(); });
}

} // namespace

void WalkEveryKindOfLv2Call(Context& context, const CheckedCall& checked) {
  std::unique_ptr<Lv2Description> description;
  checked("reading the plug-in's description through lilv",
          [&] { description = std::make_unique<Lv2Description>(context.Location()); });
  // Loaded first on its own, so that what the library's initialisers do is told apart from what
  // its descriptor does.
  const std::string binary = LibraryLoadPath(description->BinaryPath());
  void* library = nullptr;
  checked("loading the library (its static initialisers)",
          [&] { library = dlopen(binary.c_str(), RTLD_NOW | RTLD_LOCAL); });
  std::unique_ptr<Lv2Library> target;
  checked("lv2_descriptor", [&] { target = std::make_unique<Lv2Library>(context.Location()); });
  std::unique_ptr<Lv2Effect> subject;
  checked("instantiate (and connect_port of every control and atom port)",
          [&] { subject = std::make_unique<Lv2Effect>(*target, 48000.0f, 512); });
  if (target->Descriptor().extension_data)
    for (const char* uri : kExtensions)
      checked("extension_data", [&] { target->Descriptor().extension_data(uri); });
  if (context.Gui() && target->HasUi())
    Ui(*subject, checked);
  Running(context, *subject, checked);
  checked("cleanup", [&] { subject.reset(); });
  checked("unloading the library", [&] {
    target.reset();
    if (library)
      dlclose(library);
  });
}

namespace {

const bool registered = Register(
    PluginFormat::Lv2,
    {"process.state", [](Context& c) { CheckProcessState(c, WalkEveryKindOfLv2Call); }, {}});

} // namespace

} // namespace zhost::validate
