// The 64-bit VST3 bundle as a Windows host loads it: every factory program sounds as the 64-bit
// VST 2.x DLL with the same values, and its editor, a child of the host's HWND driven by the
// host's message loop, looks as the VST 2.x editor does, turns a drag into an edit of the host,
// and leaves no window when removed.
#include "FactoryRenderHashes.h"
#include "vst3/Vst3TestHost.h"
#include "windows/Win32Host.h"

#include <set>
#include <string>

namespace {

using namespace vst3test;
using namespace win32host;

constexpr int kWidth = 298, kHeight = 223;

VstIntPtr Host(AEffect*, int32_t opcode, int32_t, VstIntPtr, void*, float) {
  return opcode == audioMasterVersion ? 2400 : 0;
}

AEffect* Vst2Instance(HMODULE library) {
  using Entry = AEffect* (*)(audioMasterCallback);
  const auto entry =
      reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(library, "VSTPluginMain")));
  return entry ? entry(Host) : nullptr;
}

class Vst3Bundle : public ::testing::Test {
protected:
  void SetUp() override {
    // Without settings values the embedded impulse table is used, as on Linux.
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Merrowlake\\Zintrax");
    ASSERT_EQ(0, _putenv((std::string("ZINTRAX_SEED=") + factoryrender::kSeed).c_str()));
    Vst2 = LoadLibraryA(ZINTRAX_PLUGIN_PATH);
    ASSERT_NE(Vst2, nullptr) << GetLastError();
  }
  void TearDown() override { FreeLibrary(Vst2); }

  HMODULE Vst2 = nullptr;
};

TEST_F(Vst3Bundle, EveryProgramSoundsAsTheVst2DllWithTheSameValues) {
  for (int32_t program = 0; program < factoryrender::kPrograms; ++program) {
    AEffect* reference = Vst2Instance(Vst2);
    ASSERT_NE(reference, nullptr);
    const std::string hash = factoryrender::HashText(RenderHash(program));
    EXPECT_EQ(factoryrender::HashText(factoryrender::RenderHash(reference, program, true)), hash)
        << "program " << program;
    reference->dispatcher(reference, effClose, 0, 0, nullptr, 0.0f);
    if (program > 0) {
      EXPECT_EQ(factoryrender::HashText(factoryrender::kExpectedHashes[program]), hash)
          << "program " << program;
    }
  }
}

TEST_F(Vst3Bundle, TheEditorIsAChildOfTheHostsWindowPicturedAndDragged) {
  Effect effect;
  effect.controller->setParamNormalized(1000, 1.0); // "encore"
  TRef<IPlugView> view = TRef<IPlugView>::Adopt(effect.controller->createView(kEditorViewType));
  ASSERT_TRUE(view);
  EXPECT_EQ(kResultTrue, view->isPlatformTypeSupported(kPlatformTypeHWND));
  HWND host = MakeHostWindow();
  ASSERT_EQ(kResultOk, view->attached(host, kPlatformTypeHWND));
  // The host's message loop is all that drives the editor.
  const auto idle = [](int times) {
    for (int i = 0; i < times; ++i) {
      Sleep(30);
      Pump();
    }
  };
  idle(5);
  const std::vector<HWND> children = Children(host);
  ASSERT_EQ(1u, children.size());
  EXPECT_TRUE(GetWindowLongW(children[0], GWL_STYLE) & WS_CHILD);
  const std::vector<uint32_t> picture = Grab(children[0], kWidth, kHeight);
  EXPECT_GT(std::set<uint32_t>(picture.begin(), picture.end()).size(), 100u) << "the artwork";
  {
    AEffect* vst2 = Vst2Instance(Vst2);
    ASSERT_NE(vst2, nullptr);
    vst2->dispatcher(vst2, effOpen, 0, 0, nullptr, 0.0f);
    vst2->dispatcher(vst2, effSetProgram, 0, 2, nullptr, 0.0f);
    HWND vst2Host = MakeHostWindow();
    ASSERT_EQ(1, vst2->dispatcher(vst2, effEditOpen, 0, 0, vst2Host, 0.0f));
    for (int i = 0; i < 5; ++i) {
      Sleep(10);
      Pump();
      vst2->dispatcher(vst2, effEditIdle, 0, 0, nullptr, 0.0f);
    }
    EXPECT_TRUE(picture == Grab(Children(vst2Host).front(), kWidth, kHeight));
    vst2->dispatcher(vst2, effEditClose, 0, 0, nullptr, 0.0f);
    vst2->dispatcher(vst2, effClose, 0, 0, nullptr, 0.0f);
    DestroyWindow(vst2Host);
    idle(2);
  }

  EditLog log;
  log.Listen(*effect.handler);
  Drag(children[0], {{49, 117}, {49, 97}, {54, 77}}, idle);
  EXPECT_EQ("B0 P0 E0 ", log.edits);
  EXPECT_EQ(log.performed, effect.controller->getParamNormalized(0));

  EXPECT_EQ(kResultOk, view->removed());
  idle(1);
  EXPECT_TRUE(Children(host).empty());
  view.reset();
  DestroyWindow(host);
}

} // namespace
