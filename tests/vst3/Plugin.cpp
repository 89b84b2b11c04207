// The bundle as a host scans and instantiates it: the factory, the component's buses and
// lifecycle, the parameters with their scales and texts, and the program list.
#include "Vst3TestHost.h"
#include "formats/vst3/Texts.h"

#include <dlfcn.h>

#include <cmath>
#include <random>

using namespace vst3test;

namespace {

std::string Title(const ParameterInfo& info) {
  return ReadText16(info.title);
}

// The parameter that selects a program: the one after the module's four.
ParamID ProgramParameter(Effect& effect) {
  ParameterInfo info{};
  effect.controller->getParameterInfo(4, &info);
  return info.id;
}

// First in the file: no other test has entered the module yet.
TEST(Vst3Factory, EntryAndExitCallsPairUp) {
  void* handle = dlopen(zhost::Vst3Library::BinaryPath(ZINTRAX_VST3_BUNDLE).c_str(), RTLD_NOW);
  ASSERT_NE(nullptr, handle);
  auto* entry = reinterpret_cast<bool (*)(void*)>(dlsym(handle, "ModuleEntry"));
  auto* exit = reinterpret_cast<bool (*)()>(dlsym(handle, "ModuleExit"));
  auto* factory = reinterpret_cast<IPluginFactory* (*)()>(dlsym(handle, "GetPluginFactory"));
  ASSERT_TRUE(entry && exit && factory);
  EXPECT_TRUE(entry(handle));
  EXPECT_TRUE(entry(handle));
  IPluginFactory* first = factory();
  IPluginFactory* second = factory();
  EXPECT_EQ(first, second);
  first->release();
  second->release();
  EXPECT_TRUE(exit());
  EXPECT_TRUE(exit());
  EXPECT_FALSE(exit()) << "an exit without its entry";
  dlclose(handle);
}

TEST(Vst3Factory, DescribesOneStereoEffectOfTheVendor) {
  zhost::Vst3Library& library = Library();
  EXPECT_EQ("MerrowlakeAudio", library.Vendor());
  EXPECT_EQ(1, library.Factory()->countClasses());
  ASSERT_EQ(1u, library.Effects().size());
  const zhost::Vst3Class& effect = library.Effects()[0];
  EXPECT_EQ("Zintrax", effect.name);
  EXPECT_EQ("MerrowlakeAudio", effect.vendor);
  EXPECT_EQ(ZINTRAX_VERSION, effect.version);
  EXPECT_EQ("Fx|Distortion|Stereo", effect.subCategories);
  auto factory3 = Query<IPluginFactory3>(library.Factory());
  ASSERT_TRUE(factory3);
  PClassInfoW wide{};
  ASSERT_EQ(kResultOk, factory3->getClassInfoUnicode(0, &wide));
  EXPECT_EQ(u"Zintrax", std::u16string(wide.name));
  // A class it does not have, and an interface the effect does not offer, make nothing.
  void* obj = reinterpret_cast<void*>(1);
  const Uid other = MakeUid(1, 2, 3, 4);
  EXPECT_NE(kResultOk,
            library.Factory()->createInstance(IidOf(other), IidOf(IComponent::iid), &obj));
  EXPECT_EQ(nullptr, obj);
  EXPECT_NE(kResultOk,
            library.Factory()->createInstance(IidOf(effect.cid), IidOf(IPlugView::iid), &obj));
}

TEST(Vst3Component, OneStereoInputAndOutputNoEvents) {
  Effect effect;
  EXPECT_EQ(1, effect.component->getBusCount(kAudio, kInput));
  EXPECT_EQ(1, effect.component->getBusCount(kAudio, kOutput));
  EXPECT_EQ(0, effect.component->getBusCount(kEvent, kInput));
  EXPECT_EQ(0, effect.component->getBusCount(kEvent, kOutput));
  for (int32 dir : {kInput, kOutput}) {
    BusInfo bus{};
    ASSERT_EQ(kResultOk, effect.component->getBusInfo(kAudio, dir, 0, &bus));
    EXPECT_EQ(2, bus.channelCount);
    EXPECT_EQ(kMain, bus.busType);
    EXPECT_FALSE(ReadText16(bus.name).empty());
    SpeakerArrangement arrangement = 0;
    ASSERT_EQ(kResultOk, effect.processor->getBusArrangement(dir, 0, &arrangement));
    EXPECT_EQ(kSpeakerArrStereo, arrangement);
  }
  SpeakerArrangement stereo = kSpeakerArrStereo, mono = kSpeakerArrMono;
  EXPECT_EQ(kResultTrue, effect.processor->setBusArrangements(&stereo, 1, &stereo, 1));
  EXPECT_EQ(kResultFalse, effect.processor->setBusArrangements(&mono, 1, &mono, 1));
  EXPECT_EQ(kResultTrue, effect.processor->canProcessSampleSize(kSample32));
  EXPECT_EQ(kResultFalse, effect.processor->canProcessSampleSize(kSample64));
  EXPECT_EQ(0u, effect.processor->getLatencySamples());
}

TEST(Vst3Component, SecondInitializeAndTerminateAreHarmlessAndTerminateThenInitializeWorks) {
  Effect effect;
  ASSERT_EQ(kResultOk, effect.controller->setParamNormalized(0, 0.25));
  // The host initialises the same object through its other interface: nothing is reset.
  EXPECT_EQ(kResultOk, effect.controller->initialize(effect.context.get()));
  EXPECT_DOUBLE_EQ(0.25, effect.controller->getParamNormalized(0));
  for (int round = 0; round < 4; ++round) {
    EXPECT_EQ(kResultOk, effect.component->terminate());
    EXPECT_EQ(kResultOk, effect.controller->terminate());
    EXPECT_EQ(0, effect.controller->getParameterCount());
    EXPECT_EQ(kResultOk, effect.component->initialize(effect.context.get()));
    EXPECT_EQ(6, effect.controller->getParameterCount());
    ProcessSetup setup{kRealtime, kSample32, 256, 1234.5678 * (round + 1)};
    EXPECT_EQ(kResultOk, effect.processor->setupProcessing(&setup));
    EXPECT_EQ(kResultOk, effect.component->setActive(true));
    EXPECT_EQ(kResultOk, effect.component->setActive(false));
  }
}

TEST(Vst3Parameters, TheModulesParametersAProgramParameterAndTheBypass) {
  Effect effect;
  ASSERT_EQ(6, effect.controller->getParameterCount());
  const char* names[] = {"Distance", "Feeding", "X-Axis", "Y-Axis"};
  for (int32 i = 0; i < 4; ++i) {
    ParameterInfo info{};
    ASSERT_EQ(kResultOk, effect.controller->getParameterInfo(i, &info));
    EXPECT_EQ(ParamID(i), info.id) << "the VST 2.x index";
    EXPECT_EQ(names[i], Title(info));
    EXPECT_EQ(i == 0 ? "cm" : "", ReadText16(info.units));
    EXPECT_EQ(0, info.stepCount);
    EXPECT_EQ(kCanAutomate, info.flags);
    EXPECT_EQ(kRootUnitId, info.unitId);
  }
  ParameterInfo distance{};
  effect.controller->getParameterInfo(0, &distance);
  EXPECT_DOUBLE_EQ(1.0, distance.defaultNormalizedValue) << "750 cm, the first program's";
  ParameterInfo program{};
  ASSERT_EQ(kResultOk, effect.controller->getParameterInfo(4, &program));
  EXPECT_EQ(kIsProgramChange | kIsList, program.flags);
  EXPECT_EQ(2, program.stepCount);
  ParameterInfo bypass{};
  ASSERT_EQ(kResultOk, effect.controller->getParameterInfo(5, &bypass));
  EXPECT_EQ(kCanAutomate | kIsBypass, bypass.flags);
  EXPECT_EQ(1, bypass.stepCount);
  EXPECT_EQ("Bypass", Title(bypass));
}

TEST(Vst3Parameters, ScaleIsTheModulesMappingExactBothWays) {
  Effect effect;
  IEditController& c = *effect.controller;
  EXPECT_DOUBLE_EQ(50.0, c.normalizedParamToPlain(0, 0.0));
  EXPECT_DOUBLE_EQ(750.0, c.normalizedParamToPlain(0, 1.0));
  EXPECT_DOUBLE_EQ(400.0, c.normalizedParamToPlain(0, 0.5));
  EXPECT_DOUBLE_EQ(0.5, c.plainParamToNormalized(0, 400.0));
  std::mt19937 random(7);
  std::uniform_real_distribution<float> any(0.0f, 1.0f);
  const float low[] = {50, 1, 0, 0}, high[] = {750, 5, 1, 1};
  for (int n = 0; n < 2000; ++n) {
    const int32 i = n % 4;
    const float plain = low[i] + (high[i] - low[i]) * any(random);
    const double normalized = c.plainParamToNormalized(ParamID(i), plain);
    ASSERT_EQ(plain, float(c.normalizedParamToPlain(ParamID(i), normalized))) << i << " " << plain;
    ASSERT_EQ(kResultOk, c.setParamNormalized(ParamID(i), normalized));
    ASSERT_EQ(normalized, c.getParamNormalized(ParamID(i)));
  }
}

TEST(Vst3Parameters, TextsAreTheModulesAndTextEntryItsParsing) {
  Effect effect;
  String128 text{};
  ASSERT_EQ(kResultOk, effect.controller->getParamStringByValue(0, 0.5, text));
  EXPECT_EQ("400", ReadText16(text));
  ASSERT_EQ(kResultOk, effect.controller->getParamStringByValue(2, 0.1f, text));
  EXPECT_EQ("0.100000001490116", ReadText16(text));
  std::u16string typed = u" 400 ";
  ParamValue value = -1;
  ASSERT_EQ(kResultOk, effect.controller->getParamValueByString(0, typed.data(), &value));
  EXPECT_DOUBLE_EQ(0.5, value);
  typed = u"abc";
  EXPECT_EQ(kResultFalse, effect.controller->getParamValueByString(0, typed.data(), &value));
  ASSERT_EQ(kResultOk,
            effect.controller->getParamStringByValue(ProgramParameter(effect), 1.0, text));
  EXPECT_EQ("encore", ReadText16(text));
}

TEST(Vst3Programs, ListedWithTheModulesNamesAndSelectedThroughTheirParameter) {
  Effect effect;
  auto units = Query<IUnitInfo>(effect.component.get());
  ASSERT_TRUE(units);
  ProgramListInfo list{};
  ASSERT_EQ(kResultOk, units->getProgramListInfo(0, &list));
  EXPECT_EQ(3, list.programCount);
  const char* names[] = {"on stage", "heavy rock", "encore"};
  for (int32 p = 0; p < 3; ++p) {
    String128 name{};
    ASSERT_EQ(kResultOk, units->getProgramName(list.id, p, name));
    EXPECT_EQ(names[p], ReadText16(name));
  }
  int restarts = 0;
  effect.handler->onRestart = [&](int32 flags) { restarts += (flags & kParamValuesChanged) != 0; };
  ASSERT_EQ(kResultOk, effect.controller->setParamNormalized(ProgramParameter(effect), 0.5));
  EXPECT_EQ(1, restarts);
  // "heavy rock": 750 cm, feeding 2.5, pad at 0.7, 0.9.
  EXPECT_FLOAT_EQ(750.0f, float(effect.controller->normalizedParamToPlain(
                              0, effect.controller->getParamNormalized(0))));
  EXPECT_FLOAT_EQ(2.5f, float(effect.controller->normalizedParamToPlain(
                            1, effect.controller->getParamNormalized(1))));
  EXPECT_FLOAT_EQ(0.7f, float(effect.controller->getParamNormalized(2)));
  EXPECT_FLOAT_EQ(0.9f, float(effect.controller->getParamNormalized(3)));
  EXPECT_DOUBLE_EQ(0.5, effect.controller->getParamNormalized(ProgramParameter(effect)));
}

} // namespace
