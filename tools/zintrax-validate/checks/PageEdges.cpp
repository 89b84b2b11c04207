#include "checks/PageEdges.h"

#include "checks/ForbiddenPages.h"
#include "hosting/Errors.h"

#include <sys/mman.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

namespace zhost::validate {

EdgeBlock::EdgeBlock(int32_t inputs, int32_t outputs, int32_t capacity) {
  const std::size_t page = PageSize();
  const std::size_t room = (std::size_t(std::max(capacity, 1)) * sizeof(float) + page - 1) / page;
  FRegionBytes = (room + 2) * page;
  for (int32_t c = 0; c < inputs + outputs; ++c) {
    void* memory =
        mmap(nullptr, FRegionBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED)
      throw HostError(std::string("cannot map audio buffers: ") + std::strerror(errno));
    Channel channel;
    channel.region = static_cast<char*>(memory);
    channel.room = reinterpret_cast<float*>(channel.region + page);
    channel.roomEnd = reinterpret_cast<float*>(channel.region + FRegionBytes - page);
    mprotect(channel.region, page, PROT_NONE);
    mprotect(channel.region + FRegionBytes - page, page, PROT_NONE);
    const std::string name =
        c < inputs ? "input " + std::to_string(c + 1) : "output " + std::to_string(c - inputs + 1);
    ForbidPages(channel.region, page, "the page before " + name, true);
    ForbidPages(channel.region + FRegionBytes - page, page, "the page after " + name, true);
    FChannels.push_back(channel);
  }
  FInputs.resize(std::size_t(inputs));
  FOutputs.resize(std::size_t(outputs));
}

EdgeBlock::~EdgeBlock() {
  for (const Channel& channel : FChannels) {
    AllowPages(channel.region, FRegionBytes);
    munmap(channel.region, FRegionBytes);
  }
}

void EdgeBlock::Place(PageEdge edge, int32_t frames, std::mt19937& random) {
  std::uniform_real_distribution<float> noise(-0.5f, 0.5f);
  for (std::size_t c = 0; c < FChannels.size(); ++c) {
    const Channel& channel = FChannels[c];
    float* start = edge == PageEdge::After ? channel.roomEnd - frames : channel.room;
    const bool input = c < FInputs.size();
    for (int32_t n = 0; n < frames; ++n)
      start[n] = input ? noise(random) : 0.0f;
    (input ? FInputs[c] : FOutputs[c - FInputs.size()]) = start;
  }
}

void CheckPageEdges(Context& context, const char* call, int32_t inputs, int32_t outputs,
                    int32_t capacity,
                    const std::function<void(EdgeBlock& block, int32_t frames)>& process) {
  EdgeBlock block(inputs, outputs, capacity);
  const int32_t lengths[] = {1, 2, 3, 5, 7, 15, 33, 64, 100, 255, capacity - 1, capacity};
  for (const PageEdge edge : {PageEdge::After, PageEdge::Before})
    for (const int32_t frames : lengths) {
      if (frames < 1 || frames > capacity)
        continue;
      block.Place(edge, frames, context.Random());
      context.Step("%s of %d frames, each buffer %s", call, frames,
                   edge == PageEdge::After ? "ending where a forbidden page begins"
                                           : "starting where a forbidden page ends");
      process(block, frames);
    }
}

} // namespace zhost::validate
