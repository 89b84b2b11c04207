// The records of the VST 2 level of the interface: events, pin properties, speaker
// arrangements, patch chunk information and key codes, declared here from the published
// interface.
#pragma once

#include "framework/DAEffect.h"

enum : int32_t {
  kVstMidiType = 1,
};

// One event as the host and the plug-in exchange it; the concrete kinds share this head.
struct VstEvent {
  int32_t type;
  int32_t byteSize; // size of the event after this field and the type
  int32_t deltaFrames;
  int32_t flags;
  char data[16];
};
static_assert(sizeof(VstEvent) == 32);
static_assert(offsetof(VstEvent, deltaFrames) == 8 && offsetof(VstEvent, data) == 16);

struct VstMidiEvent {
  int32_t type;
  int32_t byteSize;
  int32_t deltaFrames;
  int32_t flags;
  int32_t noteLength;
  int32_t noteOffset;
  char midiData[4];
  char detune;
  char noteOffVelocity;
  char reserved1;
  char reserved2;
};
static_assert(sizeof(VstMidiEvent) == 32);
static_assert(offsetof(VstMidiEvent, noteLength) == 16 && offsetof(VstMidiEvent, midiData) == 24);
static_assert(offsetof(VstMidiEvent, detune) == 28 && offsetof(VstMidiEvent, reserved2) == 31);

// An event list: the count, a reserved word, then as many event pointers as the count says
// (the declared two are only the start of a longer run).
struct VstEvents {
  int32_t numEvents;
  VstIntPtr reserved;
  VstEvent* events[2];
};
#if INTPTR_MAX == INT64_MAX
static_assert(offsetof(VstEvents, reserved) == 8 && offsetof(VstEvents, events) == 16);
static_assert(sizeof(VstEvents) == 32);
#else
static_assert(offsetof(VstEvents, reserved) == 4 && offsetof(VstEvents, events) == 8);
static_assert(sizeof(VstEvents) == 16);
#endif

enum : int32_t {
  kVstPinIsActive = 1 << 0,
  kVstPinIsStereo = 1 << 1,
  kVstPinUseSpeaker = 1 << 2,
};

enum : int32_t {
  kVstPinLabelSize = 64,
  kVstPinShortLabelSize = 8,
};

struct VstPinProperties {
  char label[kVstPinLabelSize];
  int32_t flags;
  int32_t arrangementType;
  char shortLabel[kVstPinShortLabelSize];
  char future[48];
};
static_assert(offsetof(VstPinProperties, flags) == 64);
static_assert(offsetof(VstPinProperties, arrangementType) == 68);
static_assert(offsetof(VstPinProperties, shortLabel) == 72);
static_assert(sizeof(VstPinProperties) == 128);

struct VstSpeakerProperties {
  float azimuth;
  float elevation;
  float radius;
  float reserved;
  char name[64];
  int32_t type;
  char future[28];
};
static_assert(offsetof(VstSpeakerProperties, name) == 16);
static_assert(offsetof(VstSpeakerProperties, type) == 80);
static_assert(offsetof(VstSpeakerProperties, future) == 84);
static_assert(sizeof(VstSpeakerProperties) == 112);

// The arrangement type, the channel count, then one speaker record per channel (the declared
// eight are the common case; the module's helpers allocate exactly as many as there are).
struct VstSpeakerArrangement {
  int32_t type;
  int32_t numChannels;
  VstSpeakerProperties speakers[8];
};
static_assert(offsetof(VstSpeakerArrangement, numChannels) == 4);
static_assert(offsetof(VstSpeakerArrangement, speakers) == 8);
static_assert(sizeof(VstSpeakerArrangement) == 8 + 8 * 112);

// What the host hands over before it loads a bank or a program.
struct VstPatchChunkInfo {
  int32_t version;
  int32_t pluginUniqueID;
  int32_t pluginVersion;
  int32_t numElements;
  char future[48];
};
static_assert(offsetof(VstPatchChunkInfo, pluginUniqueID) == 4);
static_assert(offsetof(VstPatchChunkInfo, numElements) == 12);
static_assert(sizeof(VstPatchChunkInfo) == 64);

struct VstKeyCode {
  int32_t character;
  unsigned char virt;
  unsigned char modifier;
};
static_assert(offsetof(VstKeyCode, virt) == 4 && offsetof(VstKeyCode, modifier) == 5);
static_assert(sizeof(VstKeyCode) == 8);

// Records the module only passes on to its event handlers, never reads.
struct VstAudioFile;
struct VstOfflineTask;
struct VstVariableIo;
struct VstTimeInfo;
