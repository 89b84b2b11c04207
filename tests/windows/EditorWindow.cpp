// The 64-bit DLL's editor in a real Win32 window (wine on an X server): opened, driven with
// real pointer input and closed as a Windows host does, and leaving no window, GDI object or
// window class behind.
#include "EffectRecordHandle.h"
#include "windows/Win32Host.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cwchar>
#include <string>
#include <vector>

namespace {

using namespace win32host;

constexpr int kWidth = 298, kHeight = 223;
constexpr int kPadLeft = 152, kPadTop = 77;

struct TAutomation {
  int32_t Index;
  float Value;
};
std::vector<TAutomation> gAutomation;

VstIntPtr HostCallback(AEffect*, int32_t opcode, int32_t index, VstIntPtr, void*, float opt) {
  if (opcode == audioMasterAutomate)
    gAutomation.push_back({index, opt});
  return opcode == audioMasterVersion ? 2400 : 0;
}

class TPlugin : public EffectRecordHandle {
public:
  explicit TPlugin(HMODULE library) : EffectRecordHandle(Create(library)) { Dispatch(effOpen); }
  // The DLL went away with the instance in it: there is nothing left to close.
  void Forget() { FEffect = nullptr; }
  float Get(int32_t index) const { return FEffect->getParameter(FEffect, index); }
  void Set(int32_t index, float value) const { FEffect->setParameter(FEffect, index, value); }
  std::string Display(int32_t index) const {
    char text[64] = {};
    Dispatch(effGetParamDisplay, index, 0, text);
    return text;
  }

private:
  static AEffect* Create(HMODULE library) {
    using Entry = AEffect* (*)(audioMasterCallback);
    auto entry =
        reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(library, "VSTPluginMain")));
    return entry ? entry(HostCallback) : nullptr;
  }
};

// The host's side: its message loop and idle calls, as a Windows host runs them.
void Idle(const TPlugin& plugin, int times = 3) {
  for (int i = 0; i < times; ++i) {
    Sleep(10);
    Pump();
    plugin.Dispatch(effEditIdle);
  }
}

std::wstring EditorClassName(HMODULE library) {
  wchar_t name[64];
  std::swprintf(name, 64, L"ZintraxEditor%p", static_cast<void*>(library));
  return name;
}

bool ClassRegistered(HMODULE library) {
  WNDCLASSEXW info{};
  info.cbSize = sizeof(info);
  return GetClassInfoExW(library, EditorClassName(library).c_str(), &info);
}

// The GDI objects of this process. Wine does not count them (GetGuiResources answers 0 there),
// so the handle table is probed: wine accepts a handle's table index without its generation.
int GdiObjects() {
  if (const DWORD counted = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS))
    return int(counted);
  int live = 0;
  for (uintptr_t index = 1; index < 0x10000; ++index)
    live += GetObjectType(reinterpret_cast<HGDIOBJ>(index)) != 0;
  return live;
}

// Real input, as Win32Host.h makes it, between the host's idle calls.
void Drag(const TPlugin& plugin, HWND editor, std::initializer_list<POINT> points) {
  win32host::Drag(editor, points, [&plugin](int times) { Idle(plugin, times); });
}

class EditorWindow : public ::testing::Test {
protected:
  void SetUp() override {
    gAutomation.clear();
    Library = LoadLibraryA(ZINTRAX_PLUGIN_PATH);
    ASSERT_NE(Library, nullptr) << GetLastError();
    Host = MakeHostWindow();
    ASSERT_NE(Host, nullptr);
  }
  void TearDown() override {
    if (Library)
      UnloadChecked();
    DestroyWindow(Host);
  }
  void UnloadChecked() {
    EXPECT_TRUE(FreeLibrary(Library));
    Pump();
    EXPECT_TRUE(Children(Host).empty());
    EXPECT_FALSE(ClassRegistered(Library)) << "the class goes with the DLL";
    Library = nullptr;
  }

  HMODULE Library = nullptr;
  HWND Host = nullptr;
};

TEST_F(EditorWindow, EmbeddedDrivenByThePointerAndRepaintedAfterAChange) {
  TPlugin plugin(Library);
  ASSERT_NE(plugin.Effect(), nullptr);
  ASSERT_EQ(plugin.Dispatch(effEditOpen, 0, 0, Host), 1);
  Idle(plugin);
  EXPECT_TRUE(ClassRegistered(Library));
  const std::vector<HWND> children = Children(Host);
  ASSERT_EQ(children.size(), 1u);
  HWND editor = children[0];
  const LONG style = GetWindowLongW(editor, GWL_STYLE);
  EXPECT_EQ(style & (WS_CHILD | WS_VISIBLE), WS_CHILD | WS_VISIBLE);
  EXPECT_EQ(style & (WS_BORDER | WS_THICKFRAME | WS_CAPTION), 0);
  RECT placed{};
  GetWindowRect(editor, &placed);
  MapWindowPoints(nullptr, Host, reinterpret_cast<POINT*>(&placed), 2);
  RECT client{};
  GetClientRect(editor, &client);
  EXPECT_EQ((std::vector<LONG>{placed.left, placed.top, client.right, client.bottom}),
            (std::vector<LONG>{0, 0, kWidth, kHeight}));
  ERect* rect = nullptr;
  ASSERT_EQ(plugin.Dispatch(effEditGetRect, 0, 0, &rect), 1);
  EXPECT_EQ((std::vector<int>{rect->top, rect->left, rect->bottom, rect->right}),
            (std::vector<int>{0, 0, kHeight, kWidth}));

  const std::vector<uint32_t> shown = Grab(editor, kWidth, kHeight);
  EXPECT_NE(shown[0], shown[size_t(kPadTop + 5) * kWidth + kPadLeft + 5]) << "artwork is drawn";

  gAutomation.clear();
  Drag(plugin, editor, {{kPadLeft + 71, kPadTop}, {kPadLeft - 30, kPadTop + 500}});
  ASSERT_GE(gAutomation.size(), 4u);
  EXPECT_EQ(gAutomation[0].Index, 2);
  EXPECT_EQ(gAutomation[0].Value, 0.5f);
  EXPECT_EQ(plugin.Get(2), 0.0f) << "the drag outside the pad is pinned to its edges";
  EXPECT_EQ(plugin.Get(3), 1.0f);

  gAutomation.clear();
  MoveTo(editor, kPadLeft + 100, kPadTop + 100);
  for (int click = 0; click < 2; ++click) {
    SendMouse(MOUSEEVENTF_LEFTDOWN);
    SendMouse(MOUSEEVENTF_LEFTUP);
  }
  Idle(plugin);
  EXPECT_EQ(gAutomation.size(), 4u) << "the first press moves the puck, the second resets it";
  EXPECT_EQ(plugin.Get(2), 0.5f) << "to the first program's X-Axis";

  plugin.Set(0, (399.93f - 50.0f) / 700.0f);
  Idle(plugin, 1);
  gAutomation.clear();
  Drag(plugin, editor, {{49, 117}, {49, 116}});
  ASSERT_EQ(gAutomation.size(), 1u);
  EXPECT_EQ(gAutomation[0].Index, 0);
  EXPECT_EQ(plugin.Display(0), "401.890014648438");

  // A change from the host is shown by the next idle call alone, with no message loop between.
  const std::vector<uint32_t> before = Grab(editor, kWidth, kHeight);
  plugin.Set(2, 1.0f);
  plugin.Set(3, 1.0f);
  plugin.Dispatch(effEditIdle);
  const std::vector<uint32_t> after = Grab(editor, kWidth, kHeight);
  int changed = 0;
  for (size_t i = 0; i < before.size(); ++i)
    changed += before[i] != after[i];
  EXPECT_GT(changed, 100) << "the puck moved to the bottom right";
  EXPECT_EQ(after[size_t(5) * kWidth + 5], before[size_t(5) * kWidth + 5]);

  plugin.Dispatch(effEditClose);
  plugin.Dispatch(effEditClose);
  EXPECT_TRUE(Children(Host).empty());
}

TEST_F(EditorWindow, HostileParentsAndOrdersLeaveNothingBehind) {
  TPlugin plugin(Library);
  EXPECT_EQ(plugin.Dispatch(effEditOpen, 0, 0, nullptr), 0);
  EXPECT_EQ(plugin.Dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(uintptr_t(0x3fff1))), 0);
  plugin.Dispatch(effEditIdle);
  plugin.Dispatch(effEditClose);

  // Objects that the system makes once, on first use, are made by the first two rounds.
  int objects = 0;
  for (int cycle = 0; cycle < 14; ++cycle) {
    if (cycle == 2)
      objects = GdiObjects();
    HWND parent = MakeHostWindow(Host);
    ASSERT_EQ(plugin.Dispatch(effEditOpen, 0, 0, parent), 1);
    if (cycle % 3 == 0) {
      ASSERT_EQ(plugin.Dispatch(effEditOpen, 0, 0, parent), 1) << "a second open replaces";
    }
    Idle(plugin, 1);
    EXPECT_EQ(Children(parent).size(), 1u);
    if (cycle % 2 == 0) {
      HWND editor = Children(parent).front();
      DestroyWindow(parent); // the host destroys its window first
      EXPECT_FALSE(IsWindow(editor));
      Idle(plugin, 1);
      plugin.Dispatch(effEditClose);
    } else {
      MoveTo(Children(parent).front(), 49, 117);
      SendMouse(MOUSEEVENTF_LEFTDOWN); // closed while the dial holds the pointer
      Idle(plugin, 1);
      plugin.Dispatch(effEditClose);
      EXPECT_TRUE(Children(parent).empty());
      SendMouse(MOUSEEVENTF_LEFTUP);
      DestroyWindow(parent);
    }
    Pump();
  }
  EXPECT_EQ(GdiObjects(), objects) << "no section, device context or other GDI object is left";
  ASSERT_EQ(plugin.Dispatch(effEditOpen, 0, 0, Host), 1);
  EXPECT_EQ(plugin.Close(), 1);
  EXPECT_TRUE(Children(Host).empty()) << "effClose closes the editor";
}

TEST_F(EditorWindow, UnloadingTakesAnEditorTheHostForgot) {
  TPlugin plugin(Library);
  ASSERT_EQ(plugin.Dispatch(effEditOpen, 0, 0, Host), 1);
  Idle(plugin);
  HWND editor = Children(Host).at(0);
  UnloadChecked();
  EXPECT_FALSE(IsWindow(editor));
  plugin.Forget();
  Pump();
}

} // namespace
