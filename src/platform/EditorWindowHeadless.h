// The headless editor window: the whole window protocol in memory. The "screen" is a top-down
// BGRA picture that CopyToScreen writes, input is posted by the caller, and timers run from a
// clock the caller may supply.
#pragma once

#include "platform/EditorWindow.h"
#include "platform/WindowTimers.h"

#include <deque>
#include <vector>

class THeadlessEditorWindow final : public TEditorWindow {
public:
  THeadlessEditorWindow(const TEditorWindowParams& params, TEditorWindowClient& client,
                        TMillisecondClock clock);
  ~THeadlessEditorWindow() override;

  void* NativeHandle() const override { return const_cast<THeadlessEditorWindow*>(this); }
  bool Alive() const override { return FAlive; }
  void Show() override { FVisible = FAlive; }
  void Place(int32_t left, int32_t top, int32_t width, int32_t height) override;
  int32_t ClientWidth() const override { return FBounds.Right - FBounds.Left; }
  int32_t ClientHeight() const override { return FBounds.Bottom - FBounds.Top; }
  void Invalidate(const TRect& rect) override;
  void Update() override;
  void CopyToScreen(TWindowImage& image, const TRect& source, TPoint origin) override;
  void SetCapture() override { FCaptured = FAlive; }
  void ReleaseCapture() override { FCaptured = false; }
  bool StartTimer(uint32_t id, uint32_t intervalMs) override;
  void StopTimer(uint32_t id) override { FTimers.Stop(id); }
  void ProcessEvents() override;

  // --- the caller's side ---
  void Post(const TWindowMouseEvent& event) { FQueue.push_back(event); }
  // The window system destroys the window (its parent went away).
  void DestroyFromOutside();

  void* Parent() const { return FParent; }
  bool Visible() const { return FVisible; }
  bool Captured() const { return FCaptured; }
  TRect Bounds() const { return FBounds; }
  // Width * Height pixels of 4 bytes (blue, green, red, alpha), top row first.
  const std::vector<uint8_t>& Screen() const { return FScreen; }
  // The rectangles of the window copied to since the last ClearCopies.
  const std::vector<TRect>& Copies() const { return FCopies; }
  void ClearCopies() { FCopies.clear(); }
  int PaintCount() const { return FPaints; }

private:
  TEditorWindowClient& FClient;
  TMillisecondClock FClock;
  void* FParent;
  TRect FBounds;
  bool FAlive = true;
  bool FVisible = false;
  bool FCaptured = false;
  bool FPainting = false;
  TRect FDirty{};
  std::deque<TWindowMouseEvent> FQueue;
  TWindowTimers FTimers;
  std::vector<uint8_t> FScreen;
  std::vector<TRect> FCopies;
  int FPaints = 0;
};

// A factory for SetEditorWindowFactory. A null parent is refused, as the window systems do.
TEditorWindowFactory HeadlessEditorWindowFactory(TMillisecondClock clock = MonotonicMilliseconds);
