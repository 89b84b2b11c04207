// Building and destroying modules, the dispatcher levels, parameter values, programs, the
// editor seam and the host requests, seen from inside the module.
#include "TestModule.h"

#include "framework/DModuleOwner.h"
#include "platform/MessageBox.h"

#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <cstring>

using namespace fwtest;

TEST(Building, OrderOfTheLoadingSteps) {
  std::vector<std::string> steps;
  Built built([&](TTestModule& m) {
    StandardDescription(m);
    m.OnCreate = [&](TObject*) { steps.push_back("create"); };
    m.OnInitialize = [&](TObject* sender) {
      steps.push_back("initialize");
      auto& module = dynamic_cast<TTestModule&>(*sender);
      module.Programs()[0].SetParameter(0, 7.0f);
      module.Programs()[0].SetParameter(1, 150.0f);
    };
    m.Programs()[1].OnInitialize = [&](TObject* sender) {
      EXPECT_EQ(sender, &m.Programs()[1]);
      steps.push_back("program 1");
    };
    m.OnParameterChange = [&](TObject*, int32_t index, float value) {
      steps.push_back("change " + std::to_string(index) + "=" + std::to_string(int(value)));
    };
    m.OnProgramChange = [&](TObject*) { steps.push_back("program change"); };
  });
  ASSERT_NE(built.Effect(), nullptr);
  EXPECT_EQ(steps, (std::vector<std::string>{"initialize", "program 1", "change 0=7",
                                             "change 1=150", "program change", "create"}));
  EXPECT_EQ(built.Module().GetParameterValue(1), 150.0f);
  EXPECT_EQ(built.Effect()->user, built.Effect()->object);
  EXPECT_TRUE(Requests().empty()) << "the host is not asked anything while the module is built";
}

TEST(Building, AFailedBuildAnswersNullAndLeavesNothing) {
  const std::size_t before = LiveModuleCount();
  bool destroyed = false;
  Built built([&](TTestModule& m) {
    m.OnDestroy = [&](TObject*) { destroyed = true; };
    m.OnInitialize = [](TObject*) { throw EVstModuleError("Index >= numParams!"); };
  });
  EXPECT_EQ(built.Effect(), nullptr);
  EXPECT_EQ(LiveModuleCount(), before);
  EXPECT_TRUE(destroyed);
  Built failingCreate(
      [](TTestModule& m) { m.OnCreate = [](TObject*) { throw std::runtime_error("no"); }; });
  EXPECT_EQ(failingCreate.Effect(), nullptr);
  EXPECT_EQ(LiveModuleCount(), before);
}

TEST(Building, OldCreateOrderRaisesOnCreateBeforeLoadingEnds) {
  std::vector<std::string> steps;
  Built built([&](TTestModule& m) {
    m.OldCreateOrder = true;
    m.OnCreate = [&](TObject*) { steps.push_back("create"); };
    m.OnInitialize = [&](TObject*) { steps.push_back("initialize"); };
  });
  EXPECT_EQ(steps, (std::vector<std::string>{"create", "initialize"}));
}

TEST(Building, CloseAnswersOneAndDestroysTheModule) {
  const std::size_t before = LiveModuleCount();
  bool closed = false, destroyed = false;
  Built built([&](TTestModule& m) {
    m.OnClose = [&](TObject*) { closed = true; };
    m.OnDestroy = [&](TObject*) { destroyed = true; };
  });
  EXPECT_EQ(LiveModuleCount(), before + 1);
  EXPECT_EQ(built.Close(), 1);
  EXPECT_TRUE(closed && destroyed);
  EXPECT_EQ(LiveModuleCount(), before);
}

TEST(Building, CloseWhoseHandlerThrowsStillDestroys) {
  const std::size_t before = LiveModuleCount();
  Built built([](TTestModule& m) { m.OnClose = [](TObject*) { throw std::runtime_error("x"); }; });
  EXPECT_EQ(built.Close(), 1);
  EXPECT_EQ(LiveModuleCount(), before);
}

TEST(Identity, UniqueIdAndFlags) {
  Built built;
  TTestModule& m = built.Module();
  EXPECT_EQ(m.UniqueID(), "NoEf");
  m.SetUniqueID("Zntx-extra");
  EXPECT_EQ(m.UniqueID(), "Zntx");
  EXPECT_EQ(built.Effect()->uniqueID, 0x5A6E7478);
  m.SetUniqueID("ab");
  EXPECT_EQ(m.UniqueID(), "Zntx") << "a shorter text is refused";
  m.SetFlags({pfHasEditor, pfFlagsCanMono, pfFlagsCanReplacing});
  EXPECT_EQ(built.Effect()->flags, 0x19);
  m.SetFlags({pfFlagsIsSynth, pfFlagsExtHasBuffer});
  EXPECT_EQ(built.Effect()->flags, 0x900);
  built.Effect()->flags = 0x40;
  EXPECT_TRUE(m.Flags().Empty());
  built.Effect()->flags = 0x80 | 0x20;
  EXPECT_EQ(m.Flags(), TVst2PluginFlags{pfFlagsProgramChunks});
  m.SetIORatio(3);
  EXPECT_EQ(built.Effect()->ioRatio, 3.0f);
}

TEST(Dispatcher, OnDispatcherSeesEveryCallOnce) {
  std::vector<int32_t> seen; // outlives the module, which sees its effClose too
  Built built;
  built.Module().OnDispatcher = [&](TObject*, int32_t opcode) { seen.push_back(opcode); };
  std::vector<int32_t> sent;
  for (int32_t opcode = -2; opcode < 90; ++opcode) {
    if (opcode == effClose)
      continue;
    char buffer[256] = {};
    built.Dispatch(opcode, 0, 0,
                   opcode == effEditGetRect || opcode == effGetChunk ? nullptr : buffer);
    sent.push_back(opcode);
  }
  EXPECT_EQ(seen, sent);
  built.Close();
  EXPECT_EQ(seen.back(), effClose);
}

TEST(Dispatcher, VuLevelIsRoundedToEven) {
  Built built;
  float level = 0.5f;
  built.Module().OnGetVU = [&](float& vu) { vu = level; };
  EXPECT_EQ(built.Dispatch(effGetVu), 16384);
  level = 1.0f;
  EXPECT_EQ(built.Dispatch(effGetVu), 32767);
  fesetround(FE_TOWARDZERO); // a host's rounding mode does not change the answer
  level = 0.5f;
  EXPECT_EQ(built.Dispatch(effGetVu), 16384);
  fesetround(FE_TONEAREST);
  level = NAN;
  EXPECT_EQ(built.Dispatch(effGetVu), 0);
  level = 1e30f;
  EXPECT_EQ(built.Dispatch(effGetVu), 0);
}

TEST(Dispatcher, AnExceptionAnswersZeroAndTheModuleGoesOn) {
  Built built;
  bool fail = true;
  built.Module().OnOpen = [&](TObject*) {
    if (fail)
      throw std::runtime_error("open failed");
  };
  built.Module().OnParameterChange = [&](TObject*, int32_t, float) {
    if (fail)
      throw std::runtime_error("change failed");
  };
  EXPECT_EQ(built.Dispatch(effOpen), 0);
  built.Effect()->setParameter(built.Effect(), 0, 0.5f);
  EXPECT_EQ(built.Module().GetParameterValue(0), 5.0f) << "stored before the handler threw";
  fail = false;
  built.Effect()->setParameter(built.Effect(), 0, 0.25f);
  EXPECT_EQ(built.Module().GetParameterValue(0), 2.5f) << "the busy flag was released";
  EXPECT_EQ(built.Dispatch(effGetVstVersion), 2300);
}

TEST(Dispatcher, EventAnswersOfTheSecondLevel) {
  Built built;
  TTestModule& m = built.Module();
  EXPECT_EQ(built.Dispatch(effSetBypass, 0, 1), 0);
  bool bypassed = false;
  m.OnSoftBypass = [&](TObject*, bool on) { bypassed = on; };
  EXPECT_EQ(built.Dispatch(effSetBypass, 0, 1), 1);
  EXPECT_TRUE(bypassed);
  VstKeyCode key{};
  m.OnEditorKeyDown = [&](TObject*, VstKeyCode& k) { key = k; };
  EXPECT_EQ(built.Dispatch(effEditKeyDown, 'a', 0x1F3, nullptr, 2.6f), 1);
  EXPECT_EQ(key.character, 'a');
  EXPECT_EQ(key.virt, 0xF3);
  EXPECT_EQ(key.modifier, 3);
  EXPECT_EQ(built.Dispatch(effEditKeyUp, 'a'), 0);
  m.OnVendorSpecific = [](TObject*, int32_t a, VstIntPtr b, void*, float) -> VstIntPtr {
    return a + b;
  };
  EXPECT_EQ(built.Dispatch(effVendorSpecific, 40, 2), 42);
  std::vector<int> notes;
  m.OnProcessMidi = [&](TObject*, VstMidiEvent e) { notes.push_back(e.midiData[1]); };
  VstMidiEvent midi[3]{};
  VstEvent other{};
  other.type = 6;
  struct {
    int32_t numEvents;
    VstIntPtr reserved;
    VstEvent* events[4];
  } list{4, 0, {}};
  for (int i = 0; i < 3; ++i) {
    midi[i].type = kVstMidiType;
    midi[i].midiData[1] = static_cast<char>(60 + i);
    list.events[i] = reinterpret_cast<VstEvent*>(&midi[i]);
  }
  list.events[3] = &other;
  EXPECT_EQ(built.Dispatch(effProcessEvents, 0, 0, &list), 1);
  EXPECT_EQ(notes, (std::vector<int>{60, 61, 62}));
  int32_t canDoRaised = 0;
  m.OnCanDo = [&](TObject*, const std::string&) { return ++canDoRaised, 1; };
  char text[] = "bypass";
  EXPECT_EQ(built.Dispatch(effCanDo, 0, 0, text), -1) << "the handler's result is not used";
  EXPECT_EQ(canDoRaised, 1);
}

TEST(Parameters, NestedSetsAreDropped) {
  Built built;
  TTestModule& m = built.Module();
  int changes = 0;
  m.OnParameterChange = [&](TObject*, int32_t, float) {
    ++changes;
    m.SetParameterValue(1, 123.0f);
  };
  m.SetParameterValue(0, 4.0f);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(m.GetParameterValue(1), 0.0f);
  EXPECT_TRUE(m.EditorNeedsUpdate());
}

TEST(Parameters, OverwriteProgramsAndProgramChunksFlag) {
  Built built;
  TTestModule& m = built.Module();
  built.Effect()->setParameter(built.Effect(), 0, 0.3f);
  EXPECT_FLOAT_EQ(m.Programs()[0].Parameter(0), 3.0f);
  m.OverwritePrograms = false;
  built.Effect()->setParameter(built.Effect(), 0, 0.9f);
  EXPECT_FLOAT_EQ(m.Programs()[0].Parameter(0), 3.0f);
  EXPECT_FLOAT_EQ(m.GetParameterValue(0), 9.0f);
  m.SetFlags({pfFlagsProgramChunks});
  int changes = 0;
  m.OnParameterChange = [&](TObject*, int32_t, float) { ++changes; };
  m.SetParameterValue(0, 1.0f);
  EXPECT_FLOAT_EQ(m.GetParameterValue(0), 9.0f) << "with program chunks nothing is stored";
  EXPECT_EQ(changes, 1);
}

TEST(Parameters, ProgramValueAccessIsChecked) {
  Built built;
  TCustomVstProgram& program = built.Module().Programs()[0];
  EXPECT_THROW(program.SetParameter(2, 1.0f), EVstModuleError);
  EXPECT_THROW(program.Parameter(-1), EVstModuleError);
  try {
    program.Parameter(5);
  } catch (const EVstModuleError& e) {
    EXPECT_STREQ(e.what(), "Index >= numParams!");
  }
  EXPECT_THROW(built.Module().Programs()[2], EVstModuleError);
}

TEST(Parameters, CustomTextsAndAutomationFlag) {
  Built built;
  TTestModule& m = built.Module();
  m.ParameterProperties()[1].CanBeAutomated = false;
  m.ParameterProperties()[1].OnCustomParameterDisplay = [](TObject*, std::string& text) {
    text = "custom " + text;
  };
  m.ParameterProperties()[1].OnCustomParameterLabel = [](TObject*, std::string& text) {
    text += "!";
  };
  Requests().clear();
  m.SetParameterValue(1, 150.0f);
  EXPECT_TRUE(RequestsOf(audioMasterAutomate).empty());
  EXPECT_EQ(built.Dispatch(effCanBeAutomated, 1), 0);
  EXPECT_EQ(m.ParamDisplay(1), "custom 150");
  EXPECT_EQ(m.ParamLabel(1), "!");
  EXPECT_EQ(m.ParamLabel(0), "dB");
}

TEST(Parameters, DescriptionsAddedAndRemovedResizeTheValues) {
  Built built;
  TTestModule& m = built.Module();
  m.ParameterProperties().Add();
  EXPECT_EQ(built.Effect()->numParams, 3);
  EXPECT_EQ(m.Programs()[1].ParameterCount(), 3);
  EXPECT_EQ(m.ParameterProperties()[2].DisplayName(), "Parameter 3");
  TCustomVstParameterProperties copy(nullptr);
  copy.Add().SetDisplayName("only");
  m.SetParameterProperties(copy);
  EXPECT_EQ(built.Effect()->numParams, 1);
  EXPECT_EQ(m.ParamName(0), "only");
  EXPECT_EQ(m.ParamName(1), "undefined");
  m.SetParameterValue(1, 3.0f);
  EXPECT_EQ(m.GetParameterValue(1), 0.0f);
}

TEST(Programs, SelectionNamesAndCopies) {
  Built built;
  TTestModule& m = built.Module();
  int programChanges = 0;
  m.OnProgramChange = [&](TObject*) { ++programChanges; };
  built.Dispatch(effSetProgram, 0, 0);
  EXPECT_EQ(programChanges, 0) << "selecting the current program through the host does nothing";
  m.SetCurrentProgram(0);
  EXPECT_EQ(programChanges, 1) << "the property setter runs even for the current program";
  const std::string sixty(60, 'q');
  built.Dispatch(effSetProgramName, 0, 0, const_cast<char*>(sixty.c_str()));
  EXPECT_EQ(m.CurrentProgramName(), std::string(50, 'q'));
  TCustomVstPrograms copy(nullptr);
  copy.Add().SetDisplayName("copied");
  m.SetPrograms(copy);
  EXPECT_EQ(built.Effect()->numPrograms, 1);
  EXPECT_EQ(m.Programs()[0].DisplayName(), "copied");
}

TEST(Programs, BankChunksShowAMessage) {
  std::vector<std::string> messages;
  TMessageBoxHandler previous = SetMessageBoxHandler(
      [&](const std::string&, const std::string& text) { messages.push_back(text); });
  Built built;
  void* data = nullptr;
  char bytes[4] = {};
  EXPECT_EQ(built.Dispatch(effGetChunk, 0, 0, &data), 0);
  EXPECT_EQ(built.Dispatch(effSetChunk, 0, 4, bytes), 0);
  EXPECT_EQ(messages, (std::vector<std::string>{"ToDo", "ToDo"}));
  SetMessageBoxHandler(previous);
}

namespace {
struct FakeForm : TCustomEditorForm {
  explicit FakeForm(int* alive) : alive(alive) { ++*alive; }
  ~FakeForm() override { --*alive; }
  bool Embed(void* parent, VstIntPtr data) override {
    embeddedIn = parent;
    hostData = data;
    return parent != reinterpret_cast<void*>(0xdead);
  }
  int ClientWidth() const override { return 298; }
  int ClientHeight() const override { return 223; }
  void Invalidate() override { ++repaints; }
  void ProcessMessages() override { ++pumps; }
  void Update() override {}
  int* alive;
  int pumps = 0;
  void* embeddedIn = nullptr;
  VstIntPtr hostData = 0;
  int repaints = 0;
};
} // namespace

TEST(Programs, AModuleWithoutProgramsAnswersHarmlessly) {
  int changes = 0;
  Built built([&](TTestModule& m) {
    m.ParameterProperties().Add();
    m.OnParameterChange = [&](TObject*, int32_t, float) { ++changes; };
  });
  TTestModule& m = built.Module();
  EXPECT_EQ(changes, 0) << "no program 0 to select at the end of loading";
  EXPECT_EQ(built.Effect()->numPrograms, 0);
  char text[32] = "stale";
  EXPECT_EQ(built.Dispatch(effGetProgramName, 0, 0, text), 0);
  EXPECT_STREQ(text, "");
  char name[] = "named";
  EXPECT_EQ(built.Dispatch(effSetProgramName, 0, 0, name), 0);
  EXPECT_EQ(m.CurrentProgramName(), "");
  std::strcpy(text, "kept");
  EXPECT_EQ(built.Dispatch(effGetProgramNameIndexed, 0, 0, text), 0);
  EXPECT_STREQ(text, "kept");
  EXPECT_EQ(built.Dispatch(effSetProgram, 0, 0), 0);
  EXPECT_EQ(built.Dispatch(effGetProgram), 0);
  char bytes[3] = {1, 2, 3};
  EXPECT_EQ(built.Dispatch(effSetChunk, 1, 3, bytes), 0);
  EXPECT_EQ(changes, 0);
}

TEST(Programs, OnlyTheNameSetterAsksForARepaint) {
  Built built;
  TTestModule& m = built.Module();
  m.SetFlags({pfHasEditor});
  int alive = 0;
  m.OnEditOpen = [&](TObject*, std::unique_ptr<TCustomEditorForm>& gui) {
    gui = std::make_unique<FakeForm>(&alive);
  };
  ASSERT_EQ(built.Dispatch(effEditOpen), 1);
  built.Dispatch(effEditIdle);
  ASSERT_FALSE(m.EditorNeedsUpdate());
  char name[] = "renamed";
  built.Dispatch(effSetProgramName, 0, 0, name);
  EXPECT_FALSE(m.EditorNeedsUpdate()) << "a host rename does not repaint";
  m.SetCurrentProgramName("again");
  EXPECT_TRUE(m.EditorNeedsUpdate());
  built.Dispatch(effEditIdle);
  char bytes[2] = {};
  built.Dispatch(effSetChunk, 1, 2, bytes);
  EXPECT_TRUE(m.EditorNeedsUpdate()) << "a program chunk asks for a repaint";
}

TEST(Editor, OpenIdleAndClose) {
  Built built;
  TTestModule& m = built.Module();
  int alive = 0;
  FakeForm* form = nullptr;
  m.OnEditOpen = [&](TObject*, std::unique_ptr<TCustomEditorForm>& gui) {
    auto created = std::make_unique<FakeForm>(&alive);
    form = created.get();
    gui = std::move(created);
  };
  EXPECT_EQ(built.Dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(0x1234)), 0)
      << "no editor without the editor flag";
  EXPECT_EQ(alive, 0);
  m.SetFlags({pfHasEditor});
  std::vector<int32_t> changes;
  m.OnParameterChange = [&](TObject*, int32_t index, float) { changes.push_back(index); };
  EXPECT_EQ(built.Dispatch(effEditOpen, 0, 7, reinterpret_cast<void*>(0x1234)), 1);
  EXPECT_EQ(changes, (std::vector<int32_t>{0, 1}));
  EXPECT_EQ(form->embeddedIn, reinterpret_cast<void*>(0x1234));
  EXPECT_EQ(form->hostData, 7);
  ERect* rect = nullptr;
  EXPECT_EQ(built.Dispatch(effEditGetRect, 0, 0, &rect), 1);
  EXPECT_EQ(rect->bottom, 223);
  EXPECT_EQ(rect->right, 298);

  built.Dispatch(effEditIdle);
  const int before = form->repaints;
  const int pumps = form->pumps;
  built.Dispatch(effEditIdle);
  EXPECT_EQ(form->repaints, before) << "nothing changed, nothing repainted";
  EXPECT_EQ(form->pumps, pumps + 1) << "the window's messages are pumped on every idle call";
  int idles = 0;
  m.OnEditIdle = [&](TObject*) { ++idles; };
  m.SetParameterValue(0, 1.0f);
  built.Dispatch(effEditIdle);
  built.Dispatch(effEditIdle);
  EXPECT_EQ(form->repaints, before + 1);
  EXPECT_EQ(idles, 1);

  EXPECT_EQ(built.Dispatch(effEditOpen, 0, 0, nullptr), 1);
  EXPECT_EQ(alive, 1) << "a second open replaces the first window";
  built.Dispatch(effEditClose);
  built.Dispatch(effEditClose);
  EXPECT_EQ(alive, 0);
  EXPECT_EQ(built.Dispatch(effEditGetRect, 0, 0, &rect), 0);
  EXPECT_EQ(rect->bottom, 223) << "the last size stays";
  EXPECT_EQ(built.Dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(0xdead)), 0);
  EXPECT_EQ(alive, 0) << "a window the window system refused is dropped";
  EXPECT_EQ(built.Dispatch(effEditGetRect, 0, 0, &rect), 0);
  EXPECT_EQ(built.Dispatch(effEditOpen, 0, 0, nullptr), 1);
  EXPECT_EQ(alive, 1);
  built.Close();
  EXPECT_EQ(alive, 0) << "closing the module destroys an open editor";
}

TEST(Editor, NoWindowFromTheHandlerAnswersZero) {
  Built built;
  built.Module().SetFlags({pfHasEditor});
  EXPECT_EQ(built.Dispatch(effEditOpen), 0);
  built.Module().OnEditOpen = [](TObject*, std::unique_ptr<TCustomEditorForm>&) {};
  EXPECT_EQ(built.Dispatch(effEditOpen), 0);
  EXPECT_EQ(built.Module().EditorForm(), nullptr);
}

TEST(HostRequests, NothingHappensWithoutAHost) {
  Built built(StandardDescription, nullptr);
  TTestModule& m = built.Module();
  char text[64] = "kept";
  EXPECT_EQ(m.GetMasterVersion(), 1);
  EXPECT_TRUE(m.IsPinConnected(0, false));
  EXPECT_FALSE(m.GetHostVendorString(text));
  EXPECT_STREQ(text, "kept");
  EXPECT_FALSE(m.IOChanged());
  EXPECT_EQ(m.GetTimeInfo(0), nullptr);
  EXPECT_EQ(m.UpdateSampleRate(), 44100.0f);
  EXPECT_EQ(m.UpdateBlockSize(), 1024);
  EXPECT_FALSE(m.OpenFileSelector(text));
  m.SetParameterValue(0, 2.0f);
  EXPECT_EQ(m.GetParameterValue(0), 2.0f);
}

TEST(HostRequests, ArgumentsReachTheHost) {
  Built built;
  TTestModule& m = built.Module();
  HostAnswer() = [](const Request& r) -> VstIntPtr {
    switch (r.opcode) {
    case audioMasterGetSampleRate:
      return 96000;
    case audioMasterGetBlockSize:
      return -1;
    case audioMasterPinConnected:
      return 1;
    default:
      return 0;
    }
  };
  float rates = 0;
  m.OnSampleRateChange = [&](TObject*, float r) { rates = r; };
  EXPECT_EQ(m.UpdateSampleRate(), 96000.0f);
  EXPECT_EQ(rates, 96000.0f);
  EXPECT_EQ(m.UpdateBlockSize(), 1024) << "a host answer of 0 or less keeps the block size";
  EXPECT_FALSE(m.IsPinConnected(1, true));
  EXPECT_EQ(RequestsOf(audioMasterPinConnected).back().value, 1);
  m.SizeWindow(300, 200);
  EXPECT_EQ(RequestsOf(audioMasterSizeWindow).back().index, 300);
  EXPECT_EQ(RequestsOf(audioMasterSizeWindow).back().value, 200);
  m.BeginEdit(3);
  EXPECT_EQ(RequestsOf(audioMasterBeginEdit).back().index, 3);
  m.OfflineRead(nullptr, 5, true);
  EXPECT_EQ(RequestsOf(audioMasterOfflineRead).back().index, 1);
  EXPECT_EQ(RequestsOf(audioMasterOfflineRead).back().value, 5);
  m.SetOutputSampleRate(22050.0f);
  EXPECT_EQ(RequestsOf(audioMasterSetOutputSampleRate).back().opt, 22050.0f);
  EXPECT_FALSE(m.OpenFileSelector(nullptr));
  EXPECT_TRUE(RequestsOf(audioMasterOpenFileSelector).empty());
}

TEST(HostRequests, EachRequestHasItsNumberAndArgumentPlaces) {
  Built built;
  TTestModule& m = built.Module();
  HostAnswer() = [](const Request&) -> VstIntPtr { return 7; };
  char text[64] = {};
  int marker = 0;
  void* p = &marker;
  struct Expected {
    int32_t opcode, index;
    VstIntPtr value;
    void* ptr;
    float opt;
  };
  std::vector<Expected> expected;
  const auto expect = [&](int32_t opcode, int32_t index = 0, VstIntPtr value = 0,
                          void* ptr = nullptr, float opt = 0.0f) {
    expected.push_back({opcode, index, value, ptr, opt});
  };
  Requests().clear();
  EXPECT_TRUE(m.Automate(3, 0.25f));
  expect(0, 3, 0, nullptr, 0.25f);
  EXPECT_EQ(m.GetMasterVersion(), 7);
  expect(1);
  EXPECT_EQ(m.GetCurrentUniqueId(), 7);
  expect(2);
  m.MasterIdle();
  expect(3);
  EXPECT_FALSE(m.IsPinConnected(2, true)) << "connected only when the host answers 0";
  expect(4, 2, 1);
  m.WantEvents(1);
  expect(6, 0, 1);
  EXPECT_EQ(m.GetTimeInfo(0x200), reinterpret_cast<VstTimeInfo*>(VstIntPtr{7}));
  expect(7, 0, 0x200);
  EXPECT_FALSE(m.SendVstEventsToHost(m.MidiOutEvents())) << "true only for the answer 1";
  expect(8, 0, 0, m.MidiOutEvents());
  m.SetTimeInfo(5, static_cast<VstTimeInfo*>(p));
  expect(9, 0, 5, p);
  EXPECT_EQ(m.TempoAt(512), 7);
  expect(10, 0, 512);
  EXPECT_EQ(m.GetNumAutomatableParameters(), 7);
  expect(11);
  EXPECT_EQ(m.GetParameterQuantization(), 7);
  expect(12);
  EXPECT_TRUE(m.IOChanged());
  expect(13);
  EXPECT_TRUE(m.NeedIdle());
  expect(14);
  EXPECT_TRUE(m.SizeWindow(298, 223));
  expect(15, 298, 223);
  EXPECT_EQ(m.UpdateSampleRate(), 7.0f);
  expect(16);
  EXPECT_EQ(m.UpdateBlockSize(), 7);
  expect(17);
  for (int32_t opcode = 18; opcode <= 24; ++opcode)
    expect(opcode);
  EXPECT_EQ(m.GetInputLatency(), 7);
  EXPECT_EQ(m.GetOutputLatency(), 7);
  EXPECT_EQ(m.GetPreviousPlug(), 7);
  EXPECT_EQ(m.GetNextPlug(), 7);
  EXPECT_EQ(m.WillReplaceOrAccumulate(), 7);
  EXPECT_EQ(m.GetCurrentProcessLevel(), 7);
  EXPECT_EQ(m.GetAutomationState(), 7);
  EXPECT_TRUE(m.OfflineStart(4, 9, p));
  expect(25, 4, 9, p);
  EXPECT_TRUE(m.OfflineRead(static_cast<VstOfflineTask*>(p), 3, false));
  expect(26, 0, 3, p);
  EXPECT_TRUE(m.OfflineWrite(static_cast<VstOfflineTask*>(p), 2));
  expect(27, 0, 2, p);
  EXPECT_TRUE(m.OfflineGetCurrentPass());
  expect(28);
  EXPECT_TRUE(m.OfflineGetCurrentMetaPass());
  expect(29);
  m.SetOutputSampleRate(48000.0f);
  expect(30, 0, 0, nullptr, 48000.0f);
  EXPECT_EQ(m.GetOutputSpeakerArrangement(), 7);
  expect(31);
  EXPECT_TRUE(m.GetHostVendorString(text));
  expect(32, 0, 0, text);
  EXPECT_TRUE(m.GetHostProductString(text));
  expect(33, 0, 0, text);
  EXPECT_EQ(m.GetHostVendorVersion(), 7);
  expect(34);
  EXPECT_EQ(m.HostVendorSpecific(1, 2, p, 0.5f), 7);
  expect(35, 1, 2, p, 0.5f);
  EXPECT_EQ(m.CanHostDo("sendVstEvents"), 7);
  expected.push_back({37, 0, 0, nullptr, 0.0f}); // ptr checked below
  EXPECT_EQ(m.GetHostLanguage(), 7);
  expect(38);
  EXPECT_EQ(m.OpenWindow(p), 7);
  expect(39, 0, 0, p);
  EXPECT_TRUE(m.CloseWindow(p));
  expect(40, 0, 0, p);
  EXPECT_EQ(m.GetDirectory(), 7);
  expect(41);
  EXPECT_TRUE(m.UpdateDisplay());
  expect(42);
  EXPECT_TRUE(m.BeginEdit(1));
  expect(43, 1);
  EXPECT_TRUE(m.EndEdit(1));
  expect(44, 1);
  EXPECT_TRUE(m.OpenFileSelector(p));
  expect(45, 0, 0, p);
  EXPECT_EQ(m.GetInputSpeakerArrangement(), 7);
  expect(49);

  ASSERT_EQ(Requests().size(), expected.size());
  std::size_t i = 0;
  for (const Request& r : Requests()) {
    const Expected& e = expected[i];
    EXPECT_EQ(r.opcode, e.opcode) << "request " << i;
    EXPECT_EQ(r.index, e.index) << "opcode " << r.opcode;
    EXPECT_EQ(r.value, e.value) << "opcode " << r.opcode;
    if (r.opcode == 37)
      EXPECT_STREQ(static_cast<const char*>(r.ptr), "sendVstEvents");
    else
      EXPECT_EQ(r.ptr, e.ptr) << "opcode " << r.opcode;
    EXPECT_EQ(r.opt, e.opt) << "opcode " << r.opcode;
    ++i;
  }

  HostAnswer() = [](const Request&) -> VstIntPtr { return 0; };
  EXPECT_EQ(m.GetMasterVersion(), 1) << "a host answer of 0 reads as version 1";
}

TEST(Speakers, AllocateCopyAndFree) {
  Built built;
  TTestModule& m = built.Module();
  VstSpeakerArrangement* source = nullptr;
  ASSERT_TRUE(m.AllocateArrangement(source, 3));
  EXPECT_EQ(source->numChannels, 3);
  source->type = 7;
  VstSpeakerProperties* speakers = source->speakers;
  for (int i = 0; i < 3; ++i) {
    speakers[i].azimuth = static_cast<float>(i);
    speakers[i].type = 10 + i;
    std::memset(speakers[i].name, 'n', sizeof speakers[i].name); // no terminating zero
    speakers[i].future[27] = 9;
  }
  VstSpeakerArrangement* target = nullptr;
  ASSERT_TRUE(m.MatchArrangement(target, source));
  EXPECT_EQ(target->type, 7);
  EXPECT_EQ(target->numChannels, 3);
  VstSpeakerProperties* copied = target->speakers;
  EXPECT_EQ(copied[2].azimuth, 2.0f);
  EXPECT_EQ(copied[2].type, 12);
  EXPECT_EQ(copied[2].future[27], 9);
  EXPECT_EQ(std::strlen(copied[2].name), 63u) << "the name is cut inside its field";
  EXPECT_FALSE(m.CopySpeaker(nullptr, speakers));
  EXPECT_FALSE(m.MatchArrangement(target, nullptr));
  EXPECT_FALSE(m.MatchArrangement(source, source));
  EXPECT_FALSE(m.AllocateArrangement(target, -1));
  EXPECT_TRUE(m.DeallocateArrangement(source));
  EXPECT_EQ(source, nullptr);
  m.DeallocateArrangement(target);
}

TEST(FloatingPoint, HostTrapsStayOffWhilePluginCodeRunsAndComeBackAfter) {
  Built built([](TTestModule& m) {
    TCustomVstParameterProperty& flat = m.ParameterProperties().Add();
    flat.Min = 2.0f;
    flat.Max = 2.0f; // real-to-normalised divides by zero
  });
  built.Module().SetParameterValue(0, 3.0f);
  feclearexcept(FE_ALL_EXCEPT);
  feenableexcept(FE_DIVBYZERO | FE_INVALID);
  const float normalized = built.Effect()->getParameter(built.Effect(), 0);
  built.Effect()->setParameter(built.Effect(), 0, 0.5f);
  const int trapsAfter = fegetexcept();
  fesetround(FE_UPWARD);
  built.Effect()->setParameter(built.Effect(), 0, 0.5f);
  const int roundingAfter = fegetround();
  fesetround(FE_TONEAREST);
  fedisableexcept(FE_ALL_EXCEPT);
  EXPECT_EQ(normalized, 1.0f);
  EXPECT_EQ(trapsAfter, FE_DIVBYZERO | FE_INVALID) << "the host's setting is restored";
  EXPECT_EQ(roundingAfter, FE_UPWARD);
  EXPECT_EQ(fetestexcept(FE_DIVBYZERO), 0) << "no status flag leaks to the host";
}
