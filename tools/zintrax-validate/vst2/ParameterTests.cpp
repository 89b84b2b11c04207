// parameters: values stay within 0..1 whatever the host sends, texts turn back into the values
// they show, effCanBeAutomated answers, and indexes outside the list harm nothing.
#include "checks/HostileValues.h"
#include "core/Validation.h"
#include "vst2/Vst2Subject.h"

#include <cmath>
#include <string>
#include <vector>

namespace zhost::validate {

namespace {

std::unique_ptr<Vst2Effect> WithParameters(Context& context) {
  auto plugin = LoadOpened(context);
  if (plugin->NumParams() == 0)
    context.Skip("the plug-in has no parameters");
  return plugin;
}

// getParameter of index, failing unless it lies within 0..1; `after` says what came before.
float Checked(Context& context, const Vst2Effect& plugin, int32_t index, const std::string& after) {
  context.Step("getParameter(%d)", index);
  const float value = plugin.GetParameter(index);
  if (!InUnitRange(value))
    context.Fail("getParameter(" + std::to_string(index) + ") answered " + Number(value) + after +
                 ", outside 0..1");
  return value;
}

std::vector<float> AllValues(const Vst2Effect& plugin) {
  std::vector<float> values;
  for (int32_t index = 0; index < plugin.NumParams(); ++index)
    values.push_back(plugin.GetParameter(index));
  return values;
}

void Range(Context& context) {
  auto plugin = WithParameters(context);
  for (int32_t index = 0; index < plugin->NumParams(); ++index)
    Checked(context, *plugin, index, " at its default");
  const int rounds = 20 * context.Strictness();
  for (int round = 0; round < rounds; ++round) {
    const auto index = static_cast<int32_t>(context.Between(0, plugin->NumParams() - 1));
    const auto value = static_cast<float>(context.Uniform(0.0, 1.0));
    context.Step("setParameter(%d, %.9g), draw %d of %d", index, value, round + 1, rounds);
    plugin->SetParameter(index, value);
    Checked(context, *plugin, index, " after setParameter(" + Number(value) + ")");
  }
}

// Values no parameter takes leave it within 0..1, and do not spoil the ordinary values that
// follow: after each, 0.5 shows and answers what it did before any of them.
void HostileValues(Context& context) {
  auto plugin = WithParameters(context);
  for (int32_t index = 0; index < plugin->NumParams(); ++index) {
    context.Step("setParameter(%d, 0.5)", index);
    plugin->SetParameter(index, 0.5f);
    const float answered = plugin->GetParameter(index);
    const std::string shown = plugin->ParameterDisplay(index);
    for (const HostileValue& hostile : kHostileValues) {
      context.Step("setParameter(%d, %s)", index, hostile.name);
      plugin->SetParameter(index, hostile.value);
      const std::string after = std::string(" after setParameter(") + hostile.name + ")";
      Checked(context, *plugin, index, after);
      context.Step("setParameter(%d, 0.5) after setParameter(%s)", index, hostile.name);
      plugin->SetParameter(index, 0.5f);
      const float again = Checked(context, *plugin, index, " after 0.5 followed" + after);
      const std::string shownAgain = plugin->ParameterDisplay(index);
      if (again != answered || shownAgain != shown)
        context.Fail("setParameter(" + std::to_string(index) + ", 0.5)" + after + " shows " +
                     Printable(shownAgain) + " and answers " + Number(again) +
                     "; before, it showed " + Printable(shown) + " and answered " +
                     Number(answered));
    }
  }
}

// Value to text to value: a text the plug-in showed and accepted back through
// effString2Parameter shows the same again.
void RoundTrip(Context& context) {
  auto plugin = WithParameters(context);
  std::vector<char> buffer(1024);
  int answered = 0;
  const int draws = context.Strictness() >= 7 ? 16 : 4;
  for (int32_t index = 0; index < plugin->NumParams(); ++index) {
    std::vector<float> values = {0.0f, 0.25f, 0.5f, 0.75f, 1.0f};
    for (int draw = 0; draw < draws; ++draw)
      values.push_back(static_cast<float>(context.Uniform(0.0, 1.0)));
    bool accepted = false;
    for (const float value : values) {
      plugin->SetParameter(index, value);
      context.Step("effGetParamDisplay of parameter %d at %.9g", index, value);
      const std::string shown = plugin->ParameterDisplay(index);
      std::copy(shown.begin(), shown.end(), buffer.begin());
      buffer[shown.size()] = '\0';
      context.Step("effString2Parameter(%d, \"%s\")", index, shown.c_str());
      if (plugin->Dispatch(effString2Parameter, index, 0, buffer.data()) == 0)
        continue;
      accepted = true;
      const std::string where = "parameter " + std::to_string(index) + " at " + Number(value);
      Checked(context, *plugin, index, " after effString2Parameter(" + Printable(shown) + ")");
      const std::string again = plugin->ParameterDisplay(index);
      if (again != shown)
        context.Fail(where + " shows " + Printable(shown) +
                     "; effString2Parameter took that text, and then it shows " + Printable(again));
    }
    answered += accepted ? 1 : 0;
  }
  context.Note("effString2Parameter", "taken by " + std::to_string(answered) + " of " +
                                          std::to_string(plugin->NumParams()) + " parameters");
}

// Texts no display ever showed: nothing crashes and the value stays within 0..1.
void HostileTexts(Context& context) {
  auto plugin = WithParameters(context);
  const std::vector<std::string> texts = {"",
                                          "abc",
                                          "nan",
                                          "-nan",
                                          "inf",
                                          "-inf",
                                          "1e30",
                                          "-1e30",
                                          "1e400",
                                          "0x1p9",
                                          "  12  dB  ",
                                          std::string(1000, '9'),
                                          "\xff\xfe\x80"};
  for (int32_t index = 0; index < plugin->NumParams(); ++index) {
    for (const std::string& text : texts) {
      std::vector<char> buffer(text.begin(), text.end());
      buffer.push_back('\0');
      context.Step("effString2Parameter(%d, a text of %zu bytes)", index, text.size());
      plugin->Dispatch(effString2Parameter, index, 0, buffer.data());
      Checked(context, *plugin, index, " after effString2Parameter(" + Printable(text, 24) + ")");
    }
  }
}

void Automatable(Context& context) {
  auto plugin = WithParameters(context);
  int automatable = 0;
  for (int32_t index = 0; index < plugin->NumParams(); ++index) {
    context.Step("effCanBeAutomated(%d)", index);
    automatable += plugin->Dispatch(effCanBeAutomated, index) != 0 ? 1 : 0;
  }
  context.Note("effCanBeAutomated", "yes for " + std::to_string(automatable) + " of " +
                                        std::to_string(plugin->NumParams()) + " parameters");
}

// Indexes outside the list change no parameter inside it.
void OutsideIndexes(Context& context) {
  auto plugin = LoadOpened(context);
  const std::vector<float> before = AllValues(*plugin);
  char text[] = "0.5";
  for (const int32_t index : BadIndexes(plugin->NumParams())) {
    for (const float value : {0.0f, 0.7f, 1.0f}) {
      context.Step("setParameter(%d, %g)", index, value);
      plugin->SetParameter(index, value);
    }
    context.Step("getParameter(%d)", index);
    plugin->GetParameter(index);
    context.Step("effCanBeAutomated(%d)", index);
    plugin->Dispatch(effCanBeAutomated, index);
    context.Step("effString2Parameter(%d, \"0.5\")", index);
    plugin->Dispatch(effString2Parameter, index, 0, text);
    const std::vector<float> after = AllValues(*plugin);
    for (size_t i = 0; i < after.size(); ++i)
      if (after[i] != before[i] && !(std::isnan(after[i]) && std::isnan(before[i])))
        context.Fail("calls with parameter index " + std::to_string(index) + " changed parameter " +
                     std::to_string(i) + " from " + Number(before[i]) + " to " + Number(after[i]));
  }
}

const bool registered =
    Register(PluginFormat::Vst2, {"parameters.range", Range, {.strictness = 1}}) &&
    Register(PluginFormat::Vst2, {"parameters.hostile-values", HostileValues, {.strictness = 1}}) &&
    Register(PluginFormat::Vst2,
             {"parameters.automatable", Automatable, {.strictness = 1, .timeoutSeconds = 10}}) &&
    Register(PluginFormat::Vst2, {"parameters.round-trip", RoundTrip, {.strictness = 2}}) &&
    Register(PluginFormat::Vst2, {"parameters.hostile-texts", HostileTexts, {.strictness = 3}}) &&
    Register(PluginFormat::Vst2, {"parameters.bad-indexes", OutsideIndexes, {.strictness = 6}});

} // namespace

} // namespace zhost::validate
