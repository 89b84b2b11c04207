#include "skin/cDIBControl.h"

#include "skin/DisplayScale.h"
#include "skin/cDIBPanel.h"

#include <algorithm>

namespace {

// The owner itself when it is a container, else the first container among its components.
TCustomDIBContainer* FindContainer(TComponent* component) {
  if (auto* container = dynamic_cast<TCustomDIBContainer*>(component))
    return container;
  for (TComponent* c : component->Components())
    if (auto* container = dynamic_cast<TCustomDIBContainer*>(c))
      return container;
  return nullptr;
}

bool Templatable(const TPublishedProperty& p) {
  switch (p.Kind) {
  case tkInteger:
  case tkChar:
  case tkEnumeration:
  case tkFloat:
  case tkString:
  case tkSet:
  case tkWChar:
  case tkLString:
  case tkWString:
  case tkInt64:
    return true;
  case tkClass:
    return !p.IsComponent;
  default:
    return false;
  }
}

constexpr TPublishedProperty kControlProperties[] = {
    {"Left", tkInteger},          {"Top", tkInteger},          {"Width", tkInteger},
    {"Height", tkInteger},        {"Opacity", tkInteger},      {"DIBImageList", tkClass, true},
    {"Children", tkClass},        {"DIBFeatures", tkClass},    {"DIBTabOrder", tkInteger},
    {"Accelerator", tkChar},      {"Align", tkEnumeration},    {"Anchors", tkSet},
    {"Enabled", tkEnumeration},   {"Hint", tkLString},         {"ParentShowHint", tkEnumeration},
    {"PopupMenu", tkClass, true}, {"ShowHint", tkEnumeration}, {"Tag", tkInteger},
    {"Visible", tkEnumeration},   {"OnEnter", tkMethod},       {"OnExit", tkMethod},
    {"OnMouseDown", tkMethod},    {"OnMouseEnter", tkMethod},  {"OnMouseLeave", tkMethod},
    {"OnMouseMove", tkMethod},    {"OnMouseUp", tkMethod},
};

} // namespace

const TPublishedProperty* TPublishedProperties::Find(std::string_view name) const {
  for (const TPublishedProperties* table = this; table; table = table->Inherited)
    for (const TPublishedProperty& p : table->Own)
      if (p.Name == name)
        return &p;
  return nullptr;
}

// --- TDIBTimer -----------------------------------------------------------------------------

TDIBTimer::TDIBTimer(TControl* owner) : TComponent(owner), FControl(owner) {}

TDIBTimer::~TDIBTimer() {
  Halt();
}

void TDIBTimer::SetEnabled(bool value) {
  FEnabled = value;
  Restart();
}

void TDIBTimer::SetInterval(uint32_t value) {
  FInterval = value;
  Restart();
}

void TDIBTimer::SetOnTimer(TNotifyEvent handler) {
  FOnTimer = std::move(handler);
  Restart();
}

void TDIBTimer::Halt() {
  if (FForm)
    FForm->UnregisterTimer(FId);
  FForm = nullptr;
}

void TDIBTimer::Restart() {
  Halt();
  if (!FEnabled || FInterval == 0 || !FOnTimer)
    return;
  TCustomForm* form = GetParentForm(FControl);
  if (!form)
    return;
  const uint32_t id = form->RegisterTimer(*this);
  if (!form->StartTimer(id, FInterval)) {
    form->UnregisterTimer(id);
    FEnabled = false;
    throw EOutOfResources("Nicht genügend Timer verfügbar");
  }
  FForm = form;
  FId = id;
}

void TDIBTimer::FormTimerTick() {
  if (FOnTimer)
    FOnTimer(this);
}

// --- TCustomDIBControl ---------------------------------------------------------------------

const TPublishedProperties& TCustomDIBControl::PublishedProperties() {
  static const TPublishedProperties table{kControlProperties, nullptr};
  return table;
}

TCustomDIBControl::TCustomDIBControl(TComponent* owner) : TControl(owner) {
  if (!owner)
    throw Exception("Owner cannot be nil");
  if (!FindContainer(owner))
    throw Exception("Parent must be a TDIBContainer");
  FRepeatTimer = new TDIBTimer(this);
  FRepeatTimer->SetOnTimer([this](TObject*) { RepeatTick(); });
  TControl::SetBounds(0, 0, 32, 32);
  RegisterTemplateProperty("Width", PublishedProperties());
  RegisterTemplateProperty("Height", PublishedProperties());
}

TCustomDIBControl::~TCustomDIBControl() {
  for (auto& link : FImageLinks)
    link->OwnerDestroying();
}

void TCustomDIBControl::RegisterTemplateProperty(std::string_view name,
                                                 const TPublishedProperties& properties) {
  const TPublishedProperty* p = properties.Find(name);
  if (!p)
    throw EDIBControlError("Class " + std::string(ClassName()) + " is trying to register " +
                           std::string(name) +
                           " as a template property, and that property does not exist.");
  if (!Templatable(*p))
    throw EDIBControlError("Attempting to template an invalid property type.");
  FTemplateProperties.emplace_back(name);
}

TDIBImageLink& TCustomDIBControl::AddImageLink() {
  auto link = std::make_unique<TDIBImageLink>(this);
  link->OnChange = [this](TDIBImageLink&, int index, int kind) { ImageChanged(index, kind); };
  link->SetDIBImageList(FDIBImageList);
  FImageLinks.push_back(std::move(link));
  return *FImageLinks.back();
}

void TCustomDIBControl::SetDIBImageList(TCustomDIBImageList* value) {
  FDIBImageList = value;
  FDIBImageListComponent = dynamic_cast<TComponent*>(value);
  for (auto& link : FImageLinks)
    link->SetDIBImageList(value);
}

void TCustomDIBControl::Notification(TComponent* component, TOperation operation) {
  TControl::Notification(component, operation);
  if (operation != opRemove)
    return;
  if (component == FDIBImageListComponent)
    SetDIBImageList(nullptr);
  std::erase_if(FChildren, [component](TControl* c) { return c == component; });
}

void TCustomDIBControl::SetOpacity(uint8_t value) {
  if (value == FOpacity)
    return;
  FOpacity = value;
  Invalidate();
}

void TCustomDIBControl::SetAutoSize(bool value) {
  FAutoSize = value;
  ApplyAutoSize();
}

bool TCustomDIBControl::AutoSizeExtent(int&, int&) {
  return false;
}

void TCustomDIBControl::ApplyAutoSize() {
  if (!FAutoSize)
    return;
  int width = Width(), height = Height();
  if (AutoSizeExtent(width, height))
    SetBounds(Left(), Top(), width, height);
}

void TCustomDIBControl::SetBounds(int left, int top, int width, int height) {
  if (FSettingBounds)
    return;
  FSettingBounds = true;
  const int dx = left - Left(), dy = top - Top();
  try {
    TControl::SetBounds(left, top, width, height);
    if (dx != 0 || dy != 0)
      for (TControl* child : std::vector<TControl*>(FChildren))
        if (child != this)
          child->SetBounds(child->Left() + dx, child->Top() + dy, child->Width(), child->Height());
  } catch (...) {
    FSettingBounds = false;
    throw;
  }
  FSettingBounds = false;
}

void TCustomDIBControl::SetParent(TWinControl* parent) {
  if (parent && !dynamic_cast<TCustomDIBContainer*>(parent)) {
    TCustomDIBContainer* container = nullptr;
    for (TComponent* c : parent->Components())
      if ((container = dynamic_cast<TCustomDIBContainer*>(c)))
        break;
    if (!container)
      throw Exception("Parent must be a TDIBContainer");
    parent = container;
  }
  TControl::SetParent(parent);
}

TCustomDIBContainer* TCustomDIBControl::Container() const {
  return dynamic_cast<TCustomDIBContainer*>(Parent());
}

void TCustomDIBControl::Loaded() {
  TControl::Loaded();
  ApplyAutoSize();
}

void TCustomDIBControl::WndProc(TMessage& message) {
  switch (message.Msg) {
  case msgLButtonDown:
  case msgLButtonDblClk:
    FStoredPress = {message.Msg, message.WParam, message.LParam};
    if (AutoRepeat && !FRepeatTimer->Running()) {
      FRepeatTimer->SetInterval(AutoRepeatInterval);
      FRepeatTimer->SetEnabled(true);
    }
    break;
  case msgMouseMove:
    FStoredPress.WParam = message.WParam;
    FStoredPress.LParam = message.LParam;
    break;
  case msgLButtonUp:
    FRepeatTimer->SetEnabled(false);
    if (FHovered && !FMouseInside)
      MouseLeave();
    break;
  case msgMouseEnter:
    MouseEnter();
    if (MouseCapture()) {
      if (AutoRepeat && !FRepeatTimer->Running())
        FRepeatTimer->SetEnabled(true);
      return;
    }
    break;
  case msgMouseLeave:
    FRepeatTimer->SetEnabled(false);
    MouseLeave();
    return;
  default:
    break;
  }
  TControl::WndProc(message);
}

void TCustomDIBControl::RepeatTick() {
  if (FCancelRepeat) {
    FCancelRepeat = false;
    FRepeatTimer->SetEnabled(false);
    return;
  }
  Perform(FStoredPress.Msg, FStoredPress.WParam, FStoredPress.LParam);
}

void TCustomDIBControl::MouseEnter() {
  if (!FDIBFocused && !FHovered)
    HighlightOn();
  FMouseInside = FHovered = true;
  if (OnMouseEnter)
    OnMouseEnter(this);
}

void TCustomDIBControl::MouseLeave() {
  FMouseInside = false;
  if (MouseCapture())
    return;
  FHovered = false;
  if (OnMouseLeave)
    OnMouseLeave(this);
  if (!FDIBFocused)
    HighlightOff();
}

void TCustomDIBControl::DIBEnter() {
  if (!FDIBFocused && !FHovered)
    HighlightOn();
  FDIBFocused = true;
  if (TCustomDIBContainer* container = Container())
    container->SetActiveControl(this);
  if (OnEnter)
    OnEnter(this);
}

void TCustomDIBControl::DIBExit() {
  FDIBFocused = false;
  if (!FHovered)
    HighlightOff();
  if (OnExit)
    OnExit(this);
}

void TCustomDIBControl::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  FLastShift = shift;
  FPressedButtons |= ButtonBit(button);
  if (DIBTabOrder >= 0)
    DIBEnter();
  TControl::MouseDown(button, shift, x, y);
}

void TCustomDIBControl::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  FLastShift = shift;
  FPressedButtons &= ~ButtonBit(button);
  TControl::MouseUp(button, shift, x, y);
  if (button == mbLeft && FHovered && !FMouseInside)
    MouseLeave();
}

void TCustomDIBControl::PaintStart() {
  if (OnPaintStart)
    OnPaintStart(this);
}

void TCustomDIBControl::PaintEnd() {
  if (OnPaintEnd)
    OnPaintEnd(this);
}

TPoint TCustomDIBControl::PaintSize() const {
  const TRect r = ScaledRect(BoundsRect(), FPaintScale);
  return {r.Right - r.Left, r.Bottom - r.Top};
}

bool TCustomDIBControl::PaintOnto(TAbstractSuperDIB& backBuffer, TAbstractSuperDIB& surface,
                                  double scale) {
  // A control that draws nothing, unhooked and opaque, would copy the back buffer onto itself.
  if (!DrawsContent() && !OnPaintStart && !OnPaintEnd && FOpacity == 255)
    return false;
  FSurface = &surface;
  FPaintScale = scale;
  const TRect r = ScaledRect(BoundsRect(), scale);
  const int sx = std::max(r.Left, 0), sy = std::max(r.Top, 0);
  backBuffer.Draw(sx - r.Left, sy - r.Top, sx, sy, surface, r.Bottom - r.Top, r.Right - r.Left);
  try {
    PaintStart();
    DrawContent();
    PaintEnd();
  } catch (...) {
    FSurface = nullptr;
    FPaintScale = 1.0;
    throw;
  }
  surface.SetOpacity(FOpacity);
  surface.Draw(r.Left, r.Top, backBuffer);
  FSurface = nullptr;
  FPaintScale = 1.0;
  return true;
}
