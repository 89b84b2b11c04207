// The state through the host's streams: saved, restored into a new instance and saved again to
// the same bytes; programs keep their edits as in a VST 2.x host; every damaged stream refused
// with nothing changed.
#include "Vst3TestHost.h"
#include "abi/effect_helpers.h"

#include <cmath>
#include <cstring>

using namespace vst3test;

namespace {

constexpr ParamID kProgram = 1000;

void Edit(Effect& effect) {
  IEditController& c = *effect.controller;
  c.setParamNormalized(kProgram, 0.5); // "heavy rock"
  c.setParamNormalized(0, c.plainParamToNormalized(0, 123.25));
  c.setParamNormalized(kProgram, 1.0); // "encore"
  c.setParamNormalized(2, 0.375);
}

TEST(Vst3State, SavedRestoredAndSavedAgainGivesTheSameBytes) {
  Effect first;
  Edit(first);
  const std::vector<uint8_t> saved = first.ComponentState();
  ASSERT_FALSE(saved.empty());

  Effect second;
  ASSERT_EQ(kResultOk, second.SetComponentState(saved));
  auto stream = TRef<zhost::Vst3MemoryStream>::Adopt(new zhost::Vst3MemoryStream(saved));
  EXPECT_EQ(kResultOk, second.controller->setComponentState(stream.get()));
  EXPECT_EQ(saved, second.ComponentState());
  for (ParamID id : {0u, 1u, 2u, 3u, kProgram})
    EXPECT_EQ(first.controller->getParamNormalized(id), second.controller->getParamNormalized(id));

  auto controllerState = TRef<zhost::Vst3MemoryStream>::Adopt(new zhost::Vst3MemoryStream);
  ASSERT_EQ(kResultOk, first.controller->getState(controllerState.get()));
  controllerState->Rewind();
  EXPECT_EQ(kResultOk, second.controller->setState(controllerState.get()));
}

TEST(Vst3State, ProgramsKeepTheirEditsAsInAVst2Host) {
  const effecttest::PrivateSettings settings;
  const testhost::Library library(ZINTRAX_PLUGIN_PATH);
  testhost::Instance vst2(library);
  vst2.Dispatch(effSetProgram, 0, 1);
  char distance[] = "123.25";
  vst2.Dispatch(effString2Parameter, 0, 0, distance);
  vst2.Dispatch(effSetProgram, 0, 2);
  vst2.SetParameter(2, 0.375f);
  vst2.Dispatch(effSetProgram, 0, 1);

  Effect vst3;
  Edit(vst3);
  Effect restored;
  ASSERT_EQ(kResultOk, restored.SetComponentState(vst3.ComponentState()));
  for (Effect* effect : {&vst3, &restored}) {
    effect->controller->setParamNormalized(kProgram, 0.5);
    for (ParamID i = 0; i < 4; ++i)
      EXPECT_EQ(vst2.GetParameter(int32_t(i)), float(effect->controller->getParamNormalized(i)))
          << "parameter " << i;
  }
}

TEST(Vst3State, DamagedStreamsAreRefusedWithNothingChanged) {
  Effect source;
  Edit(source);
  const std::vector<uint8_t> good = source.ComponentState();
  Effect target;
  const std::vector<uint8_t> before = target.ComponentState();
  const auto refused = [&](const std::vector<uint8_t>& bytes, const char* what) {
    EXPECT_NE(kResultOk, target.SetComponentState(bytes)) << what;
    auto stream = TRef<zhost::Vst3MemoryStream>::Adopt(new zhost::Vst3MemoryStream(bytes));
    EXPECT_NE(kResultOk, target.controller->setComponentState(stream.get())) << what;
    EXPECT_EQ(before, target.ComponentState()) << what;
  };
  for (std::size_t length = 0; length < good.size(); ++length)
    refused(std::vector<uint8_t>(good.begin(), good.begin() + std::ptrdiff_t(length)), "short");
  const auto changed = [&](std::size_t at, uint32_t word) {
    std::vector<uint8_t> bytes = good;
    std::memcpy(&bytes[at], &word, 4);
    return bytes;
  };
  const float nan = std::nanf("");
  uint32_t nanWord;
  std::memcpy(&nanWord, &nan, 4);
  refused(changed(0, 0x78746E5B), "another magic");
  refused(changed(4, 0x74696465), "the controller's side");
  refused(changed(8, 2), "a later version");
  refused(changed(8, 0), "version 0");
  refused(changed(12, 5), "another parameter count");
  refused(changed(16, 4), "another program count");
  refused(changed(20, 3), "a program that does not exist");
  refused(changed(good.size() - 4, nanWord), "a value that is not a number");
  refused(std::vector<uint8_t>(1000, 0xFF), "noise");

  auto empty = TRef<zhost::Vst3MemoryStream>::Adopt(new zhost::Vst3MemoryStream);
  EXPECT_NE(kResultOk, target.controller->setState(empty.get()));
  auto component = TRef<zhost::Vst3MemoryStream>::Adopt(new zhost::Vst3MemoryStream(good));
  EXPECT_NE(kResultOk, target.controller->setState(component.get()));
  EXPECT_EQ(before, target.ComponentState());
}

} // namespace
