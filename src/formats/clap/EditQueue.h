// What the editor did, on its way to the host: gesture begins and ends and values, queued on the
// editor's thread and taken in the next process or flush (never two of those at once), without a
// lock or an allocation on either side. A queue that is full drops what comes.
#pragma once

#include "formats/clap/ClapAbi.h"

#include <array>
#include <atomic>
#include <cstdint>

class TEditQueue {
public:
  struct TEdit {
    uint16_t Type; // CLAP_EVENT_PARAM_GESTURE_BEGIN, _END or CLAP_EVENT_PARAM_VALUE
    clap_id Id;
    double Value;
  };

  bool Push(const TEdit& edit) {
    const uint32_t tail = FTail.load(std::memory_order_relaxed);
    if (tail - FHead.load(std::memory_order_acquire) == kCapacity)
      return false;
    FEdits[tail % kCapacity] = edit;
    FTail.store(tail + 1, std::memory_order_release);
    return true;
  }

  // Hands every queued edit to the host's list, in order, as events at the block's first frame;
  // an edit the list does not take stays for the next time.
  void Drain(const clap_output_events& out) {
    uint32_t head = FHead.load(std::memory_order_relaxed);
    const uint32_t tail = FTail.load(std::memory_order_acquire);
    for (; head != tail; ++head) {
      const TEdit& edit = FEdits[head % kCapacity];
      bool taken = false;
      if (edit.Type == CLAP_EVENT_PARAM_VALUE) {
        clap_event_param_value event{};
        event.header = {sizeof event, 0, CLAP_CORE_EVENT_SPACE_ID, edit.Type, CLAP_EVENT_IS_LIVE};
        event.param_id = edit.Id;
        event.note_id = -1;
        event.port_index = event.channel = event.key = -1;
        event.value = edit.Value;
        taken = out.try_push(&out, &event.header);
      } else {
        clap_event_param_gesture event{};
        event.header = {sizeof event, 0, CLAP_CORE_EVENT_SPACE_ID, edit.Type, CLAP_EVENT_IS_LIVE};
        event.param_id = edit.Id;
        taken = out.try_push(&out, &event.header);
      }
      if (!taken)
        break;
    }
    FHead.store(head, std::memory_order_release);
  }

private:
  static constexpr uint32_t kCapacity = 1024;
  std::array<TEdit, kCapacity> FEdits{};
  std::atomic<uint32_t> FHead{0}, FTail{0};
};
