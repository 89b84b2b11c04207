// Our own declarations of the VST3 editor interfaces: the plug-in's view, the host's frame and,
// on Linux, the host's run loop that drives a view's timers and file descriptors.
#pragma once

#include "formats/vst3/Vst3Base.h"

namespace vst3 {

inline constexpr const char* kPlatformTypeHWND = "HWND";
inline constexpr const char* kPlatformTypeX11EmbedWindowID = "X11EmbedWindowID";

struct ViewRect {
  int32 left;
  int32 top;
  int32 right;
  int32 bottom;
};

struct IPlugFrame;

struct IPlugView : FUnknown {
  static constexpr Uid iid = MakeUid(0x5BC32507, 0xD06049EA, 0xA6151B52, 0x2B755B29);
  virtual tresult VST3_CALL isPlatformTypeSupported(FIDString type) = 0;
  virtual tresult VST3_CALL attached(void* parent, FIDString type) = 0;
  virtual tresult VST3_CALL removed() = 0;
  virtual tresult VST3_CALL onWheel(float distance) = 0;
  virtual tresult VST3_CALL onKeyDown(char16 key, int16 keyCode, int16 modifiers) = 0;
  virtual tresult VST3_CALL onKeyUp(char16 key, int16 keyCode, int16 modifiers) = 0;
  virtual tresult VST3_CALL getSize(ViewRect* size) = 0;
  virtual tresult VST3_CALL onSize(ViewRect* newSize) = 0;
  virtual tresult VST3_CALL onFocus(TBool state) = 0;
  virtual tresult VST3_CALL setFrame(IPlugFrame* frame) = 0;
  virtual tresult VST3_CALL canResize() = 0;
  virtual tresult VST3_CALL checkSizeConstraint(ViewRect* rect) = 0;
};

// Asked of a view: the host tells the display scale it shows the view at.
struct IPlugViewContentScaleSupport : FUnknown {
  static constexpr Uid iid = MakeUid(0x65ED9690, 0x8AC44525, 0x8AADEF7A, 0x72EA703F);
  virtual tresult VST3_CALL setContentScaleFactor(float factor) = 0;
};

struct IPlugFrame : FUnknown {
  static constexpr Uid iid = MakeUid(0x367FAF01, 0xAFA94693, 0x8D4DA2A0, 0xED0882A3);
  virtual tresult VST3_CALL resizeView(IPlugView* view, ViewRect* newSize) = 0;
};

struct IEventHandler : FUnknown {
  static constexpr Uid iid = MakeUid(0x561E65C9, 0x13A0496F, 0x813A2C35, 0x654D7983);
  virtual void VST3_CALL onFDIsSet(int fd) = 0;
};

struct ITimerHandler : FUnknown {
  static constexpr Uid iid = MakeUid(0x10BDD94F, 0x41424774, 0x821FAD8F, 0xECA72CA9);
  virtual void VST3_CALL onTimer() = 0;
};

// The host's event loop on Linux, reached through the frame. It keeps a counted reference to each
// handler until the handler is unregistered.
struct IRunLoop : FUnknown {
  static constexpr Uid iid = MakeUid(0x18C35366, 0x97764F1A, 0x9C5B8385, 0x7A871389);
  virtual tresult VST3_CALL registerEventHandler(IEventHandler* handler, int fd) = 0;
  virtual tresult VST3_CALL unregisterEventHandler(IEventHandler* handler) = 0;
  virtual tresult VST3_CALL registerTimer(ITimerHandler* handler, uint64 milliseconds) = 0;
  virtual tresult VST3_CALL unregisterTimer(ITimerHandler* handler) = 0;
};

static_assert(sizeof(ViewRect) == 16);

} // namespace vst3
