// The effect record and the dispatcher as a host sees them through the exported entry.
#include "abi/PluginHost.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace testhost;

namespace {
class Record : public ::testing::Test {
protected:
  void SetUp() override { Log().Clear(); }
  Library library;
};
} // namespace

TEST_F(Record, FieldsHoldTheModuleDescription) {
  Instance plugin(library);
  const AEffect* e = plugin.Effect();
  EXPECT_EQ(e->magic, FourCharCode('V', 's', 't', 'P'));
  EXPECT_EQ(e->numPrograms, 3);
  EXPECT_EQ(e->numParams, 4);
  EXPECT_EQ(e->numInputs, 2);
  EXPECT_EQ(e->numOutputs, 2);
  EXPECT_EQ(e->flags, 0x19);
  EXPECT_EQ(e->resvd1, 0);
  EXPECT_EQ(e->resvd2, 0);
  EXPECT_EQ(e->initialDelay, 0);
  EXPECT_EQ(e->realQualities, 0);
  EXPECT_EQ(e->offQualities, 0);
  EXPECT_EQ(e->ioRatio, 1.0f);
  EXPECT_EQ(e->uniqueID, FourCharCode('Z', 'n', 't', 'x'));
  EXPECT_EQ(e->version, 1);
  EXPECT_NE(e->object, nullptr);
  EXPECT_EQ(e->user, e->object);
  EXPECT_TRUE(e->dispatcher && e->process && e->processReplacing && e->setParameter &&
              e->getParameter);
  EXPECT_EQ(e->reservedEntry, nullptr);
  const char zeros[sizeof e->future] = {};
  EXPECT_EQ(std::memcmp(e->future, zeros, sizeof zeros), 0);
}

TEST_F(Record, BothEntriesBuildIndependentInstances) {
  EntryProc classic = library.Entry("main");
  EntryProc modern = library.Entry("VSTPluginMain");
  ASSERT_TRUE(classic && modern);
  AEffect* a = classic(HostCallback);
  AEffect* b = modern(HostCallback);
  ASSERT_TRUE(a && b);
  EXPECT_NE(a, b);
  EXPECT_NE(a->object, b->object);
  a->setParameter(a, 0, 0.0f);
  EXPECT_EQ(a->dispatcher(a, effClose, 0, 0, nullptr, 0.0f), 1);
  EXPECT_FLOAT_EQ(b->getParameter(b, 0), 1.0f) << "closing one instance left the other alone";
  char name[64] = {};
  b->dispatcher(b, effGetEffectName, 0, 0, name, 0.0f);
  EXPECT_STREQ(name, "Zintrax");
  EXPECT_EQ(b->dispatcher(b, effClose, 0, 0, nullptr, 0.0f), 1);
}

TEST_F(Record, MainMakesNoHostRequest) {
  Instance plugin(library);
  EXPECT_TRUE(Log().calls.empty()) << "no host request while the module is built";
}

TEST_F(Record, IdentityAndCapabilityAnswers) {
  Instance plugin(library);
  EXPECT_EQ(plugin.Dispatch(effIdentify), 0x4E764566);
  EXPECT_EQ(plugin.Dispatch(effGetVstVersion), 2300);
  EXPECT_EQ(plugin.Dispatch(effGetPlugCategory), 1);
  EXPECT_EQ(plugin.Dispatch(effGetVendorVersion), 1);
  EXPECT_EQ(plugin.Dispatch(effGetTailSize), 0);
  EXPECT_EQ(plugin.Dispatch(effKeysRequired), 1);
  EXPECT_EQ(plugin.Dispatch(effGetCurrentMidiProgram), -1);
  EXPECT_EQ(plugin.Dispatch(effGetNumProgramCategories), 1);
  EXPECT_EQ(plugin.Dispatch(effSetTotalSampleToProcess, 0, 4096), 4096);
  EXPECT_EQ(plugin.Text(effGetEffectName), "Zintrax");
  EXPECT_EQ(plugin.Text(effGetProductString), "Zintrax");
  EXPECT_EQ(plugin.Text(effGetVendorString), "MerrowlakeAudio");
  EXPECT_EQ(plugin.Dispatch(effConnectInput, 0, 1), 1);
  EXPECT_EQ(plugin.Dispatch(effConnectOutput, 0, 1), 1);
  EXPECT_EQ(plugin.Dispatch(effSetBlockSizeAndSampleRate, 0, 256, nullptr, 48000.0f), 1);
  EXPECT_EQ(plugin.Dispatch(effGetVu), 0);
  for (int32_t opcode = 77; opcode < 130; ++opcode)
    EXPECT_EQ(plugin.Dispatch(opcode, 1, 1, nullptr, 1.0f), 0) << opcode;
  EXPECT_EQ(plugin.Dispatch(-1), 0);
  EXPECT_EQ(plugin.Dispatch(INT32_MIN), 0);
}

TEST_F(Record, CanDoAnswersExactTextsOnly) {
  Instance plugin(library);
  const auto canDo = [&](const char* text) {
    return plugin.Dispatch(effCanDo, 0, 0, const_cast<char*>(text));
  };
  EXPECT_EQ(canDo("2in2out"), 1);
  EXPECT_EQ(canDo("plugAsChannelInsert"), 1);
  EXPECT_EQ(canDo("plugAsSend"), 1);
  EXPECT_EQ(canDo("mixDryWet"), 1);
  EXPECT_EQ(canDo("2In2Out"), 0);
  EXPECT_EQ(canDo("receiveVstEvents"), -1);
  EXPECT_EQ(canDo("bypass"), -1);
  EXPECT_EQ(canDo("LiveWithoutToolbar"), -1);
  EXPECT_EQ(canDo(""), 0);
  EXPECT_EQ(canDo("2in2out "), 0);
}

TEST_F(Record, PinPropertiesForEachPinAndNoneBeyond) {
  Instance plugin(library);
  VstPinProperties props{};
  ASSERT_EQ(plugin.Dispatch(effGetInputProperties, 0, 0, &props), 1);
  EXPECT_STREQ(props.label, "Input #1");
  EXPECT_STREQ(props.shortLabel, "In1");
  EXPECT_EQ(props.flags, 3);
  std::memset(&props, 0x33, sizeof props);
  ASSERT_EQ(plugin.Dispatch(effGetOutputProperties, 1, 0, &props), 1);
  EXPECT_STREQ(props.label, "Output #2");
  EXPECT_STREQ(props.shortLabel, "Out2");
  EXPECT_EQ(props.flags, 3);
  EXPECT_EQ(props.arrangementType, 0x33333333) << "the arrangement is not written";
  EXPECT_EQ(static_cast<unsigned char>(props.label[10]), 0x33) << "nothing beyond the label's end";
  std::memset(&props, 0x33, sizeof props);
  EXPECT_EQ(plugin.Dispatch(effGetInputProperties, 2, 0, &props), 0);
  EXPECT_EQ(plugin.Dispatch(effGetInputProperties, -1, 0, &props), 0);
  EXPECT_EQ(plugin.Dispatch(effGetOutputProperties, 2, 0, &props), 0);
  EXPECT_EQ(props.label[0], 0x33) << "nothing written for a pin that does not exist";
}

TEST_F(Record, BeginLoadComparesTheUniqueId) {
  Instance plugin(library);
  VstPatchChunkInfo info{};
  info.pluginUniqueID = FourCharCode('Z', 'n', 't', 'x');
  EXPECT_EQ(plugin.Dispatch(effBeginLoadBank, 0, 0, &info), 0);
  EXPECT_EQ(plugin.Dispatch(effBeginLoadProgram, 0, 0, &info), 0);
  info.pluginUniqueID = FourCharCode('O', 't', 'h', 'r');
  EXPECT_EQ(plugin.Dispatch(effBeginLoadBank, 0, 0, &info), -1);
  EXPECT_EQ(plugin.Dispatch(effBeginLoadProgram, 0, 0, &info), -1);
}

TEST_F(Record, EditorRectangleBeforeAnyEditor) {
  Instance plugin(library);
  ERect* rect = nullptr;
  EXPECT_EQ(plugin.Dispatch(effEditGetRect, 0, 0, &rect), 0);
  ASSERT_NE(rect, nullptr);
  EXPECT_EQ(rect->top, 0);
  EXPECT_EQ(rect->left, 0);
  EXPECT_EQ(rect->bottom, 0);
  EXPECT_EQ(rect->right, 0);
  EXPECT_EQ(plugin.Dispatch(effEditClose), 0);
  EXPECT_EQ(plugin.Dispatch(effEditClose), 0);
  EXPECT_EQ(plugin.Dispatch(effEditIdle), 0);
}

TEST_F(Record, SampleRateAnswersOneAndResumeAsksForMidi) {
  Instance plugin(library);
  EXPECT_EQ(plugin.Dispatch(effSetSampleRate, 0, 0, nullptr, 44100.0f), 1);
  EXPECT_EQ(plugin.Dispatch(effSetSampleRate, 0, 0, nullptr, 48000.0f), 1);
  plugin.Dispatch(effMainsChanged, 0, 1);
  const auto wantMidi = Log().Of(audioMasterWantMidi);
  ASSERT_EQ(wantMidi.size(), 1u);
  EXPECT_EQ(wantMidi[0].value, 1);
  EXPECT_EQ(wantMidi[0].effect, plugin.Effect());
}

TEST_F(Record, ProcessEventsAcceptsAnyEventList) {
  Instance plugin(library);
  VstMidiEvent midi{};
  midi.type = kVstMidiType;
  midi.byteSize = 24;
  VstEvents events{};
  events.numEvents = 2;
  events.events[0] = reinterpret_cast<VstEvent*>(&midi);
  events.events[1] = nullptr;
  EXPECT_EQ(plugin.Dispatch(effProcessEvents, 0, 0, &events), 1);
  events.numEvents = -5;
  EXPECT_EQ(plugin.Dispatch(effProcessEvents, 0, 0, &events), 1);
}
