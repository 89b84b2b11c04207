// Every kind of call a host makes into a CLAP plug-in, in the order of a session (see
// CallWalk.h): loading the library, the entry's init and its factory, the plug-in made and
// initialised, its ports, every parameter's values and texts and a flush while inactive, the
// state saved and loaded, the editor with its timers and descriptors (with --gui), activation,
// processing with events and a flush while active, deactivation, destroy, the entry's deinit and
// unloading; and the checks that every one of them must leave alone.
#include "checks/CallWalk.h"
#include "checks/AudioBlock.h"
#include "checks/AudioThreadChecks.h"
#include "checks/ProcessState.h"
#include "clap/ClapSubject.h"
#include "hosting/Errors.h"
#include "hosting/PluginFormat.h"

#include <dlfcn.h>

#include <algorithm>
#include <memory>

namespace zhost::validate {

namespace {

void Parameters(Context& context, ClapEffect& plugin, const CheckedCall& checked) {
  const std::vector<clap_param_info> params = Writable(plugin);
  for (std::size_t i = 0; i < std::min<std::size_t>(params.size(), 64); ++i) {
    const clap_param_info& info = params[i];
    std::string text;
    checked("params.get_value", [&] { plugin.Value(info.id); });
    checked("params.value_to_text", [&] { text = plugin.Text(info.id, info.default_value); });
    checked("params.text_to_value", [&] { plugin.Parse(info.id, text); });
  }
  ClapEventList events;
  RandomEvents(context, params, 1, events);
  checked("params.flush while inactive", [&] { plugin.Flush(events); });
}

void State(ClapEffect& plugin, const CheckedCall& checked) {
  if (!plugin.state)
    return;
  std::optional<std::vector<uint8_t>> saved;
  checked("state.save", [&] { saved = plugin.Save(); });
  if (saved)
    checked("state.load", [&] { plugin.Load(*saved); });
}

void Editor(Context& context, ClapEffect& plugin, const CheckedCall& checked) {
  const auto* gui = static_cast<const clap_plugin_gui*>(
      plugin.Plugin().get_extension(&plugin.Plugin(), CLAP_EXT_GUI));
  if (!gui || !gui->is_api_supported ||
      !gui->is_api_supported(&plugin.Plugin(), CLAP_WINDOW_API_X11, false))
    return;
  std::unique_ptr<ClapGuiHost> host;
  checked("gui.create, get_size, set_parent and show", [&] {
    try {
      host = std::make_unique<ClapGuiHost>(plugin);
    } catch (const HostError& error) {
      context.Note("editor", error.what());
    }
  });
  if (!host)
    return;
  for (int i = 0; i < 3; ++i)
    checked("the editor's timers and descriptors", [&] { host->Turn(25); });
  checked("gui.hide and destroy", [&] { host->Close(); });
}

void Processing(Context& context, ClapEffect& plugin, const CheckedCall& checked) {
  checked("activate", [&] { plugin.Activate(48000.0, 1, 512); });
  const std::vector<clap_param_info> params = Writable(plugin);
  AudioBlock block(int32_t(plugin.InputChannels()), int32_t(plugin.OutputChannels()), 512);
  ClapEventList events;
  checked("start_processing", [&] { plugin.StartProcessing(); });
  for (int i = 0; i < 16; ++i) {
    block.Noise(context.Random(), i == 8 ? 1e-38f : 0.5f, 512);
    block.PrepareOutputs(512);
    RandomEvents(context, params, 512, events);
    checked(i == 0 ? "the first process" : "process",
            [&] { plugin.Process(block.Inputs(), block.Outputs(), 512, &events); });
  }
  RandomEvents(context, params, 1, events);
  checked("params.flush while active", [&] { plugin.Flush(events); });
  checked("stop_processing", [&] { plugin.StopProcessing(); });
  checked("deactivate", [&] { plugin.Deactivate(); });
}

void WalkEveryKindOfClapCall(Context& context, const CheckedCall& checked) {
  // Loaded first on its own, so that what the library's initialisers do is told apart from what
  // the entry's init does.
  const std::string binary = LibraryLoadPath(context.Location());
  void* library = nullptr;
  checked("loading the library (its static initialisers)",
          [&] { library = dlopen(binary.c_str(), RTLD_NOW | RTLD_LOCAL); });
  std::unique_ptr<ClapSubject> subject;
  checked("the entry's init and get_factory, create_plugin and init",
          [&] { subject = std::make_unique<ClapSubject>(context.Location()); });
  ClapEffect& plugin = *subject->plugin;
  Parameters(context, plugin, checked);
  State(plugin, checked);
  if (context.Gui())
    Editor(context, plugin, checked);
  Processing(context, plugin, checked);
  checked("destroy", [&] { subject->plugin.reset(); });
  checked("the entry's deinit", [&] { subject.reset(); });
  checked("unloading the library", [&] {
    if (library)
      dlclose(library);
  });
}

const bool registered =
    Register(
        PluginFormat::Clap,
        {"process.state", [](Context& c) { CheckProcessState(c, WalkEveryKindOfClapCall); }, {}}) &&
    Register(PluginFormat::Clap,
             {"realtime.fp-state",
              [](Context& c) { CheckFloatingPointState(c, WalkEveryKindOfClapCall); },
              {.strictness = 1}});

} // namespace

} // namespace zhost::validate
