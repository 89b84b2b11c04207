// A fresh instance per input, built as the exported entry builds it, driven by the sequence of host
// calls the input spells out: dispatcher opcodes with any index, value and opt and a null pointer,
// a short buffer or a valid record behind ptr; setParameter and getParameter; both audio callbacks;
// pointer input to and destruction of the editor's (headless) window. Every buffer handed over
// ends in guard bytes that must come back untouched.
#include "effect/Zintrax.h"
#include "framework/DAEffectX.h"
#include "platform/EditorWindowHeadless.h"
#include "platform/MessageBox.h"
#include "skin/Forms.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

namespace {

constexpr std::size_t kGuardBytes = 32;
constexpr uint8_t kGuard = 0xA5;

class TReader {
public:
  TReader(const uint8_t* data, std::size_t size) : FData(data), FSize(size) {}
  bool Empty() const { return FPos >= FSize; }
  uint8_t Byte() { return FPos < FSize ? FData[FPos++] : 0; }
  uint32_t Word() {
    uint32_t w = 0;
    for (int i = 0; i < 4; ++i)
      w = (w << 8) | Byte();
    return w;
  }
  void Fill(void* dest, std::size_t count) {
    auto* bytes = static_cast<uint8_t*>(dest);
    for (std::size_t i = 0; i < count; ++i)
      bytes[i] = Byte();
  }

private:
  const uint8_t* FData;
  std::size_t FSize;
  std::size_t FPos = 0;
};

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kValues[] = {0.0f,
                             1.0f,
                             0.5f,
                             -0.0f,
                             -1.0f,
                             2.0f,
                             1e-3f,
                             0.999999f,
                             std::numeric_limits<float>::quiet_NaN(),
                             kInf,
                             -kInf,
                             std::numeric_limits<float>::max(),
                             -std::numeric_limits<float>::max(),
                             std::numeric_limits<float>::denorm_min(),
                             1e30f,
                             44100.0f};

float ReadFloat(TReader& in) {
  const uint8_t pick = in.Byte();
  if (pick < 0xE0)
    return kValues[pick % std::size(kValues)];
  const uint32_t bits = in.Word();
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

int32_t ReadIndex(TReader& in) {
  const uint8_t pick = in.Byte();
  if (pick < 0xC0)
    return int32_t(pick % 10) - 2;
  return int32_t(in.Word());
}

VstIntPtr ReadValue(TReader& in) {
  const uint8_t pick = in.Byte();
  if (pick < 0xC0)
    return VstIntPtr(pick % 12) - 2;
  if (pick < 0xF0)
    return VstIntPtr(int32_t(in.Word()));
  return VstIntPtr((uint64_t(in.Word()) << 32) | in.Word());
}

// A buffer of size bytes followed by guard bytes.
class TGuarded {
public:
  explicit TGuarded(std::size_t size) : FSize(size), FBytes(size + kGuardBytes, 0) {
    std::fill(FBytes.begin() + std::ptrdiff_t(size), FBytes.end(), kGuard);
  }
  uint8_t* Data() { return FBytes.data(); }
  std::size_t Size() const { return FSize; }
  void Check() const {
    for (std::size_t i = FSize; i < FBytes.size(); ++i)
      if (FBytes[i] != kGuard)
        __builtin_trap();
  }

private:
  std::size_t FSize;
  std::vector<uint8_t> FBytes;
};

// What a dispatcher opcode finds behind ptr (and, for speaker arrangements, behind value).
enum class TShape {
  Opaque,     // a record the plug-in may read or write: a zeroed or random block
  TextOut,    // a text buffer of the opcode's size
  TextIn,     // a zero-terminated text
  PointerOut, // a slot for a pointer the plug-in answers with
  ChunkIn,    // value bytes of a chunk
  Events,     // a VstEvents list
  Parent,     // the host's window
  PatchInfo,  // a VstPatchChunkInfo
  Speakers,   // value and ptr: input and output arrangements
  SpeakersOut // value and ptr: slots for arrangement pointers
};

struct TOpcodeShape {
  TShape shape;
  std::size_t size; // the buffer size for TextOut and Opaque
};

TOpcodeShape ShapeOf(int32_t opcode) {
  switch (opcode) {
  case effGetProgramName:
  case effGetProgramNameIndexed:
    return {TShape::TextOut, 24};
  case effGetParamLabel:
  case effGetParamDisplay:
  case effGetParamName:
  case effGetEffectName:
    return {TShape::TextOut, 32};
  case effGetVendorString:
  case effGetProductString:
  case effShellGetNextPlugin:
    return {TShape::TextOut, 64};
  case effGetErrorText:
    return {TShape::TextOut, 256};
  case effSetProgramName:
  case effString2Parameter:
  case effCanDo:
    return {TShape::TextIn, 0};
  case effEditGetRect:
  case effGetChunk:
    return {TShape::PointerOut, sizeof(void*)};
  case effSetChunk:
    return {TShape::ChunkIn, 0};
  case effProcessEvents:
    return {TShape::Events, 0};
  case effEditOpen:
    return {TShape::Parent, 0};
  case effBeginLoadBank:
  case effBeginLoadProgram:
    return {TShape::PatchInfo, sizeof(VstPatchChunkInfo)};
  case effSetSpeakerArrangement:
    return {TShape::Speakers, 0};
  case effGetSpeakerArrangement:
    return {TShape::SpeakersOut, 0};
  case effGetInputProperties:
  case effGetOutputProperties:
    return {TShape::Opaque, sizeof(VstPinProperties)};
  case effEditDraw:
    return {TShape::Opaque, sizeof(ERect)};
  default:
    return {TShape::Opaque, 256};
  }
}

constexpr const char* kCanDoTexts[] = {"receiveVstEvents", "receiveVstMidiEvent",
                                       "bypass",           "plugAsChannelInsert",
                                       "2in2out",          "hasCockosViewAsConfig"};
constexpr const char* kNumberTexts[] = {"0", "0.5", "300", "-1e40", "nan", "inf", "1,5", " 2 "};

VstIntPtr gVersionAnswer = 2400;

VstIntPtr FuzzHost(AEffect*, int32_t opcode, int32_t, VstIntPtr, void*, float) {
  switch (opcode) {
  case audioMasterVersion:
    return gVersionAnswer;
  case audioMasterGetSampleRate:
    return 44100;
  case audioMasterGetBlockSize:
    return 512;
  default:
    return 0;
  }
}

class TSession {
public:
  explicit TSession(AEffect* effect) : FEffect(effect) {}

  // Runs the calls until the input ends; answers false when the sequence closed the instance.
  bool Run(TReader& in) {
    while (!in.Empty()) {
      switch (in.Byte() % 8) {
      case 0:
      case 1:
        if (!Dispatch(in))
          return false;
        break;
      case 2: {
        const int32_t index = ReadIndex(in);
        FEffect->setParameter(FEffect, index, ReadFloat(in));
        break;
      }
      case 3: {
        const int32_t index = ReadIndex(in);
        const float value = FEffect->getParameter(FEffect, index);
        if (index >= 0 && index < FEffect->numParams && !(value >= 0.0f && value <= 1.0f))
          __builtin_trap();
        break;
      }
      case 4:
      case 5:
        Audio(in);
        break;
      case 6:
        Mouse(in);
        break;
      default:
        if (THeadlessEditorWindow* window = Window())
          window->DestroyFromOutside();
        break;
      }
    }
    return true;
  }

private:
  VstIntPtr Call(int32_t opcode, int32_t index, VstIntPtr value, void* ptr, float opt) {
    return FEffect->dispatcher(FEffect, opcode, index, value, ptr, opt);
  }

  // One dispatcher call; false after effClose.
  bool Dispatch(TReader& in) {
    const int32_t opcode = int32_t(in.Byte() % 80);
    const int32_t index = ReadIndex(in);
    const VstIntPtr value = ReadValue(in);
    const float opt = ReadFloat(in);
    if (opcode == effClose) {
      Call(effClose, index, value, nullptr, opt);
      return false;
    }
    const uint8_t mode = in.Byte() % 3;
    if (mode == 0) {
      Call(opcode, index, value, nullptr, opt);
      return true;
    }
    const bool valid = mode == 2;
    const TOpcodeShape shape = ShapeOf(opcode);
    switch (shape.shape) {
    case TShape::Opaque:
    case TShape::TextOut:
    case TShape::PointerOut:
    case TShape::PatchInfo: {
      TGuarded buffer(shape.size);
      if (!valid)
        in.Fill(buffer.Data(), buffer.Size());
      else if (shape.shape == TShape::PatchInfo)
        reinterpret_cast<VstPatchChunkInfo*>(buffer.Data())->pluginUniqueID = FEffect->uniqueID;
      const VstIntPtr answer = Call(opcode, index, value, buffer.Data(), opt);
      buffer.Check();
      if (opcode == effGetChunk)
        KeepChunk(buffer.Data(), answer);
      break;
    }
    case TShape::TextIn: {
      std::vector<char> text;
      if (valid) {
        const char* known = opcode == effCanDo ? kCanDoTexts[in.Byte() % std::size(kCanDoTexts)]
                                               : kNumberTexts[in.Byte() % std::size(kNumberTexts)];
        text.assign(known, known + std::strlen(known));
      } else {
        text.resize(in.Byte() % 64);
        in.Fill(text.data(), text.size());
      }
      text.push_back('\0');
      TGuarded buffer(text.size());
      std::memcpy(buffer.Data(), text.data(), text.size());
      Call(opcode, index, value, buffer.Data(), opt);
      buffer.Check();
      break;
    }
    case TShape::ChunkIn: {
      std::vector<uint8_t> chunk = valid ? FChunk : std::vector<uint8_t>(in.Byte() * 4u);
      if (!valid)
        in.Fill(chunk.data(), chunk.size());
      TGuarded buffer(chunk.size());
      std::copy(chunk.begin(), chunk.end(), buffer.Data());
      Call(opcode, index, VstIntPtr(chunk.size()), buffer.Data(), opt);
      buffer.Check();
      break;
    }
    case TShape::Events:
      Events(in, valid, index, value, opt);
      break;
    case TShape::Parent: {
      TGuarded parent(sizeof(int));
      Call(opcode, index, valid ? 0 : value, parent.Data(), opt);
      parent.Check();
      break;
    }
    case TShape::Speakers: {
      TGuarded input(sizeof(VstSpeakerArrangement)), output(sizeof(VstSpeakerArrangement));
      for (TGuarded* arrangement : {&input, &output}) {
        auto* a = reinterpret_cast<VstSpeakerArrangement*>(arrangement->Data());
        if (valid) {
          a->type = 1;
          a->numChannels = 2;
        } else {
          in.Fill(a, sizeof *a);
          a->numChannels = int32_t(uint32_t(a->numChannels) % 9);
        }
      }
      Call(opcode, index, VstIntPtr(input.Data()), output.Data(), opt);
      input.Check();
      output.Check();
      break;
    }
    case TShape::SpeakersOut: {
      TGuarded input(sizeof(void*)), output(sizeof(void*));
      Call(opcode, index, VstIntPtr(input.Data()), output.Data(), opt);
      input.Check();
      output.Check();
      break;
    }
    }
    return true;
  }

  void Events(TReader& in, bool valid, int32_t index, VstIntPtr value, float opt) {
    const int32_t count = in.Byte() % 5;
    std::vector<VstMidiEvent> events(std::size_t(count) + 1);
    TGuarded list(offsetof(VstEvents, events) + sizeof(VstEvent*) * std::size_t(count));
    auto* header = reinterpret_cast<VstEvents*>(list.Data());
    header->numEvents = count;
    for (int32_t i = 0; i < count; ++i) {
      VstMidiEvent& event = events[std::size_t(i)];
      if (valid) {
        event = {kVstMidiType, 24, i, 0, 0, 0, {char(0x90), char(60 + i), 100, 0}, 0, 0, 0, 0};
      } else {
        in.Fill(&event, sizeof event);
      }
      VstEvent* pointer = reinterpret_cast<VstEvent*>(&event);
      std::memcpy(list.Data() + offsetof(VstEvents, events) + sizeof pointer * std::size_t(i),
                  &pointer, sizeof pointer);
    }
    Call(effProcessEvents, index, value, header, opt);
    list.Check();
  }

  void KeepChunk(const uint8_t* slot, VstIntPtr size) {
    const uint8_t* chunk = nullptr;
    std::memcpy(&chunk, slot, sizeof chunk);
    if (size > 0 && chunk)
      FChunk.assign(chunk, chunk + size);
  }

  void Audio(TReader& in) {
    constexpr int32_t kFrames[] = {0, 1, 2, 3, 17, 64, 255, 512, 1024, 4096, -1};
    const uint8_t pick = in.Byte();
    const int32_t frames = pick < 0xC0 ? kFrames[pick % std::size(kFrames)] : pick - 0xC0;
    const uint8_t how = in.Byte();
    const bool replacing = how & 1;
    const bool inPlace = how & 2;
    const int signal = (how >> 2) % 5;
    const std::size_t length = std::size_t(std::max(frames, 1));
    const auto channels =
        static_cast<std::size_t>(std::max(FEffect->numInputs, FEffect->numOutputs));
    std::vector<std::vector<float>> source(channels, std::vector<float>(length));
    std::vector<std::vector<float>> target(channels, std::vector<float>(length, 0.25f));
    uint32_t seed = in.Word() | 1;
    bool finiteInput = true;
    for (std::vector<float>& channel : source)
      for (float& sample : channel) {
        seed = seed * 1664525u + 1013904223u;
        const float noise = float(int32_t(seed)) / 2147483648.0f;
        switch (signal) {
        case 0:
          sample = noise;
          break;
        case 1:
          sample = 0.0f;
          break;
        case 2:
          sample = noise < 0 ? -1.0f : 1.0f;
          break;
        case 3:
          sample = noise * std::numeric_limits<float>::denorm_min() * 100.0f;
          break;
        default:
          sample = kValues[seed % std::size(kValues)];
          finiteInput = finiteInput && std::isfinite(sample);
          break;
        }
      }
    std::vector<float*> inputs, outputs;
    for (std::size_t c = 0; c < channels; ++c) {
      inputs.push_back(source[c].data());
      outputs.push_back(inPlace ? source[c].data() : target[c].data());
    }
    if (replacing) {
      if (FEffect->processReplacing)
        FEffect->processReplacing(FEffect, inputs.data(), outputs.data(), frames);
    } else if (FEffect->process) {
      FEffect->process(FEffect, inputs.data(), outputs.data(), frames);
    }
    FPoisoned = FPoisoned || !finiteInput;
    if (!FPoisoned)
      for (int32_t c = 0; c < FEffect->numOutputs; ++c)
        for (int32_t i = 0; i < frames; ++i)
          if (!std::isfinite(outputs[std::size_t(c)][std::size_t(i)]))
            __builtin_trap();
  }

  THeadlessEditorWindow* Window() const {
    const auto* module = static_cast<TCustomVST1Module*>(FEffect->object);
    const auto* form = dynamic_cast<const TCustomForm*>(module->EditorForm());
    return form ? dynamic_cast<THeadlessEditorWindow*>(form->Window()) : nullptr;
  }

  void Mouse(TReader& in) {
    TWindowMouseEvent event;
    event.Kind = TWindowMouseKind(in.Byte() % 4);
    event.Button = TMouseButton(in.Byte() % 3);
    event.Shift = in.Byte() & 0x7F;
    event.X = int32_t(int8_t(in.Byte())) * 3 + 150;
    event.Y = int32_t(int8_t(in.Byte())) * 2 + 110;
    if (THeadlessEditorWindow* window = Window())
      window->Post(event);
  }

  AEffect* FEffect;
  std::vector<uint8_t> FChunk;
  // A non-finite input was processed: the signal path may carry it on.
  bool FPoisoned = false;
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setenv("ZINTRAX_SETTINGS_FILE", "/nonexistent/zintrax-fuzz.conf", 1);
  SetMessageBoxHandler([](const std::string&, const std::string&) {});
  SetEditorWindowFactory(HeadlessEditorWindowFactory());
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TReader in(data, size);
  gVersionAnswer = (in.Byte() & 1) ? 2400 : 0;
  AEffect* effect = CreateVSTModule<TZintraxModule>(&FuzzHost);
  if (!effect || effect->magic != kEffectMagic)
    __builtin_trap();
  TSession session(effect);
  if (session.Run(in))
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
  if (LiveModuleCount() != 0)
    __builtin_trap();
  return 0;
}
