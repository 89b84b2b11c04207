#include "platform/EditorWindowHeadless.h"

#include "platform/WindowImage.h"

#include <algorithm>
#include <cstring>

THeadlessEditorWindow::THeadlessEditorWindow(const TEditorWindowParams& params,
                                             TEditorWindowClient& client, TMillisecondClock clock)
    : FClient(client), FClock(std::move(clock)),
      FParent(params.Parent), FBounds{0, 0, std::max(params.Width, 0), std::max(params.Height, 0)},
      FScreen(size_t(ClientWidth()) * size_t(ClientHeight()) * 4) {}

THeadlessEditorWindow::~THeadlessEditorWindow() = default;

void THeadlessEditorWindow::Place(int32_t left, int32_t top, int32_t width, int32_t height) {
  if (!FAlive)
    return;
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (width != ClientWidth() || height != ClientHeight())
    FScreen.assign(size_t(width) * size_t(height) * 4, 0);
  FBounds = {left, top, left + width, top + height};
}

void THeadlessEditorWindow::Invalidate(const TRect& rect) {
  if (FAlive)
    FDirty = IntersectRect(UnionRect(FDirty, rect), {0, 0, ClientWidth(), ClientHeight()});
}

void THeadlessEditorWindow::Update() {
  if (!FAlive || FPainting || IsEmptyRect(FDirty))
    return;
  const TRect dirty = FDirty;
  FDirty = {};
  FPainting = true;
  ++FPaints;
  FClient.WindowPaint(dirty);
  FPainting = false;
}

void THeadlessEditorWindow::CopyToScreen(TWindowImage& image, const TRect& source, TPoint origin) {
  if (!FAlive)
    return;
  const TRect inImage = IntersectRect(source, {0, 0, image.Width(), image.Height()});
  const TRect r = IntersectRect(OffsetRect(inImage, origin), {0, 0, ClientWidth(), ClientHeight()});
  if (IsEmptyRect(r))
    return;
  FCopies.push_back(r);
  const size_t rowBytes = size_t(r.Right - r.Left) * 4;
  for (int32_t y = r.Top; y < r.Bottom; ++y) {
    const size_t imageRow = size_t(image.Height() - 1 - (y - origin.Y));
    const uint8_t* from =
        image.Bits() + (imageRow * size_t(image.Width()) + size_t(r.Left - origin.X)) * 4;
    std::memcpy(&FScreen[(size_t(y) * size_t(ClientWidth()) + r.Left) * 4], from, rowBytes);
  }
}

bool THeadlessEditorWindow::StartTimer(uint32_t id, uint32_t intervalMs) {
  return FAlive && FTimers.Start(id, intervalMs, FClock());
}

void THeadlessEditorWindow::ProcessEvents() {
  while (FAlive && !FQueue.empty()) {
    const TWindowMouseEvent event = FQueue.front();
    FQueue.pop_front();
    FClient.WindowMouse(event);
  }
  if (!FAlive)
    return;
  for (uint32_t id : FTimers.TakeDue(FClock()))
    if (FAlive && FTimers.Running(id))
      FClient.WindowTimer(id);
}

void THeadlessEditorWindow::DestroyFromOutside() {
  if (!FAlive)
    return;
  FAlive = false;
  FVisible = false;
  FCaptured = false;
  FQueue.clear();
  FTimers = {};
  FClient.WindowDestroyed();
}

TEditorWindowFactory HeadlessEditorWindowFactory(TMillisecondClock clock) {
  return [clock](const TEditorWindowParams& params,
                 TEditorWindowClient& client) -> std::unique_ptr<TEditorWindow> {
    if (!params.Parent)
      return nullptr;
    return std::make_unique<THeadlessEditorWindow>(params, client, clock);
  };
}
