// Turns at the module between a plug-in's audio thread and its main thread, for the formats
// whose hosts load a state or a program on the main thread while blocks are processed. The audio
// thread takes a turn for each block (or flush) and never waits: a block that finds the main
// thread at the module goes without it. The main thread waits for a block's turn to end.
#pragma once

#include <atomic>
#include <thread>

class TModuleTurns {
public:
  // The audio thread's turn: false when the main thread has the module.
  bool TryAudio() { return !FBusy.test_and_set(std::memory_order_acquire); }
  void EndAudio() { FBusy.clear(std::memory_order_release); }

  // The main thread's turn, for as long as the object lives.
  class TMainTurn {
  public:
    explicit TMainTurn(TModuleTurns& turns) : FTurns(turns) {
      while (FTurns.FBusy.test_and_set(std::memory_order_acquire))
        std::this_thread::yield();
    }
    ~TMainTurn() { FTurns.FBusy.clear(std::memory_order_release); }
    TMainTurn(const TMainTurn&) = delete;
    TMainTurn& operator=(const TMainTurn&) = delete;

  private:
    TModuleTurns& FTurns;
  };

private:
  std::atomic_flag FBusy;
};
