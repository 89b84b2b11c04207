// The X11 editor window on a real X server (Xvfb when DISPLAY is unset) under a parent made
// on the test's own connection, as a host's would be, with the pointer driven through XTest.
#include "platform/EditorWindow.h"
#include "platform/WindowImage.h"

#include "hosting/Xvfb.h"

// GoogleTest before Xlib, whose macros (None, Bool) would break its declarations.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <thread>
#include <utility>

namespace {

struct XvfbEnvironment : testing::Environment {
  std::optional<zhost::Xvfb> Server;

  void SetUp() override {
    try {
      Server.emplace();
    } catch (const std::exception& e) {
      GTEST_FAIL() << e.what();
    }
  }
  void TearDown() override { Server.reset(); }
};

testing::Environment* const gXvfb = testing::AddGlobalTestEnvironment(new XvfbEnvironment);

// "down left 10,12 SL": kind, button, position and the flags as letters (Shift, Ctrl, Alt,
// Left, Right, Middle, Double).
std::string Text(const TWindowMouseEvent& e) {
  static const char* const kKinds[] = {"down", "up", "move", "leave", "wheel"};
  static const char* const kButtons[] = {" left", " right", " middle"};
  std::string text = kKinds[int(e.Kind)];
  if (e.Kind == TWindowMouseKind::Down || e.Kind == TWindowMouseKind::Up)
    text += kButtons[int(e.Button)];
  text.append(" ").append(std::to_string(e.X)).append(",").append(std::to_string(e.Y));
  if (e.Shift)
    text += ' ';
  for (int bit = 0; bit < 7; ++bit)
    if (e.Shift & (1u << bit))
      text += "SCALRMD"[bit];
  return text;
}

struct FakeClient : TEditorWindowClient {
  std::vector<std::string> Mouse;
  std::vector<TRect> Paints;
  std::vector<uint32_t> Timers;
  int Destroyed = 0;
  std::function<void(const TRect&)> OnPaint = [](const TRect&) {};
  std::function<void()> OnEvent = [] {}; // after each mouse event and timer

  void WindowPaint(const TRect& dirty) override {
    Paints.push_back(dirty);
    OnPaint(dirty);
  }
  void WindowMouse(const TWindowMouseEvent& event) override {
    Mouse.push_back(Text(event));
    OnEvent();
  }
  void WindowTimer(uint32_t id) override {
    Timers.push_back(id);
    OnEvent();
  }
  void WindowDestroyed() override { ++Destroyed; }
};

// Errors on the test's own connection, which must reach the handler the test installed.
int gTestErrors = 0;
int CountError(Display*, XErrorEvent*) {
  ++gTestErrors;
  return 0;
}

size_t Entries(const char* folder) {
  return size_t(std::distance(std::filesystem::directory_iterator(folder), {}));
}

// System V shared memory segments that this process created and that still exist.
int SharedSegments() {
  std::ifstream table("/proc/sysvipc/shm");
  int count = 0;
  long key, id, perms, size, creator;
  for (std::string line; std::getline(table, line);)
    count +=
        std::sscanf(line.c_str(), "%ld %ld %ld %ld %ld", &key, &id, &perms, &size, &creator) == 5 &&
        creator == getpid();
  return count;
}

class X11Window : public testing::Test {
protected:
  static constexpr int kParentX = 20, kParentY = 30, kWidth = 200, kHeight = 120;

  void SetUp() override {
    D = XOpenDisplay(nullptr);
    ASSERT_NE(D, nullptr);
    gTestErrors = 0;
    Previous = XSetErrorHandler(CountError);
    Pointer(1000, 1000);
    Parent = NewParent();
  }

  void TearDown() override {
    if (!D)
      return;
    if (Parent)
      XDestroyWindow(D, Parent);
    XSync(D, False);
    EXPECT_EQ(XSetErrorHandler(Previous), CountError) << "an error handler was left installed";
    EXPECT_EQ(gTestErrors, ExpectedErrors);
    XCloseDisplay(D);
  }

  Window NewParent() {
    const Window w =
        XCreateSimpleWindow(D, DefaultRootWindow(D), kParentX, kParentY, 320, 240, 0, 0, 0);
    XMapWindow(D, w);
    XSync(D, False);
    return w;
  }
  void Destroy(Window w) {
    XDestroyWindow(D, w);
    XSync(D, False);
  }
  Window DeadWindow() {
    const Window w = NewParent();
    Destroy(w);
    return w;
  }

  std::unique_ptr<TEditorWindow> Make(Window parent) {
    const TEditorWindowParams params{reinterpret_cast<void*>(uintptr_t(parent)),
                                     reinterpret_cast<intptr_t>(D), kWidth, kHeight};
    return CreateEditorWindow(params, Client);
  }
  static Window Native(const TEditorWindow& w) { return Window(uintptr_t(w.NativeHandle())); }

  // Runs the window's event pump as the host's idle does, until done() or a few seconds.
  bool Pump(TEditorWindow& w, const std::function<bool()>& done) {
    XSync(D, False);
    for (int round = 0; round < 1000 && !done(); ++round) {
      w.ProcessEvents();
      w.Update();
      std::this_thread::sleep_for(std::chrono::milliseconds(3));
    }
    return done();
  }

  // Input as a person gives it; (x, y) is a position in the parent, and so in the editor.
  void Pointer(int x, int y) { XTestFakeMotionEvent(D, -1, kParentX + x, kParentY + y, 0); }
  void Button(unsigned button, bool down, unsigned long delayMs = 0) {
    XTestFakeButtonEvent(D, button, down, delayMs);
  }
  void Click(unsigned button, unsigned long delayMs = 0) {
    Button(button, true, delayMs);
    Button(button, false);
  }
  void Keys(std::initializer_list<KeySym> keys, bool down) {
    for (KeySym key : keys)
      XTestFakeKeyEvent(D, XKeysymToKeycode(D, key), down, 0);
  }

  Display* D = nullptr;
  Window Parent = 0;
  XErrorHandler Previous = nullptr;
  int ExpectedErrors = 0;
  FakeClient Client;
};

TEST_F(X11Window, IsAnUnmappedChildAtTheOriginUntilShownAndPlaced) {
  auto w = Make(Parent);
  ASSERT_NE(w, nullptr);
  Window root, parent, *children;
  unsigned count;
  ASSERT_TRUE(XQueryTree(D, Native(*w), &root, &parent, &children, &count));
  XFree(children);
  EXPECT_EQ(parent, Parent);
  auto geometry = [&] {
    int x, y;
    unsigned width, height, border, depth;
    XGetGeometry(D, Native(*w), &root, &x, &y, &width, &height, &border, &depth);
    return std::vector<int>{x, y, int(width), int(height), int(border)};
  };
  EXPECT_EQ(geometry(), std::vector<int>({0, 0, kWidth, kHeight, 0}));
  XWindowAttributes a;
  XGetWindowAttributes(D, Native(*w), &a);
  EXPECT_EQ(a.map_state, IsUnmapped);
  w->Show();
  XGetWindowAttributes(D, Native(*w), &a);
  EXPECT_EQ(a.map_state, IsViewable);
  w->Place(5, 6, 150, 80);
  EXPECT_EQ(geometry(), std::vector<int>({5, 6, 150, 80, 0}));
  EXPECT_EQ(std::pair(w->ClientWidth(), w->ClientHeight()), std::pair(150, 80));
}

// Also: an error on the host's connection raised from a callback reaches the host's handler.
TEST_F(X11Window, TurnsThePointerIntoMouseEvents) {
  auto w = Make(Parent);
  ASSERT_NE(w, nullptr);
  w->Show();
  const Window dead = DeadWindow();
  bool raised = false;
  Client.OnEvent = [&] {
    XWindowAttributes a;
    if (!std::exchange(raised, true))
      XGetWindowAttributes(D, dead, &a);
  };
  ExpectedErrors = 1;

  Pointer(10, 12);
  Keys({XK_Shift_L, XK_Control_L, XK_Alt_L}, true);
  Button(1, true);
  Keys({XK_Control_L, XK_Alt_L}, false);
  Pointer(-15, 300); // dragged outside: the press keeps the pointer
  Button(1, false);
  Keys({XK_Shift_L}, false);
  Pointer(50, 60);
  Click(3);
  Click(2);
  Click(4); // the wheel
  Pointer(250, 50);
  ASSERT_TRUE(Pump(*w, [&] { return !Client.Mouse.empty() && Client.Mouse.back()[0] == 'l'; }));
  EXPECT_EQ(Client.Mouse,
            std::vector<std::string>({"move 10,12", "down left 10,12 SCAL", "move -15,300 SL",
                                      "up left -15,300 S", "move 50,60", "down right 50,60 R",
                                      "up right 50,60", "down middle 50,60 M", "up middle 50,60",
                                      "wheel 50,60", "leave 250,50"}));
}

TEST_F(X11Window, MarksTheSecondQuickPressOnTheSameSpotAsDouble) {
  auto w = Make(Parent);
  ASSERT_NE(w, nullptr);
  w->Show();
  Pointer(30, 30);
  Click(1);
  Click(1); // double
  Click(1); // ordinary again
  Pointer(36, 30);
  Click(1); // too far
  Pointer(37, 31);
  Click(1);                                                                // double
  Click(1);                                                                // ordinary again
  Click(1, 600);                                                           // too late
  Click(3);                                                                // another button
  ASSERT_TRUE(Pump(*w, [&] { return Client.Mouse.size() >= 3 + 8 * 2; })); // moves, clicks
  std::erase_if(Client.Mouse, [](const std::string& e) { return !e.starts_with("down"); });
  EXPECT_EQ(Client.Mouse, std::vector<std::string>({"down left 30,30 L", "down left 30,30 LD",
                                                    "down left 30,30 L", "down left 36,30 L",
                                                    "down left 37,31 LD", "down left 37,31 L",
                                                    "down left 37,31 L", "down right 37,31 R"}));
}

TEST_F(X11Window, PaintsExposureAndCopiesOnlyTheDirtyRectangle) {
  auto w = Make(Parent);
  ASSERT_NE(w, nullptr);
  // Blue is x and green is y: a picture upside down or shifted cannot pass.
  auto image = CreateWindowImage(kWidth, kHeight);
  auto fill = [&](uint8_t red) {
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x) {
        uint8_t* p = image->Bits() + (size_t(kHeight - 1 - y) * kWidth + x) * 4;
        p[0] = uint8_t(x), p[1] = uint8_t(y), p[2] = red, p[3] = 255;
      }
  };
  Client.OnPaint = [&](const TRect& dirty) { w->CopyToScreen(*image, dirty, {0, 0}); };
  fill(0x10);
  w->Show();
  ASSERT_TRUE(Pump(*w, [&] { return !Client.Paints.empty(); }));
  EXPECT_EQ(Client.Paints.front(), (TRect{0, 0, kWidth, kHeight}));

  fill(0x80);
  w->Invalidate({10, 20, 40, 50});
  w->Invalidate({30, 40, 60, 55});
  w->Update();
  EXPECT_EQ(Client.Paints.back(), (TRect{10, 20, 60, 55}));
  XImage* shown = XGetImage(D, Native(*w), 0, 0, kWidth, kHeight, AllPlanes, ZPixmap);
  ASSERT_NE(shown, nullptr);
  int wrong = 0;
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      const unsigned long red = x >= 10 && x < 60 && y >= 20 && y < 55 ? 0x80 : 0x10;
      wrong += (XGetPixel(shown, x, y) & 0xffffff) != (red << 16 | unsigned(y) << 8 | unsigned(x));
    }
  XDestroyImage(shown);
  EXPECT_EQ(wrong, 0);
}

TEST_F(X11Window, FiresTimersThatAreStillRunning) {
  auto w = Make(Parent);
  ASSERT_NE(w, nullptr);
  EXPECT_TRUE(w->StartTimer(7, 20));
  EXPECT_TRUE(w->StartTimer(9, 20));
  Client.OnEvent = [&] { w->StopTimer(9); };
  ASSERT_TRUE(Pump(*w, [&] { return !Client.Timers.empty(); }));
  EXPECT_EQ(Client.Timers, std::vector<uint32_t>{7});
}

TEST_F(X11Window, OutlivesTheHostsWindowHarmlessly) {
  auto w = Make(Parent);
  ASSERT_NE(w, nullptr);
  w->Show();
  Destroy(std::exchange(Parent, 0));
  ASSERT_TRUE(Pump(*w, [&] { return Client.Destroyed > 0; }));
  EXPECT_FALSE(w->Alive());
  const size_t paints = Client.Paints.size();
  w->Show();
  w->Place(0, 0, 10, 10);
  w->Invalidate({0, 0, 10, 10});
  w->Update();
  w->ProcessEvents();
  EXPECT_FALSE(w->StartTimer(1, 1));
  EXPECT_EQ(Client.Destroyed, 1);
  EXPECT_EQ(Client.Paints.size(), paints);

  // Gone before any event was read: the first call that reaches the server finds out.
  w = Make(Parent = NewParent());
  ASSERT_NE(w, nullptr);
  Destroy(std::exchange(Parent, 0));
  w->Show();
  EXPECT_FALSE(w->Alive());
  w->ProcessEvents();
  EXPECT_EQ(Client.Destroyed, 2);

  // Closed without ever noticing.
  w = Make(Parent = NewParent());
  Destroy(std::exchange(Parent, 0));
  w.reset();
  EXPECT_EQ(Client.Destroyed, 2);
}

// A null or missing parent is refused, and neither that nor a window's whole life leaves
// anything behind.
TEST_F(X11Window, RefusesMissingParentsAndLeavesNothingBehind) {
  int opcode, event, error;
  const bool shm = XQueryExtension(D, "MIT-SHM", &opcode, &event, &error);
  const Window dead = DeadWindow();
  const size_t descriptors = Entries("/proc/self/fd");
  const size_t threads = Entries("/proc/self/task");
  for (int cycle = 0; cycle < 30; ++cycle) {
    auto w = Make(Parent);
    ASSERT_NE(w, nullptr);
    auto image = CreateWindowImage(kWidth, kHeight);
    Client.OnPaint = [&](const TRect& dirty) { w->CopyToScreen(*image, dirty, {0, 0}); };
    w->Show();
    w->Invalidate({0, 0, kWidth, kHeight});
    w->Update();
    w->ProcessEvents();
    EXPECT_EQ(SharedSegments(), shm ? 1 : 0);
    EXPECT_EQ(Make(dead), nullptr);
    EXPECT_EQ(Make(0), nullptr);
  }
  EXPECT_EQ(Entries("/proc/self/fd"), descriptors);
  EXPECT_EQ(Entries("/proc/self/task"), threads);
  EXPECT_EQ(SharedSegments(), 0);
}

} // namespace
