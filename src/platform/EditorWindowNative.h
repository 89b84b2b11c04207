// The platform's own editor window backend, defined by the one backend file the build selects
// (X11 on Linux with libX11, Win32 on Windows, none otherwise).
#pragma once

#include "platform/EditorWindow.h"

// Null when the window cannot be made, and always where the build has no window system.
std::unique_ptr<TEditorWindow> CreateNativeEditorWindow(const TEditorWindowParams& params,
                                                        TEditorWindowClient& client);
