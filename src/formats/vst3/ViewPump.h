// What keeps an attached editor view turning: on Linux a timer and the editor's connection
// registered with the host's run loop, on Windows an idle timer on the host's message loop.
// The pump calls the view's Idle on the host's user-interface thread only, and never after it is
// destroyed.
#pragma once

#include "formats/vst3/Vst3Base.h"

#include <memory>
#include <string>

class TEditorView;

class TViewPump {
public:
  virtual ~TViewPump() = default;
};

inline constexpr uint32_t kViewIdleMilliseconds = 20;

// Starts the pump for view, whose editor's connection is descriptor (-1: none). frame and
// handler are the host's objects that may offer its run loop. Null, with the reason in whyNot,
// when the host offers nothing that could drive the view.
std::unique_ptr<TViewPump> StartViewPump(TEditorView& view, vst3::FUnknown* frame,
                                         vst3::FUnknown* handler, int descriptor,
                                         std::string& whyNot);
