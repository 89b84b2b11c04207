// What an editor may do with the module it shows: read and set a parameter in its own units,
// read its display text, and mark where a gesture on a parameter begins and ends. The module
// hands its editor an object of this kind; an editor holds nothing else of the module.
#pragma once

#include <cstdint>
#include <string>

class TEditorParameters {
public:
  // The current value of parameter index in its own units.
  virtual float GetParameterValue(int32_t index) const = 0;
  // Sets parameter index in its own units. The module stores it, tells its host and raises its
  // change events, which end in the editor's ParameterChanged; a call made while another one is
  // in progress is ignored.
  virtual void SetParameterValue(int32_t index, float value) = 0;
  // The text a host shows for the current value, and the unit it shows after it.
  virtual std::string ParamDisplay(int32_t index) const = 0;
  virtual std::string ParamLabel(int32_t index) const = 0;
  // The value the host formats announce as the parameter's default: the first program's.
  virtual float DefaultValue(int32_t index) const = 0;
  // The user takes hold of the control of parameter index, and lets go of it: the host hears
  // of both (audioMasterBeginEdit, audioMasterEndEdit), so that it can record touch automation
  // between them. Every BeginEdit is followed by one EndEdit of the same index.
  virtual bool BeginEdit(int32_t index) = 0;
  virtual bool EndEdit(int32_t index) = 0;

protected:
  ~TEditorParameters() = default;
};

// Hears what the module's editor did, for a host boundary other than the effect record's host
// callback: a value the editor set and the module took, and a gesture begun and ended. Only the
// editor's own changes arrive here, each once, on the editor's thread and inside the editor's
// call; a change made by anyone else never does, whatever thread it comes from.
class TEditorListener {
public:
  virtual void EditorChangedParameter(int32_t index, float value) = 0;
  virtual void EditorBeganGesture(int32_t index) = 0;
  virtual void EditorEndedGesture(int32_t index) = 0;

protected:
  ~TEditorListener() = default;
};
