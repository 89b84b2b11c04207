// What the module needs of an editor window: the editor's toolkit implements it.
#pragma once

#include <cstdint>

class TCustomEditorForm {
public:
  virtual ~TCustomEditorForm() = default; // destroys the window

  // Makes the window a visible, borderless child of the host's window at (0, 0), keeping its
  // own size. hostData is the value argument of effEditOpen (some hosts pass their display).
  // False, with no window made, when the window system refuses the parent.
  virtual bool Embed(void* parentWindow, intptr_t hostData) = 0;
  // The window system's handle of the editor's own window (an X11 Window id, an HWND), or null
  // while there is none.
  virtual void* WindowHandle() const { return nullptr; }
  // The window's size on the screen, in pixels (the editor's size times its display scale).
  virtual int ClientWidth() const = 0;
  virtual int ClientHeight() const = 0;
  // The host's display scale for the editor (screen pixels per pixel of the editor's design),
  // or 0 when the host says none. Given before Embed and whenever the host changes it; the
  // window takes its new size at once (ClientWidth and ClientHeight report it).
  virtual void SetHostScale(double /*scale*/) {}
  // Asks the window system to repaint the whole window.
  virtual void Invalidate() = 0;
  // The window system's share of an idle call: first the queued input, exposure and timers,
  // at the end the paint of whatever is invalid by then.
  virtual void ProcessMessages() = 0;
  virtual void Update() = 0;

  // Parameter index has changed, or the editor has just been opened: the editor brings what
  // shows that parameter up to the module's stored value. A control moved here reacts as it
  // does to the user, so a value the control cannot show is set to the nearest one it can.
  // An editor that shows no parameter ignores this and the next.
  virtual void ParameterChanged(int32_t /*index*/) {}
  // Parameters changed on another thread since the last idle call: the editor shows every
  // stored value, and showing one sets nothing.
  virtual void ShowParameters() {}
  // A file descriptor that becomes readable when the window has input for ProcessMessages, for
  // hosts that watch descriptors; -1 when there is none.
  virtual int EventDescriptor() const { return -1; }
};
