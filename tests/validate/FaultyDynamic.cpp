// A small, well-behaved VST 2.x effect with an X11 editor for the validator's dynamic tests: a
// stereo one-pole smoother with a gain. Built once as it is (it must pass every test) and once
// per fault, each compile definition FAULT_xxx breaking one thing that a test of the audio,
// process, realtime, threads, lifecycle or editor groups must catch.
#include "Faults.h"
#include "PluginEntries.h"
#include "framework/DAEffect.h"

#include <X11/Xlib.h>
#include <fcntl.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <mutex>

namespace {

constexpr int32_t kParams = 2;
constexpr size_t kHistory = 1024;

struct Effect {
  AEffect effect{};
#ifdef FAULT_SHARED_STATE
  static inline float values[kParams] = {0.5f, 0.5f}; // one for every instance
#else
  float values[kParams] = {0.5f, 0.5f};
#endif
  float state[2] = {0.0f, 0.0f};
  // The history the smoother reads; a pointer so that a fault can pull it away.
  float storage[kHistory] = {};
  std::atomic<float*> history{storage};
  int descriptor = -1;
  ERect rect{0, 0, 120, 200};
  Display* display = nullptr;
  Window window = 0;
};

#ifdef FAULT_SIGNAL_HANDLER
// Takes over the host's crashes as soon as the library is loaded.
void OnCrash(int, siginfo_t*, void*) {}
[[maybe_unused]] const bool takenOver = [] {
  struct sigaction action {};
  action.sa_sigaction = OnCrash;
  action.sa_flags = SA_SIGINFO;
  return sigaction(SIGSEGV, &action, nullptr) == 0;
}();
#endif

#ifdef FAULT_SPIKE
// Burns a few milliseconds of the thread's own time.
void Spin(double milliseconds) {
  timespec start{}, now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &start);
  do
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  while ((now.tv_sec - start.tv_sec) * 1e3 + (now.tv_nsec - start.tv_nsec) * 1e-6 < milliseconds);
}
#endif

Effect& Of(AEffect* effect) {
  return *static_cast<Effect*>(effect->object);
}

void Copy(void* ptr, const char* text) {
  std::snprintf(static_cast<char*>(ptr), 8, "%s", text);
}

void SetParameter(AEffect* effect, int32_t index, float value) {
  if (index < 0 || index >= kParams || !std::isfinite(value))
    return;
  Effect& e = Of(effect);
#ifdef FAULT_BLOCKS
  // Tells a log that the value changed, on whatever thread sets it.
  if (write(e.descriptor, "set\n", 4) < 0)
    return;
#endif
#ifdef FAULT_RACE
  // Replaces the history under the audio thread's feet.
  e.history.store(nullptr);
  for (int i = 0; i < 2000; ++i)
    __asm__ volatile("");
  e.history.store(e.storage);
#endif
#ifdef FAULT_X87_CONTROL
  // Double precision for the x87 unit, never set back.
  const unsigned short control = 0x027F;
  __asm__ volatile("fldcw %0" : : "m"(control));
#endif
  e.values[index] = value < 0.0f ? 0.0f : value > 1.0f ? 1.0f : value;
}

float GetParameter(AEffect* effect, int32_t index) {
  return index >= 0 && index < kParams ? Of(effect).values[index] : 0.0f;
}

template <bool kAccumulate>
void Run(AEffect* effect, float** inputs, float** outputs, int32_t frames) {
#ifdef FAULT_CRASH_SINGLE_FRAME
  if (frames == 1)
    *static_cast<volatile int*>(nullptr) = 1;
#endif
#ifdef FAULT_ALLOCATES
  faults::Allocate(static_cast<size_t>(frames > 0 ? frames : 0));
#endif
#ifdef FAULT_BLOCKS
  static std::mutex lock;
  const std::lock_guard<std::mutex> guard(lock);
#endif
#ifdef FAULT_SPIKE
  static int blocks = 0;
  if (++blocks % 100 == 0)
    Spin(2.0);
#endif
#ifdef FAULT_MXCSR
  faults::SetFlushToZero();
#endif
#ifdef FAULT_STACK_HOG
  faults::UseMegabyteOfStack();
#endif
  Effect& e = Of(effect);
  const float gain = 2.0f * e.values[0];
  const float pole = 0.5f + 0.499f * e.values[1];
  const float* history = e.history.load();
  for (int c = 0; c < 2; ++c) {
#ifdef FAULT_READS_PAST_END
    faults::ReadRoundedUp(inputs[c], frames);
#endif
    float y = e.state[c];
    for (int32_t n = 0; n < frames; ++n) {
      y = inputs[c][n] * (1.0f - pole) + y * pole + history[n % kHistory];
#ifndef FAULT_DENORMAL_TAIL
      if (std::fabs(y) < 1e-15f)
        y = 0.0f;
#endif
      float out = y * gain;
#ifdef FAULT_NAN_OUTPUT
      if (n == frames / 2 && std::fabs(inputs[c][n]) > 0.25f)
        out = std::numeric_limits<float>::quiet_NaN();
#endif
#ifdef FAULT_UNWRITTEN_SAMPLE
      if (c == 1 && n == frames - 1)
        continue;
#endif
      if (kAccumulate)
        outputs[c][n] += out;
      else
        outputs[c][n] = out;
    }
    e.state[c] = y;
  }
}

void OpenEditor(Effect& e, void* parent) {
  e.display = XOpenDisplay(nullptr);
  if (!e.display)
    return;
#ifdef FAULT_TOP_LEVEL
  parent = reinterpret_cast<void*>(DefaultRootWindow(e.display)); // a window of its own
#endif
  e.window = XCreateSimpleWindow(e.display, reinterpret_cast<Window>(parent), 0, 0, 200, 120, 0, 0,
                                 0x336699);
  XMapWindow(e.display, e.window);
  XFlush(e.display);
}

void CloseEditor(Effect& e) {
  if (!e.display)
    return;
  XDestroyWindow(e.display, e.window);
  XSync(e.display, False);
#ifndef FAULT_EDITOR_LEAK
  XCloseDisplay(e.display);
#endif
  e.display = nullptr;
}

VstIntPtr Dispatcher(AEffect* effect, int32_t opcode, int32_t index, VstIntPtr, void* ptr, float) {
  Effect& e = Of(effect);
  switch (opcode) {
  case effOpen:
    e.descriptor = open("/dev/null", O_WRONLY | O_CLOEXEC);
    faults::OnInstanceMade();
    return 0;
  case effClose:
    CloseEditor(e);
#ifndef FAULT_LEAKED_DESCRIPTOR
    if (e.descriptor >= 0)
      close(e.descriptor);
#endif
#ifndef FAULT_LEAKED_INSTANCE
    delete &e;
#endif
    return 1;
  case effGetProgramName:
  case effGetProgramNameIndexed:
    if (opcode == effGetProgramNameIndexed && index != 0)
      return 0;
    Copy(ptr, "Default");
    return 1;
  case effGetParamName:
  case effGetParamLabel:
  case effGetParamDisplay:
    if (index < 0 || index >= kParams)
      return 0;
    if (opcode == effGetParamName)
      Copy(ptr, index == 0 ? "Gain" : "Smooth");
    else if (opcode == effGetParamLabel)
      Copy(ptr, "");
    else
      std::snprintf(static_cast<char*>(ptr), 8, "%.3f", static_cast<double>(e.values[index]));
    return 0;
  case effEditGetRect:
    *static_cast<ERect**>(ptr) = &e.rect;
    return 1;
  case effEditOpen:
    CloseEditor(e);
#ifdef FAULT_SLOW_EDITOR
    usleep(600000);
#endif
    OpenEditor(e, ptr);
    return e.display ? 1 : 0;
  case effEditClose:
    CloseEditor(e);
    return 0;
  case effEditIdle:
#ifdef FAULT_SLOW_EDITOR
    usleep(20000);
#endif
    if (e.display)
      while (XPending(e.display) > 0) {
        XEvent event;
        XNextEvent(e.display, &event);
      }
    return 0;
  case effCanBeAutomated:
    return index >= 0 && index < kParams ? 1 : 0;
  case effGetEffectName:
  case effGetProductString:
    Copy(ptr, "Dynamic");
    return 1;
  case effGetVendorString:
    Copy(ptr, "Tests");
    return 1;
  case effGetPlugCategory:
    return 1;
  case effGetVstVersion:
    return 2400;
  default:
    return 0;
  }
}

} // namespace

AEffect* CreateTestPlugin(audioMasterCallback) {
  auto* e = new Effect;
  AEffect& effect = e->effect;
  effect.magic = kEffectMagic;
  effect.dispatcher = &Dispatcher;
  effect.process = &Run<true>;
  effect.processReplacing = &Run<false>;
  effect.setParameter = &SetParameter;
  effect.getParameter = &GetParameter;
  effect.numPrograms = 1;
  effect.numParams = kParams;
  effect.numInputs = 2;
  effect.numOutputs = 2;
  effect.flags = effFlagsCanReplacing | effFlagsHasEditor;
  effect.ioRatio = 1.0f;
  effect.object = e;
  effect.uniqueID = FourCharCode('F', 'D', 'y', 'n');
  effect.version = 1;
  return &effect;
}
