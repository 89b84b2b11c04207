// The editor tests' view of a plug-in's editor, whatever the plug-in's format: an editor open in
// a window of the validator's, the instance it belongs to, and the checks made of them (opening
// and closing many times, the host's window destroyed first, the cost to the host's thread).
#pragma once

#include "core/Validation.h"

#include <functional>
#include <memory>
#include <string>

namespace zhost::validate {

class EditorSession {
public:
  virtual ~EditorSession() = default;
  // The window's events, then one idle call; answers the seconds the call held the thread.
  virtual double Idle() = 0;
  virtual void Close() = 0;
  // Destroys the host's window under the open editor, as a host that tears down its window first.
  virtual void DestroyParent() = 0;
  // Sets count parameters to random values, taking them in turn from next, as a host automating a
  // few lanes does between two idle calls.
  virtual void Automate(Context& context, int count, int32_t& next) = 0;
  // The seconds opening held the thread, and closing once closed.
  virtual double OpenSeconds() const = 0;
  virtual double CloseSeconds() const = 0;
  // The X11 window the host handed the editor.
  virtual unsigned long ParentWindow() const = 0;
};

class EditorSubject {
public:
  virtual ~EditorSubject() = default;
  // Opens the editor in a new shown window; variant picks in turn among the ways the format hands
  // a window over.
  virtual std::unique_ptr<EditorSession> Open(int variant) = 0;
  // The variant in words for the report ("Display* 0"), empty where the format has one way.
  virtual std::string Variant(int variant) const = 0;
};

// Makes a fresh instance ready for its editor; skips the test when the plug-in has none.
using EditorSubjects = std::function<std::unique_ptr<EditorSubject>()>;

// The names of a format's editor calls, for the report.
struct EditorWords {
  const char* open;
  const char* idle;
  const char* close;
};

// Counts the X errors that survived (XErrorsSeen) as a note.
void NoteXErrors(Context& context);
// Opening, idling and closing many times on one instance and on fresh ones: no file descriptor
// and no thread left behind.
void CheckCycles(Context& context, const EditorSubjects& make, const EditorWords& words);
// The host's window destroyed before the editor is closed, then opened again.
void CheckParentDestroyed(Context& context, const EditorSubjects& make, const EditorWords& words);
// Every window mapped while the editor is open a descendant of the host's window, and none of
// them mapped after it closed.
void CheckWindows(Context& context, const EditorSubjects& make, const EditorWords& words);
// What opening, idling at 30 Hz (with and without parameter changes between) and closing cost
// the host's thread.
void CheckCost(Context& context, const EditorSubjects& make, const EditorWords& words);

} // namespace zhost::validate
