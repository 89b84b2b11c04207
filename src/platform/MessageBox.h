// A message to a person, shown in a modal box with one OK button on Windows and written to
// standard error on Linux (a modal window would hang batch rendering). Tests replace it with
// their own handler.
#pragma once

#include <functional>
#include <string>

using TMessageBoxHandler = std::function<void(const std::string& caption, const std::string& text)>;

void ShowMessageBox(const std::string& caption, const std::string& text);

// Installs a handler in place of the platform's box and answers the previous one; an empty
// handler restores the platform's box.
TMessageBoxHandler SetMessageBoxHandler(TMessageBoxHandler handler);
