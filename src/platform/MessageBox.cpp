#include "platform/MessageBox.h"

#ifdef _WIN32
#include "platform/WideText.h"

#include <windows.h>
#else
#include <cstdio>
#endif

#include <mutex>

namespace {
std::mutex& HandlerLock() {
  static std::mutex lock;
  return lock;
}

TMessageBoxHandler& Handler() {
  static TMessageBoxHandler handler;
  return handler;
}

#ifdef _WIN32
// Modal for every window of the calling thread (the host's), with one OK button; answers when
// the person has dismissed it.
void PlatformMessageBox(const std::string& caption, const std::string& text) {
  MessageBoxW(nullptr, WideFromUtf8(text).c_str(), WideFromUtf8(caption).c_str(),
              MB_OK | MB_TASKMODAL);
}
#else
void PlatformMessageBox(const std::string& caption, const std::string& text) {
  std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
}
#endif
} // namespace

void ShowMessageBox(const std::string& caption, const std::string& text) {
  TMessageBoxHandler handler;
  {
    std::lock_guard<std::mutex> guard(HandlerLock());
    handler = Handler();
  }
  if (handler)
    handler(caption, text);
  else
    PlatformMessageBox(caption, text);
}

TMessageBoxHandler SetMessageBoxHandler(TMessageBoxHandler handler) {
  std::lock_guard<std::mutex> guard(HandlerLock());
  TMessageBoxHandler previous = std::move(Handler());
  Handler() = std::move(handler);
  return previous;
}
