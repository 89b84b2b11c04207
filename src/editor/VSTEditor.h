// The effect's editor: a fixed, borderless skin of 298 x 223 pixels with a background picture,
// two knobs (Distance and Feeding) and an X/Y pad that blends the four cabinets. Its layout is a
// fixed description applied when the form is built; its code is the handlers that turn the
// knobs and the pad into parameter values, and the parameter values back into what they show.
#pragma once

#include "editor/EditorArtworkSet.h"
#include "editor/EditorReadout.h"
#include "effect/ZintraxParameters.h"
#include "framework/DEditorForm.h"
#include "framework/DEditorParameters.h"
#include "skin/Forms.h"
#include "skin/cDIBDial.h"
#include "skin/cDIBImage.h"
#include "skin/cDIBImageList.h"
#include "skin/cDIBPanel.h"
#include "skin/cDIBSettings.h"

#include <array>
#include <initializer_list>

// Beyond its layout, the editor shows at the host's display scale from artwork drawn for it,
// shows a read-out of the value while a control is held or the pointer rests on one, turns a
// tenth as fast with Shift held, steps a knob by the wheel and resets a control by double-click.
class TVSTEditorForm : public TForm, public TCustomEditorForm, private TFormTimerClient {
public:
  // Reads the layout (no knob change event fires while it is read), then runs FormCreate.
  TVSTEditorForm();
  // Ends every gesture still held, then destroys the components and the window.
  ~TVSTEditorForm() override;
  const char* ClassName() const override { return "TVSTEditorForm"; }

  // The form's components, in the order the layout creates them (owned by the form).
  TDIBImageContainer* ZinGround = nullptr;
  TDIBImage* Knob = nullptr;
  TDIBDial* DistanceDial = nullptr;
  TDIBImage* KnobRange = nullptr;
  TDIBImageList* DIBImageList = nullptr;
  TDIBDial* FeedDial = nullptr;
  TDIBSettings DIBSettings;

  // The module whose parameters the editor shows and sets; not owned.
  TEditorParameters* EffectModule = nullptr;

  // TCustomEditorForm
  bool Embed(void* parentWindow, intptr_t hostData) override;
  void* WindowHandle() const override { return Window() ? Window()->NativeHandle() : nullptr; }
  int ClientWidth() const override { return ScreenWidth(); }
  int ClientHeight() const override { return ScreenHeight(); }
  void SetHostScale(double scale) override;
  void Invalidate() override { TForm::Invalidate(); }
  void ProcessMessages() override { TForm::ProcessMessages(); }
  void Update() override { TForm::Update(); }
  void ParameterChanged(int32_t index) override;
  void ShowParameters() override;
  int EventDescriptor() const override { return Window() ? Window()->EventDescriptor() : -1; }

  // TEditorWindowClient: a window lost in the middle of a drag ends its gestures.
  void WindowDestroyed() override;

  // The scale in use: "Editor Scale" of the settings when it holds one, else the host's, else
  // the desktop's, rounded to a scale the artwork is drawn for.
  double ChosenScale() const;

private:
  void ReadLayout();
  void FormCreate(TObject* Sender);
  void DistanceDialChange(TObject* Sender);
  void FeedDialChange(TObject* Sender);
  void DialMouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void DialMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void KnobRangeMouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void KnobRangeMouseMove(TObject* Sender, TShiftState Shift, int X, int Y);
  void KnobRangeMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);

  // Gestures: each parameter a held control changes has one edit begun, ended on release.
  void BeginEdits(std::initializer_list<int32_t> parameters);
  void EndEdits(std::initializer_list<int32_t> parameters);
  void EndAllEdits();

  // The finer gestures: a pad drag that follows the pointer's movement (at a tenth with Shift)
  // once Shift changed during it, the wheel's steps and the reset to the defaults.
  bool MovePadRelative(TShiftState Shift, int X, int Y);
  void WheelStep(TObject* Sender, TShiftState Shift, int Notches);
  void ResetToDefaults(std::initializer_list<int32_t> parameters);

  // The read-out follows one control: the knob or pad under the pointer or held.
  enum TReadoutTarget { rtNone, rtDistance, rtFeeding, rtPad };
  TReadoutTarget TargetOf(TObject* control) const;
  void HoverEntered(TObject* Sender);
  void HoverLeft(TObject* Sender);
  void HoverMoved(TObject* Sender);
  void ShowReadout(TReadoutTarget target);
  void HideReadout();
  void FormTimerTick() override;
  bool Holding() const;

  // While set, controls moved to show a value do not write it back.
  bool FShowingValues = false;
  std::array<bool, kZintraxParameterCount> FEditing{};

  double FHostScale = 0.0;
  double FForcedScale = 0.0;
  TEditorArtworkSet FArtwork;
  TEditorReadout FReadout;
  TReadoutTarget FReadoutTarget = rtNone;
  TReadoutTarget FHoverTarget = rtNone;
  uint32_t FHoverTimer = 0;

  TPoint FPadAnchorPoint;
  TPoint FPadLastPoint; // the pointer at the last press or move of the pad drag
  float FPadAnchorX = 0.0f, FPadAnchorY = 0.0f;
  bool FPadRelative = false; // Shift changed during this pad drag
  bool FPadFine = false;
  bool FPadReset = false; // the pad was reset by this press: it ignores the rest of it
};
