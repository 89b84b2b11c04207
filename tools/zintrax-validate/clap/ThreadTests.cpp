// threads, for CLAP plug-ins: blocks with value and modulation events processed on an audio
// thread of the host's own while the main thread reads values and texts, saves and loads the
// state and turns the editor (with --gui); the blocks stay sound, and every call the plug-in
// makes of the host comes from a thread the interface allows it on.
#include "checks/AudioBlock.h"
#include "clap/ClapSubject.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace zhost::validate {

namespace {

void Edits(Context& context) {
  const ClapSubject subject(context.Location());
  ClapEffect& plugin = *subject.plugin;
  const std::vector<clap_param_info> params = Writable(plugin);
  std::unique_ptr<ClapGuiHost> editor;
  if (context.Gui()) {
    const auto* gui = static_cast<const clap_plugin_gui*>(
        plugin.Plugin().get_extension(&plugin.Plugin(), CLAP_EXT_GUI));
    if (gui && gui->is_api_supported &&
        gui->is_api_supported(&plugin.Plugin(), CLAP_WINDOW_API_X11, false)) {
      context.Step("opening the editor");
      editor = std::make_unique<ClapGuiHost>(plugin);
    }
  }
  plugin.Activate(44100.0, 1, 256);
  std::atomic<bool> stop{false};
  std::atomic<int64_t> badBlocks{0};
  // The audio thread draws its own events: the context's generator belongs to the main thread.
  std::thread audio([&, seed = context.Seed()] {
    AudioBlock block(int32_t(plugin.InputChannels()), int32_t(plugin.OutputChannels()), 256);
    ClapEventList events;
    events.Reserve(4);
    std::mt19937 random(seed);
    while (!stop.load()) {
      block.Noise(random, 0.5f, 256);
      block.Ready(256, true);
      events.Clear();
      if (!params.empty()) {
        const clap_param_info& info = params[random() % params.size()];
        const double at = double(random() % 1000) / 999.0;
        const double value = info.min_value + (info.max_value - info.min_value) * at;
        if ((info.flags & CLAP_PARAM_IS_MODULATABLE) && random() % 4 == 0)
          events.Modulation(random() % 256, info.id, (value - info.min_value) / 2);
        else
          events.Value(random() % 256, info.id, value);
      }
      plugin.Process(block.Inputs(), block.Outputs(), 256, &events);
      badBlocks += block.Check(256, true).Clean() ? 0 : 1;
    }
    plugin.StopProcessing();
  });
  const auto until = std::chrono::steady_clock::now() +
                     std::chrono::milliseconds(context.Strictness() >= 8 ? 3000 : 1000);
  while (std::chrono::steady_clock::now() < until) {
    context.Step("values and texts read, the state saved and loaded while blocks are processed");
    for (const clap_param_info& info : params)
      plugin.Text(info.id, plugin.Value(info.id).value_or(info.default_value));
    if (plugin.state)
      if (const std::optional<std::vector<uint8_t>> saved = plugin.Save())
        plugin.Load(*saved);
    if (editor)
      editor->Turn(5);
    else
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  stop.store(true);
  audio.join();
  editor.reset();
  plugin.Deactivate();
  if (badBlocks.load() > 0)
    context.Fail(std::to_string(badBlocks.load()) +
                 " blocks held samples no host accepts while the main thread worked");
  for (const std::string& fault : plugin.ThreadFaults())
    context.Fail(fault);
}

const bool registered = Register(PluginFormat::Clap, {"threads.edits", Edits, {.strictness = 3}});

} // namespace

} // namespace zhost::validate
