// Speaker arrangements in the host interface's layout: a type, a channel count and one
// 112-byte speaker record per channel.
#include "framework/DVST2Module.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

bool TCustomVST2Module::AllocateArrangement(VstSpeakerArrangement*& arrangement, int32_t channels) {
  const std::size_t head = offsetof(VstSpeakerArrangement, speakers);
  if (channels < 0 ||
      static_cast<std::size_t>(channels) > (SIZE_MAX - head) / sizeof(VstSpeakerProperties))
    return false;
  DeallocateArrangement(arrangement);
  const std::size_t size = head + sizeof(VstSpeakerProperties) * static_cast<std::size_t>(channels);
  arrangement = static_cast<VstSpeakerArrangement*>(std::calloc(1, size));
  if (!arrangement)
    return false;
  arrangement->numChannels = channels;
  return true;
}

bool TCustomVST2Module::DeallocateArrangement(VstSpeakerArrangement*& arrangement) {
  std::free(arrangement);
  arrangement = nullptr;
  return true;
}

bool TCustomVST2Module::CopySpeaker(VstSpeakerProperties* to, const VstSpeakerProperties* from) {
  if (!to || !from)
    return false;
  const std::size_t nameLength = strnlen(from->name, sizeof from->name - 1);
  std::memcpy(to->name, from->name, nameLength);
  to->name[nameLength] = '\0';
  to->type = from->type;
  to->azimuth = from->azimuth;
  to->elevation = from->elevation;
  to->radius = from->radius;
  to->reserved = from->reserved;
  std::memcpy(to->future, from->future, sizeof to->future);
  return true;
}

bool TCustomVST2Module::MatchArrangement(VstSpeakerArrangement*& to,
                                         const VstSpeakerArrangement* from) {
  if (!from || from == to || !AllocateArrangement(to, from->numChannels))
    return false;
  to->type = from->type;
  VstSpeakerProperties* target = to->speakers;
  const VstSpeakerProperties* source = from->speakers;
  for (int32_t i = 0; i < from->numChannels; ++i)
    if (!CopySpeaker(target + i, source + i))
      return false;
  return true;
}
