// The root of every event sender, shared by the module framework and the skin toolkit, and the
// plain notification event.
#pragma once

#include <functional>

class TObject {
public:
  virtual ~TObject() = default;
};

using TNotifyEvent = std::function<void(TObject* Sender)>;
