// parameters, texts and programs of a VST3 plug-in: what the controller says of each parameter,
// its scale both ways, hostile values, its texts in guarded fields and back, the program list
// with its parameter, and the state saved, restored and damaged.
#include "checks/HostileValues.h"
#include "core/Validation.h"
#include "formats/vst3/Texts.h"
#include "vst3/Vst3Subject.h"

#include <algorithm>
#include <cmath>
#include <set>
#include <string>
#include <vector>

namespace zhost::validate {

namespace {

using namespace vst3;

std::vector<ParameterInfo> Parameters(Context& context, IEditController& controller) {
  std::vector<ParameterInfo> found;
  const int32 count = controller.getParameterCount();
  if (count < 0 || count > 100000)
    context.Abort("getParameterCount answered " + std::to_string(count));
  for (int32 i = 0; i < count; ++i) {
    ParameterInfo info{};
    context.Step("getParameterInfo(%d)", i);
    if (controller.getParameterInfo(i, &info) != kResultOk)
      context.Fail("getParameterInfo(" + std::to_string(i) + ") failed");
    else
      found.push_back(info);
  }
  return found;
}

std::string Name(const ParameterInfo& info) {
  return "parameter " + std::to_string(info.id) + " " + Printable(ReadText16(info.title));
}

void Info(Context& context) {
  const Vst3Subject subject(context.Location());
  IEditController& controller = *subject.plugin->controller;
  std::set<ParamID> ids;
  int bypasses = 0;
  for (const ParameterInfo& info : Parameters(context, controller)) {
    if (!ids.insert(info.id).second)
      context.Fail(Name(info) + ": its id is not unique");
    if (info.id > 0x7FFFFFFF)
      context.Fail(Name(info) + ": its id lies in the range hosts keep for themselves");
    if (ReadText16(info.title).empty())
      context.Fail(Name(info) + ": no title");
    if (info.stepCount < 0)
      context.Fail(Name(info) + ": step count " + std::to_string(info.stepCount));
    if (!(info.defaultNormalizedValue >= 0.0 && info.defaultNormalizedValue <= 1.0))
      context.Fail(Name(info) + ": default " + std::to_string(info.defaultNormalizedValue));
    if ((info.flags & kCanAutomate) && (info.flags & kIsReadOnly))
      context.Fail(Name(info) + ": automatable and read-only");
    if ((info.flags & kIsProgramChange) && (info.flags & kIsReadOnly))
      context.Fail(Name(info) + ": a read-only program change");
    if (info.flags & kIsBypass)
      ++bypasses;
    if (info.unitId < kNoParentUnitId)
      context.Fail(Name(info) + ": unit " + std::to_string(info.unitId));
  }
  if (bypasses > 1)
    context.Fail(std::to_string(bypasses) + " bypass parameters");
  context.Step("getParameterInfo outside the parameters");
  ParameterInfo outside{};
  if (controller.getParameterInfo(-1, &outside) == kResultOk ||
      controller.getParameterInfo(controller.getParameterCount(), &outside) == kResultOk)
    context.Fail("getParameterInfo answered an index outside the parameters");
}

// The scale both ways: plain values back to the same normalised values, values set read back.
void Scale(Context& context) {
  const Vst3Subject subject(context.Location());
  IEditController& controller = *subject.plugin->controller;
  for (const ParameterInfo& info : Parameters(context, controller)) {
    if (info.flags & kIsReadOnly)
      continue;
    for (int n = 0; n < 50; ++n) {
      double value = n == 0 ? 0.0 : n == 1 ? 1.0 : context.Uniform(0.0, 1.0);
      if (info.stepCount > 0)
        value = std::round(value * info.stepCount) / info.stepCount;
      context.Step("%s at %.17g", Name(info).c_str(), value);
      const double plain = controller.normalizedParamToPlain(info.id, value);
      const double back = controller.plainParamToNormalized(info.id, plain);
      if (!std::isfinite(plain) || !(std::fabs(back - value) <= 1e-6)) {
        context.Fail(Name(info) + ": " + std::to_string(value) + " is " + std::to_string(plain) +
                     " in its own units, which maps back to " + std::to_string(back));
        break;
      }
      controller.setParamNormalized(info.id, value);
      const double read = controller.getParamNormalized(info.id);
      if (!(std::fabs(read - value) <= 1e-6)) {
        context.Fail(Name(info) + ": set to " + std::to_string(value) + ", read back as " +
                     std::to_string(read));
        break;
      }
    }
  }
}

void Hostile(Context& context) {
  const Vst3Subject subject(context.Location());
  IEditController& controller = *subject.plugin->controller;
  const std::vector<ParameterInfo> parameters = Parameters(context, controller);
  for (const ParameterInfo& info : parameters)
    for (const HostileValue& value : kHostileValues) {
      const double hostile = value.value;
      context.Step("setParamNormalized(%u, %s)", info.id, value.name);
      controller.setParamNormalized(info.id, hostile);
      const double read = controller.getParamNormalized(info.id);
      if (!(read >= 0.0 && read <= 1.0)) {
        context.Fail(Name(info) + ": after setParamNormalized(" + value.name + ") it reads " +
                     std::to_string(read));
        break;
      }
      String128 text{};
      controller.getParamStringByValue(info.id, hostile, text);
      controller.normalizedParamToPlain(info.id, hostile);
      controller.plainParamToNormalized(info.id, hostile);
    }
  ParamID unknown = 0x7FFFFFF0;
  while (std::any_of(parameters.begin(), parameters.end(),
                     [&](const ParameterInfo& info) { return info.id == unknown; }))
    ++unknown;
  context.Step("setParamNormalized of an id no parameter has");
  if (controller.setParamNormalized(unknown, 0.5) == kResultOk)
    context.Fail("setParamNormalized took an id no parameter has");
}

// Texts written into a field with guard units after its 128, read back through the text entry.
void Strings(Context& context) {
  const Vst3Subject subject(context.Location());
  IEditController& controller = *subject.plugin->controller;
  constexpr char16 kGuard = 0x5A5A;
  for (const ParameterInfo& info : Parameters(context, controller))
    for (int n = 0; n < 10; ++n) {
      const double value = n == 0 ? 0.0 : n == 1 ? 1.0 : context.Uniform(0.0, 1.0);
      std::vector<char16> field(128 + 64, kGuard);
      context.Step("getParamStringByValue(%u, %.17g)", info.id, value);
      if (controller.getParamStringByValue(info.id, value, field.data()) != kResultOk)
        continue;
      const bool ended = std::find(field.begin(), field.begin() + 128, 0) != field.begin() + 128;
      if (!ended || std::any_of(field.begin() + 128, field.end(),
                                [](char16 unit) { return unit != kGuard; })) {
        context.Fail(Name(info) + ": its text for " + std::to_string(value) +
                     " is not ended inside its 128 units");
        break;
      }
      ParamValue parsed = -1.0;
      context.Step("getParamValueByString(%u, its own text)", info.id);
      if (controller.getParamValueByString(info.id, field.data(), &parsed) != kResultOk)
        continue; // a plug-in may show texts it does not take back
      String128 again{};
      controller.getParamStringByValue(info.id, parsed, again);
      if (ReadText16(again) != ReadText16(field.data())) {
        context.Fail(Name(info) + ": its text " + Printable(ReadText16(field.data())) +
                     " reads back as " + Printable(ReadText16(again)));
        break;
      }
    }
}

// The program-change parameter and the program list it stands for.
void Programs(Context& context) {
  const Vst3Subject subject(context.Location());
  IEditController& controller = *subject.plugin->controller;
  const std::vector<ParameterInfo> parameters = Parameters(context, controller);
  const auto program = std::find_if(parameters.begin(), parameters.end(), [](const auto& info) {
    return (info.flags & kIsProgramChange) != 0;
  });
  if (program == parameters.end())
    context.Skip("the plug-in has no program-change parameter");
  auto units = Query<IUnitInfo>(&controller);
  if (!units)
    context.Abort("a program-change parameter without IUnitInfo to list the programs");
  ProgramListInfo list{};
  bool listed = false;
  for (int32 i = 0; i < units->getProgramListCount() && !listed; ++i)
    listed = units->getProgramListInfo(i, &list) == kResultOk &&
             list.programCount == program->stepCount + 1;
  if (!listed)
    context.Abort("no program list of " + std::to_string(program->stepCount + 1) +
                  " programs, as the program-change parameter's steps say");
  for (int32 p = 0; p < list.programCount; ++p) {
    String128 name{};
    context.Step("program %d: its name, then selected through its parameter", p);
    if (units->getProgramName(list.id, p, name) != kResultOk || ReadText16(name).empty())
      context.Fail("program " + std::to_string(p) + " has no name");
    const double value = program->stepCount > 0 ? double(p) / program->stepCount : 0.0;
    controller.setParamNormalized(program->id, value);
    if (std::fabs(controller.getParamNormalized(program->id) - value) > 1e-9)
      context.Fail("program " + std::to_string(p) + " selected through its parameter reads " +
                   std::to_string(controller.getParamNormalized(program->id)));
  }
}

// The state saved, restored in a new instance and saved again; short streams refused or harmless.
void State(Context& context) {
  const Vst3Subject subject(context.Location());
  Vst3Effect& plugin = *subject.plugin;
  for (const ParameterInfo& info : Parameters(context, *plugin.controller))
    if (!(info.flags & (kIsReadOnly | kIsProgramChange)))
      plugin.controller->setParamNormalized(info.id, context.Uniform(0.0, 1.0));
  context.Step("getState, then setState into a new instance and getState again");
  const std::vector<uint8_t> saved = plugin.ComponentState();
  auto other = subject.Another();
  if (other->SetComponentState(saved) != kResultOk)
    context.Fail("setState refused what getState wrote");
  else if (other->ComponentState() != saved)
    context.Fail("the state restored does not save to the same bytes");
  auto controllerState = TRef<Vst3MemoryStream>::Adopt(new Vst3MemoryStream);
  if (plugin.controller->getState(controllerState.get()) == kResultOk) {
    controllerState->Rewind();
    context.Step("the controller's state into the new instance");
    other->controller->setState(controllerState.get());
  }
  const std::vector<uint8_t> before = other->ComponentState();
  const std::size_t step =
      context.Strictness() >= 8 ? 1 : std::max<std::size_t>(1, saved.size() / 16);
  for (std::size_t length = 0; length < saved.size(); length += step) {
    context.Step("setState with the first %zu of %zu bytes", length, saved.size());
    const std::vector<uint8_t> cut(saved.begin(), saved.begin() + std::ptrdiff_t(length));
    if (other->SetComponentState(cut) != kResultOk)
      if (other->ComponentState() != before) {
        context.Fail("setState refused " + std::to_string(length) + " of " +
                     std::to_string(saved.size()) + " bytes, yet changed the state");
        break;
      }
  }
}

const bool registered =
    Register(PluginFormat::Vst3, {"parameters.info", Info, {.strictness = 1}}) &&
    Register(PluginFormat::Vst3, {"parameters.scale", Scale, {.strictness = 1}}) &&
    Register(PluginFormat::Vst3, {"parameters.hostile-values", Hostile, {.strictness = 2}}) &&
    Register(PluginFormat::Vst3, {"texts.strings", Strings, {.strictness = 1}}) &&
    Register(PluginFormat::Vst3, {"programs.list", Programs, {.strictness = 1}}) &&
    Register(PluginFormat::Vst3, {"programs.state", State, {.strictness = 1}});

} // namespace

} // namespace zhost::validate
