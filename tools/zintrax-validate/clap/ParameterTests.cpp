// parameters and texts, for CLAP plug-ins: each parameter's information, its value after init,
// values set by events (in a flush and in a block alike, ignored from another event space), and
// the texts both ways.
#include "checks/AudioBlock.h"
#include "clap/ClapSubject.h"

#include <cmath>
#include <cstring>
#include <set>
#include <string>

namespace zhost::validate {

namespace {

std::string Name(const clap_param_info& info) {
  return Printable(std::string(info.name, strnlen(info.name, sizeof info.name)));
}

void Info(Context& context) {
  const ClapSubject subject(context.Location());
  const ClapEffect& plugin = *subject.plugin;
  if (!plugin.params)
    context.Skip("the plug-in has no parameters (clap.params)");
  std::set<clap_id> ids;
  int bypasses = 0;
  for (const clap_param_info& info : plugin.Parameters()) {
    const std::string name = Name(info);
    if (info.id == CLAP_INVALID_ID || !ids.insert(info.id).second)
      context.Fail(name + ": its id " + std::to_string(info.id) + " is invalid or taken");
    if (!std::isfinite(info.min_value) || !std::isfinite(info.max_value) ||
        !(info.min_value <= info.default_value && info.default_value <= info.max_value))
      context.Fail(name + ": its default is not between its finite minimum and maximum");
    if ((info.flags & CLAP_PARAM_IS_STEPPED) && (info.min_value != std::floor(info.min_value) ||
                                                 info.max_value != std::floor(info.max_value)))
      context.Fail(name + ": stepped, with bounds that are not whole numbers");
    if (info.flags & CLAP_PARAM_IS_BYPASS) {
      ++bypasses;
      if (!(info.flags & CLAP_PARAM_IS_STEPPED))
        context.Fail(name + ": the bypass is not stepped");
    }
    if ((info.flags & CLAP_PARAM_IS_READONLY) &&
        (info.flags & (CLAP_PARAM_IS_AUTOMATABLE | CLAP_PARAM_IS_MODULATABLE)))
      context.Fail(name + ": read-only, yet automatable or modulatable");
    const std::string module(info.module, strnlen(info.module, sizeof info.module));
    if (!module.empty() &&
        (module.front() == '/' || module.back() == '/' || module.find("//") != std::string::npos))
      context.Fail(name + ": its module path " + Printable(module) + " is malformed");
    const std::optional<double> value = plugin.Value(info.id);
    if (!value || *value != info.default_value)
      context.Fail(name + ": get_value after init is not its default");
  }
  if (bypasses > 1)
    context.Fail(std::to_string(bypasses) + " parameters are flagged as the bypass");
  clap_param_info outside{};
  if (plugin.params->get_info(&plugin.Plugin(), uint32_t(plugin.Parameters().size()), &outside))
    context.Fail("get_info answered for an index past the parameters");
  double ignored = 0;
  if (plugin.params->get_value(&plugin.Plugin(), CLAP_INVALID_ID, &ignored))
    context.Fail("get_value answered for CLAP_INVALID_ID");
}

// value_to_text for every parameter or for none, and text_to_value reading it back.
void Conversions(Context& context) {
  const ClapSubject subject(context.Location());
  const ClapEffect& plugin = *subject.plugin;
  if (!plugin.params)
    context.Skip("the plug-in has no parameters (clap.params)");
  int withText = 0;
  for (const clap_param_info& info : plugin.Parameters()) {
    for (int n = 0; n < 5; ++n) {
      const double value = n == 0   ? info.min_value
                           : n == 1 ? info.max_value
                                    : RandomValue(context, info);
      context.Step("the texts of %s at %g", Name(info).c_str(), value);
      const std::string text = plugin.Text(info.id, value);
      if (text.empty())
        continue;
      withText += n == 0;
      const std::optional<double> back = plugin.Parse(info.id, text);
      const double slack = 1e-3 * std::max(1.0, info.max_value - info.min_value);
      if (!back || std::abs(*back - value) > slack * 10)
        context.Fail(Name(info) + ": " + Printable(text) + " reads back as " +
                     (back ? std::to_string(*back) : "nothing") + ", not " + std::to_string(value));
      if (plugin.Text(info.id, back.value_or(value)) != text &&
          !(info.flags & CLAP_PARAM_IS_STEPPED))
        context.Note("text " + Name(info), "the text of the value read back differs");
    }
    char small[4];
    std::memset(small, 'x', sizeof small);
    if (plugin.params->value_to_text(&plugin.Plugin(), info.id, info.default_value, small, 4) &&
        std::memchr(small, '\0', 4) == nullptr)
      context.Fail(Name(info) + ": value_to_text left a text of capacity 4 unterminated");
    double ignored = 0;
    for (const char* junk : {"", "??", "1e999x"})
      plugin.params->text_to_value(&plugin.Plugin(), info.id, junk, &ignored);
  }
  if (withText != 0 && withText != int(plugin.Parameters().size()))
    context.Fail(std::to_string(withText) + " of " + std::to_string(plugin.Parameters().size()) +
                 " parameters have texts: all or none should");
}

// The same values by a flush while inactive and by a block while processing; events of another
// space change nothing.
void Events(Context& context) {
  const ClapSubject subject(context.Location());
  const std::vector<clap_param_info> params = Writable(*subject.plugin);
  if (params.empty())
    context.Skip("no parameter a host may change");
  ClapEventList events;
  std::vector<double> values;
  for (const clap_param_info& info : params) {
    values.push_back(RandomValue(context, info));
    events.Value(0, info.id, values.back());
  }
  auto flushed = subject.Another();
  context.Step("a flush while inactive");
  flushed->Flush(events);
  auto processed = subject.Another();
  processed->Activate(48000.0, 1, 256);
  AudioBlock block(int32_t(processed->InputChannels()), int32_t(processed->OutputChannels()), 256);
  block.Noise(context.Random(), 0.5f, 256);
  block.Ready(256, true);
  context.Step("a block with the same values");
  processed->Process(block.Inputs(), block.Outputs(), 256, &events);
  for (std::size_t i = 0; i < params.size(); ++i)
    if (flushed->Value(params[i].id) != processed->Value(params[i].id))
      context.Fail(Name(params[i]) + ": a flush and a block with the same value disagree");
  ClapEventList foreign;
  for (const clap_param_info& info : params)
    foreign.Value(0, info.id,
                  info.min_value == info.default_value ? info.max_value : info.min_value, 7);
  auto untouched = subject.Another();
  context.Step("a flush of values in event space 7");
  untouched->Flush(foreign);
  for (const clap_param_info& info : params)
    if (untouched->Value(info.id) != info.default_value)
      context.Fail(Name(info) + ": a value event of another event space changed it");
}

const bool registered =
    Register(PluginFormat::Clap, {"parameters.info", Info, {.strictness = 1}}) &&
    Register(PluginFormat::Clap, {"parameters.events", Events, {.strictness = 1}}) &&
    Register(PluginFormat::Clap, {"texts.conversions", Conversions, {.strictness = 1}});

} // namespace

} // namespace zhost::validate
