#include "platform/MessageBox.h"

#include <cstdio>
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

void PlatformMessageBox(const std::string& caption, const std::string& text) {
  std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
}
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
