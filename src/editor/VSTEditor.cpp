#include "editor/VSTEditor.h"

#include "editor/EditorArtwork.h"
#include "platform/Rounding.h"
#include "platform/Settings.h"
#include "skin/DisplayScale.h"
#include "skin/cDIBData.h"

#include <algorithm>
#include <climits>
#include <utility>

namespace {

struct TImageDescription {
  const char* DisplayName;
  bool Transparent;
  TColor TransparentColor;
  TTransparentMode TransparentMode;
  std::span<const uint8_t> (*Data)();
};

const TImageDescription kImages[] = {
    {"Zintrax", false, 7644862, tmAuto, EditorBackgroundData},
    {"Knob", true, clBlack, tmFixed, EditorDotData},
    {"KnobBG", true, clBlack, tmFixed, EditorKnobData},
};

constexpr const char* kShuffle4RLE = "{CABA9056-7349-43A4-B010-3764FBFAC230}";

// What a control shows for a value: rounded to the nearest integer, halves to even.
int64_t Rounded(double v) {
  return int64_t(std::clamp(RoundHalfEven(v), -9.0e18, 9.0e18));
}

// Each knob's Position and its parameter, one conversion beside its inverse: converting a
// Position to a value and back gives the same Position for every Position of both knobs.
// Distance: Position 0..10000 is 50..750 cm in steps of 0.07 cm.
long double DistanceOfPosition(int32_t position) {
  return (long double)position / 100 * 7 + 50;
}
int64_t PositionOfDistance(float distance) {
  return Rounded((double(distance) - 50.0) * 100.0 / 7.0);
}
// Feeding: Position 0..400 is 1.00..5.00 in steps of 0.01.
long double FeedingOfPosition(int32_t position) {
  return (long double)(position + 100) / 100;
}
int64_t PositionOfFeeding(float feeding) {
  return Rounded(double(feeding) * 100.0) - 100;
}

// The pad: a point of the pad, limited to it, is X-Axis and Y-Axis from 0 (left, top) to 1; the
// puck's corner runs over the pad's extent less 6 pixels, from 6 pixels before the pad's start.
float AxisOfPoint(int point, int extent) {
  return float((long double)std::clamp(point, 0, extent) / extent);
}
int64_t PuckOfAxis(float axis, int padStart, int padExtent) {
  return Rounded(double(axis) * (padExtent - 6) + padStart - 6);
}

void ShowPosition(TDIBDial& dial, int64_t position) {
  if (position != dial.Position())
    dial.SetPosition(int32_t(std::clamp<int64_t>(position, INT32_MIN, INT32_MAX)));
}

// Each parameter's range, for the wheel's steps: one notch is a hundredth of it, a thousandth
// with Shift.
struct TRange {
  double Min, Max;
};
constexpr TRange kRanges[kZintraxParameterCount] = {{50, 750}, {1, 5}, {0, 1}, {0, 1}};

constexpr uint32_t kHoverMs = 500;
constexpr long double kFineDivisor = 10; // Shift slows a drag to a tenth
constexpr int kReadoutGap = 3;           // between a control and its read-out

// "Editor Scale" of the settings, or 0.
double ForcedScale() {
  try {
    return ParseDisplayScale(TSettingsStore().ReadString("Editor Scale").c_str());
  } catch (...) {
    return 0.0; // an unreadable store forces nothing
  }
}

} // namespace

TVSTEditorForm::TVSTEditorForm() : TForm(nullptr) {
  ReadLayout();
  FormCreate(this);
  FForcedScale = ForcedScale();
  SetDisplayScale(ChosenScale());
  DIBImageList->ScaledImage = [this](int index, double scale) {
    return FArtwork.Picture(TArtworkPicture(index), scale);
  };
  ZinGround->AfterPaint = [this](TObject*, TAbstractSuperDIB& buffer) {
    FReadout.Paint(buffer, DisplayScale(), FArtwork.Picture(apReadout, DisplayScale()));
    ZinGround->HookDrewOnly(FReadout.Bounds());
  };
  FHoverTimer = RegisterTimer(*this);
  for (TCustomDIBControl* c :
       {static_cast<TCustomDIBControl*>(DistanceDial), static_cast<TCustomDIBControl*>(FeedDial),
        static_cast<TCustomDIBControl*>(KnobRange)}) {
    c->OnMouseEnter = [this](TObject* Sender) { HoverEntered(Sender); };
    c->OnMouseLeave = [this](TObject* Sender) { HoverLeft(Sender); };
  }
  for (TDIBDial* d : {DistanceDial, FeedDial}) {
    d->ShiftDragDivisor = kFineDivisor;
    d->OnMouseMove = [this](TObject* Sender, TShiftState, int, int) { HoverMoved(Sender); };
    d->OnMouseWheel = [this](TObject* Sender, TShiftState Shift, int Notches, int, int) {
      WheelStep(Sender, Shift, Notches);
    };
    d->OnDblClick = [this](TObject* Sender) {
      ResetToDefaults({Sender == DistanceDial ? zpDistance : zpFeeding});
    };
  }
  KnobRange->OnDblClick = [this](TObject*) {
    ResetToDefaults({zpXAxis, zpYAxis});
    FPadReset = true;
  };
}

TVSTEditorForm::~TVSTEditorForm() {
  try {
    EndAllEdits();
  } catch (...) {
    // The host's answer to a notice changes nothing here.
  }
  UnregisterTimer(FHoverTimer);
  DestroyComponents();
}

// The layout: components parent first, children bottom to top, with their property values.
void TVSTEditorForm::ReadLayout() {
  BeginLoading();
  Name = "VSTEditorForm";
  SetBounds(500, 238, 298, 223);
  BorderStyle = bsNone;
  Caption = "Zintrax";
  Color = clBtnFace;
  Font = {"MS Sans Serif", -11, clWindowText, 1};
  PixelsPerInch = 96;
  TextHeight = 13;
  OldCreateOrder = false;
  HorzScrollBarVisible = false;
  VertScrollBarVisible = false;

  ZinGround = new TDIBImageContainer(this);
  ZinGround->Name = "ZinGround";
  ZinGround->SetParent(this);
  ZinGround->SetBounds(0, 0, 298, 223);
  ZinGround->SetAlign(alClient);
  ZinGround->SetTileMethod(tmCenter);
  ZinGround->BorderDrawPosition = bdOverControls;
  ZinGround->Color = clBlack;
  ZinGround->TabOrder = 0;
  ZinGround->UseDockManager = true;

  const auto image = [this](const char* name, int left, int top, int width, int height) {
    auto* i = new TDIBImage(this);
    i->Name = name;
    i->SetParent(ZinGround);
    i->SetBounds(left, top, width, height);
    i->SetAngle(0);
    i->SetCenter(false);
    i->SetScale(100.0L);
    i->SetStretch(false);
    i->SetOpacity(255);
    i->Accelerator = ' ';
    i->DIBTabOrder = -1;
    return i;
  };
  Knob = image("Knob", 192, 104, 15, 15);

  const auto dial = [this](const char* name, int left, int top, int max, int position,
                           long double horizontal, long double vertical) {
    auto* d = new TDIBDial(this);
    d->Name = name;
    d->SetParent(ZinGround);
    d->SetBounds(left, top, 71, 68);
    d->SetAutoSize(true);
    d->SetMin(0);
    d->SetMax(max);
    d->SetPosition(position);
    d->MouseControlStyle = mcsLinear;
    d->MouseLinearSensitivity = mlsBoth;
    d->SetHorizontalPixelsPerPosition(horizontal);
    d->SetVerticalPixelsPerPosition(vertical);
    d->PointerAngles().SetStart(220);
    d->PointerAngles().SetRange(280);
    d->PointerAngles().SetResolution(280.0L);
    d->PointerOpacities().SetActive(200);
    d->PointerOpacities().SetNormal(255);
    d->SetPointerRadius(24);
    d->SetPointerNumGlyphs(1);
    d->SetPointerRotate(false);
    d->SetOpacity(255);
    d->Accelerator = ' ';
    d->DIBTabOrder = -1;
    return d;
  };
  const auto holdEvents = [this](TDIBDial* d) {
    d->OnMouseDown = [this](TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) {
      DialMouseDown(Sender, Button, Shift, X, Y);
    };
    d->OnMouseUp = [this](TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) {
      DialMouseUp(Sender, Button, Shift, X, Y);
    };
  };
  DistanceDial = dial("DistanceDial", 14, 83, 10000, 4999, 0.35L, 0.035L);
  DistanceDial->OnChange = [this](TObject* Sender) { DistanceDialChange(Sender); };
  holdEvents(DistanceDial);

  KnobRange = image("KnobRange", 152, 77, 142, 142);
  KnobRange->OnMouseDown = [this](TObject* Sender, TMouseButton Button, TShiftState Shift, int X,
                                  int Y) { KnobRangeMouseDown(Sender, Button, Shift, X, Y); };
  KnobRange->OnMouseMove = [this](TObject* Sender, TShiftState Shift, int X, int Y) {
    KnobRangeMouseMove(Sender, Shift, X, Y);
  };
  KnobRange->OnMouseUp = [this](TObject* Sender, TMouseButton Button, TShiftState Shift, int X,
                                int Y) { KnobRangeMouseUp(Sender, Button, Shift, X, Y); };

  DIBImageList = new TDIBImageList(this);
  DIBImageList->Name = "DIBImageList";
  for (const TImageDescription& d : kImages) {
    TDIBImagesItem& item = DIBImageList->DIBImages().Add();
    item.DisplayName = d.DisplayName;
    TMemoryDIB& image = item.StoredDIB();
    image.BeginUpdate();
    image.SetAngle(0);
    image.SetAutoSize(false);
    image.SetMasked(false);
    image.SetOpacity(255);
    image.SetScale(100.0);
    image.SetTransparent(d.Transparent);
    image.SetTransparentColor(d.TransparentColor);
    image.SetTransparentMode(d.TransparentMode);
    const std::span<const uint8_t> block = d.Data();
    ReadDIBData(image, block.data(), block.size());
    image.EndUpdate();
  }

  FeedDial = dial("FeedDial", 63, 145, 400, 1, 3.5L, 0.35L);
  FeedDial->OnChange = [this](TObject* Sender) { FeedDialChange(Sender); };
  holdEvents(FeedDial);

  DIBSettings.SetDIBCompressor(kShuffle4RLE);

  // References to the image list are resolved once every component exists.
  ZinGround->SetDIBImageList(DIBImageList);
  ZinGround->IndexImage().SetDIBIndex(0);
  Knob->SetDIBImageList(DIBImageList);
  Knob->IndexMain().SetDIBIndex(1);
  for (TDIBDial* d : {DistanceDial, FeedDial}) {
    d->SetDIBImageList(DIBImageList);
    d->IndexMain().SetDIBIndex(2);
    d->IndexPointer().SetDIBIndex(1);
  }
  EndLoading();
}

void TVSTEditorForm::FormCreate(TObject*) {
  EffectModule = nullptr;
}

void TVSTEditorForm::SetHostScale(double scale) {
  FHostScale = scale > 0 ? scale : 0.0;
  SetDisplayScale(ChosenScale());
}

double TVSTEditorForm::ChosenScale() const {
  if (FForcedScale > 0)
    return NearestDisplayScale(FForcedScale);
  if (FHostScale > 0)
    return NearestDisplayScale(FHostScale);
  if (const double desktop = Window() ? Window()->SystemScale() : 0.0; desktop > 0)
    return NearestDisplayScale(desktop);
  return 1.0;
}

bool TVSTEditorForm::Embed(void* parentWindow, intptr_t hostData) {
  if (!CreateWindowIn(parentWindow, hostData))
    return false;
  SetDisplayScale(ChosenScale()); // the desktop's scale is known once there is a window
  BorderStyle = bsNone;
  SetBounds(0, 0, Width(), Height());
  ShowWindow();
  return true;
}

// Each control is written only when what it should show differs from what it shows.
void TVSTEditorForm::ParameterChanged(int32_t index) {
  if (!EffectModule)
    return;
  switch (index) {
  case zpDistance:
    ShowPosition(*DistanceDial, PositionOfDistance(EffectModule->GetParameterValue(zpDistance)));
    break;
  case zpFeeding:
    ShowPosition(*FeedDial, PositionOfFeeding(EffectModule->GetParameterValue(zpFeeding)));
    break;
  case zpXAxis:
  case zpYAxis: {
    const TDIBImage& pad = *KnobRange;
    const int64_t left =
        PuckOfAxis(EffectModule->GetParameterValue(zpXAxis), pad.Left(), pad.Width());
    if (left != Knob->Left())
      Knob->SetLeft(int(std::clamp<int64_t>(left, -32768, 32767)));
    const int64_t top =
        PuckOfAxis(EffectModule->GetParameterValue(zpYAxis), pad.Top(), pad.Height());
    if (top != Knob->Top())
      Knob->SetTop(int(std::clamp<int64_t>(top, -32768, 32767)));
    break;
  }
  default:
    break;
  }
  if (FReadoutTarget != rtNone)
    ShowReadout(FReadoutTarget);
}

void TVSTEditorForm::ShowParameters() {
  const bool outer = !FShowingValues;
  FShowingValues = true;
  try {
    for (int32_t index = 0; index < kZintraxParameterCount; ++index)
      ParameterChanged(index);
  } catch (...) {
    if (outer)
      FShowingValues = false;
    throw;
  }
  if (outer)
    FShowingValues = false;
}

void TVSTEditorForm::WindowDestroyed() {
  EndAllEdits();
  TForm::WindowDestroyed();
}

// The comparisons below are made in single precision, as the value is stored: a knob that
// fires its change event without moving (every mouse move of a drag does) sets nothing.
void TVSTEditorForm::DistanceDialChange(TObject*) {
  if (!EffectModule || FShowingValues)
    return;
  const long double v = DistanceOfPosition(DistanceDial->Position());
  if (float(v) != EffectModule->GetParameterValue(zpDistance))
    EffectModule->SetParameterValue(zpDistance, float(v));
}

void TVSTEditorForm::FeedDialChange(TObject*) {
  if (!EffectModule || FShowingValues)
    return;
  const long double v = FeedingOfPosition(FeedDial->Position());
  if (float(v) != EffectModule->GetParameterValue(zpFeeding))
    EffectModule->SetParameterValue(zpFeeding, float(v));
}

// A knob turns while the left button holds it, its read-out beside it.
void TVSTEditorForm::DialMouseDown(TObject* Sender, TMouseButton Button, TShiftState, int, int) {
  if (Button != mbLeft)
    return;
  BeginEdits({Sender == DistanceDial ? zpDistance : zpFeeding});
  ShowReadout(TargetOf(Sender));
}

void TVSTEditorForm::DialMouseUp(TObject* Sender, TMouseButton Button, TShiftState, int, int) {
  if (Button != mbLeft)
    return;
  EndEdits({Sender == DistanceDial ? zpDistance : zpFeeding});
  HideReadout();
  HoverMoved(Sender);
}

void TVSTEditorForm::KnobRangeMouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift,
                                        int X, int Y) {
  if (Button == mbLeft) {
    BeginEdits({zpXAxis, zpYAxis});
    FPadRelative = FPadFine = (Shift & ssShift) != 0;
    FPadAnchorPoint = FPadLastPoint = {X, Y};
    if (EffectModule) {
      FPadAnchorX = EffectModule->GetParameterValue(zpXAxis);
      FPadAnchorY = EffectModule->GetParameterValue(zpYAxis);
    }
    ShowReadout(rtPad);
  }
  KnobRangeMouseMove(Sender, Shift, X, Y);
  Knob->SetOpacity(175);
}

void TVSTEditorForm::KnobRangeMouseMove(TObject* Sender, TShiftState Shift, int X, int Y) {
  if (!(Shift & ssLeft))
    HoverMoved(Sender);
  if ((Shift & ~ssShift) != ssLeft || !EffectModule || FPadReset || MovePadRelative(Shift, X, Y))
    return;
  EffectModule->SetParameterValue(zpXAxis, AxisOfPoint(X, KnobRange->Width()));
  EffectModule->SetParameterValue(zpYAxis, AxisOfPoint(Y, KnobRange->Height()));
}

// Once Shift is pressed or released during a pad drag, the puck follows the pointer's movement
// from where it stood at that moment, at a tenth of it while Shift is held. False while the drag
// is plain: the puck then goes to the pointer.
bool TVSTEditorForm::MovePadRelative(TShiftState Shift, int X, int Y) {
  const bool fine = (Shift & ssShift) != 0;
  const TPoint last = std::exchange(FPadLastPoint, TPoint{X, Y});
  if (fine != FPadFine) {
    FPadAnchorPoint = last;
    FPadAnchorX = EffectModule->GetParameterValue(zpXAxis);
    FPadAnchorY = EffectModule->GetParameterValue(zpYAxis);
    FPadFine = fine;
    FPadRelative = true;
  }
  if (!FPadRelative)
    return false;
  const double speed = fine ? 1.0 / double(kFineDivisor) : 1.0;
  const auto axis = [speed](float anchor, int moved, int extent) {
    return float(std::clamp(double(anchor) + moved * speed / extent, 0.0, 1.0));
  };
  EffectModule->SetParameterValue(zpXAxis,
                                  axis(FPadAnchorX, X - FPadAnchorPoint.X, KnobRange->Width()));
  EffectModule->SetParameterValue(zpYAxis,
                                  axis(FPadAnchorY, Y - FPadAnchorPoint.Y, KnobRange->Height()));
  return true;
}

void TVSTEditorForm::KnobRangeMouseUp(TObject* Sender, TMouseButton Button, TShiftState, int, int) {
  if (Button == mbLeft) {
    EndEdits({zpXAxis, zpYAxis});
    FPadRelative = FPadFine = FPadReset = false;
    HideReadout();
    HoverMoved(Sender);
  }
  Knob->SetOpacity(255);
}

// One gesture per notch, each a hundredth of the range (a thousandth with Shift).
void TVSTEditorForm::WheelStep(TObject* Sender, TShiftState Shift, int Notches) {
  const int32_t index = Sender == DistanceDial ? zpDistance : zpFeeding;
  if (!EffectModule || FEditing[size_t(index)])
    return;
  const TRange& range = kRanges[index];
  const double step = (range.Max - range.Min) * ((Shift & ssShift) ? 0.001 : 0.01);
  for (int notch = 0; notch < std::abs(Notches); ++notch) {
    const double value =
        std::clamp(double(EffectModule->GetParameterValue(index)) + (Notches > 0 ? step : -step),
                   range.Min, range.Max);
    BeginEdits({index});
    EffectModule->SetParameterValue(index, float(value));
    EndEdits({index});
  }
}

// A double-click: the parameters go to their defaults inside the gesture of the press.
void TVSTEditorForm::ResetToDefaults(std::initializer_list<int32_t> parameters) {
  if (!EffectModule)
    return;
  BeginEdits(parameters);
  for (int32_t index : parameters)
    EffectModule->SetParameterValue(index, EffectModule->DefaultValue(index));
}

void TVSTEditorForm::BeginEdits(std::initializer_list<int32_t> parameters) {
  if (!EffectModule)
    return;
  for (int32_t index : parameters)
    if (!std::exchange(FEditing[size_t(index)], true))
      EffectModule->BeginEdit(index);
}

void TVSTEditorForm::EndEdits(std::initializer_list<int32_t> parameters) {
  if (!EffectModule)
    return;
  for (int32_t index : parameters)
    if (std::exchange(FEditing[size_t(index)], false))
      EffectModule->EndEdit(index);
}

void TVSTEditorForm::EndAllEdits() {
  EndEdits({zpDistance, zpFeeding, zpXAxis, zpYAxis});
}

// --- the read-out --------------------------------------------------------------------------

TVSTEditorForm::TReadoutTarget TVSTEditorForm::TargetOf(TObject* control) const {
  if (control == DistanceDial)
    return rtDistance;
  if (control == FeedDial)
    return rtFeeding;
  return control == KnobRange ? rtPad : rtNone;
}

bool TVSTEditorForm::Holding() const {
  return std::find(FEditing.begin(), FEditing.end(), true) != FEditing.end();
}

void TVSTEditorForm::HoverEntered(TObject* Sender) {
  FHoverTarget = TargetOf(Sender);
  if (!Holding())
    StartTimer(FHoverTimer, kHoverMs);
}

void TVSTEditorForm::HoverLeft(TObject* Sender) {
  if (FHoverTarget == TargetOf(Sender))
    FHoverTarget = rtNone;
  StopTimer(FHoverTimer);
  if (!Holding())
    HideReadout();
}

// The pointer moves over a control without holding it: the read-out waits for it to rest.
void TVSTEditorForm::HoverMoved(TObject* Sender) {
  if (Holding() || FHoverTarget != TargetOf(Sender) || FReadoutTarget == FHoverTarget)
    return;
  StartTimer(FHoverTimer, kHoverMs);
}

void TVSTEditorForm::FormTimerTick() {
  StopTimer(FHoverTimer);
  if (!Holding() && FHoverTarget != rtNone)
    ShowReadout(FHoverTarget);
}

// The value as the host shows it, on a plate beside the knob (right of Distance, left of
// Feeding, over their labels) or inside the pad on the half the puck is not in.
void TVSTEditorForm::ShowReadout(TReadoutTarget target) {
  if (!EffectModule || target == rtNone)
    return;
  const auto value = [this](int32_t index, int decimals) {
    std::string text = FixedText(EffectModule->GetParameterValue(index), decimals);
    const std::string label = EffectModule->ParamLabel(index);
    return label.empty() ? text : text + " " + label;
  };
  std::string text;
  TPoint place;
  const TRect pad = KnobRange->BoundsRect();
  switch (target) {
  case rtDistance: {
    text = value(zpDistance, 1);
    const TRect knob = DistanceDial->BoundsRect();
    place = {knob.Right + kReadoutGap, (knob.Top + knob.Bottom - TEditorReadout::Size(text).Y) / 2};
    break;
  }
  case rtFeeding: {
    text = value(zpFeeding, 2);
    const TRect knob = FeedDial->BoundsRect();
    const TPoint size = TEditorReadout::Size(text);
    place = {knob.Left - kReadoutGap - size.X, (knob.Top + knob.Bottom - size.Y) / 2};
    break;
  }
  case rtPad:
  case rtNone: {
    text = "X " + FixedText(EffectModule->GetParameterValue(zpXAxis), 2) + "  Y " +
           FixedText(EffectModule->GetParameterValue(zpYAxis), 2);
    const TPoint size = TEditorReadout::Size(text);
    const bool puckBelow = Knob->Top() + Knob->Height() / 2 > (pad.Top + pad.Bottom) / 2;
    place = {(pad.Left + pad.Right - size.X) / 2,
             puckBelow ? pad.Top + kReadoutGap : pad.Bottom - kReadoutGap - size.Y};
    break;
  }
  }
  const TRect before = FReadout.Bounds();
  if (FReadout.Visible() && FReadout.Text() == text && before.Left == place.X &&
      before.Top == place.Y)
    return;
  FReadout.Show(std::move(text), place);
  FReadoutTarget = target;
  ZinGround->InvalidateRect(UnionRect(before, FReadout.Bounds()));
}

void TVSTEditorForm::HideReadout() {
  if (!FReadout.Visible())
    return;
  const TRect before = FReadout.Bounds();
  FReadout.Hide();
  FReadoutTarget = rtNone;
  ZinGround->InvalidateRect(before);
}
