// The editor opened, idled and closed a few hundred times on one thread while another thread
// processes audio and automates every parameter, as a host automating from its audio thread
// does. Built with ThreadSanitizer (the tsan preset) it also proves that the two threads share
// nothing unguarded.
#include "GuiHost.h"

#include <atomic>
#include <cmath>

namespace {

std::atomic<long> gNotices{0};

// Thread-safe: the audio thread's automation reaches it too.
VstIntPtr CountingHost(AEffect*, int32_t opcode, int32_t, VstIntPtr, void*, float) {
  if (opcode == audioMasterAutomate)
    ++gNotices;
  return opcode == audioMasterVersion ? 2400 : 0;
}

TEST(EditorThreads, OpenIdleAndCloseWhileAnotherThreadProcessesAndAutomates) {
  setenv("ZINTRAX_SETTINGS_FILE", "/nonexistent/zintrax-gui-test.conf", 1);
  testhost::Library library;
  testhost::Instance plugin(library, CountingHost);
  plugin.Start(44100.0f, 64);
  gui::EditorHost host;

  std::atomic<bool> stop{false};
  std::atomic<bool> finite{true};
  std::thread audio([&] {
    testhost::AudioBuffers in(2, 64, 0.25f), out(2, 64);
    for (unsigned block = 0; !stop; ++block) {
      plugin.SetParameter(int32_t(block % 4), float(block % 97) / 96.0f);
      plugin.Effect()->processReplacing(plugin.Effect(), in.Pointers(), out.Pointers(), 64);
      for (const auto& channel : out.data)
        for (float v : channel)
          if (!std::isfinite(v))
            finite = false;
    }
  });
  for (int cycle = 0; cycle < 200; ++cycle) {
    ASSERT_EQ(host.Open(plugin, cycle % 2 == 0), 1);
    for (int idle = 0; idle < 3; ++idle)
      plugin.Dispatch(effEditIdle);
    plugin.Dispatch(effEditClose);
  }
  stop = true;
  audio.join();
  EXPECT_TRUE(finite);
  EXPECT_GT(gNotices.load(), 0);
}

::testing::Environment* const gServer =
    ::testing::AddGlobalTestEnvironment(new gui::XvfbEnvironment);

} // namespace
