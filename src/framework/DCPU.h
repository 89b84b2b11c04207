// The processor description every module owns: vendor, signature, effective family and model,
// cache sizes and instruction-set extensions, read once through CPUID when it is built.
//
// The decoding works on raw register values handed in by a probe, so any processor's answers
// can be decoded; the real processor is asked only on x86 and x86_64, and elsewhere every field
// stays zero.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>

enum TCPUVendor : uint8_t {
  cvUnknown,
  cvAMD,
  cvCentaur,
  cvCyrix,
  cvIntel,
  cvTransmeta,
  cvNexGen,
  cvRise,
  cvUMC,
  cvNSC,
  cvSiS,
};

enum TCPUInstruction : uint8_t {
  isFPU,
  isTSC,
  isCX8,
  isSEP,
  isCMOV,
  isMMX,
  isFXSR,
  isSSE,
  isSSE2,
  isSSE3,
  isMONITOR,
  isCX16,
  isX64,
  isExMMX,
  isEx3DNow,
  is3DNow,
};

// A set of instruction-set extensions in 16 bits, one bit per member's ordinal.
class TCPUInstructions {
public:
  constexpr TCPUInstructions() = default;
  constexpr TCPUInstructions(std::initializer_list<TCPUInstruction> members) {
    for (TCPUInstruction m : members)
      Include(m);
  }

  constexpr bool Contains(TCPUInstruction m) const { return (FBits >> m) & 1u; }
  constexpr void Include(TCPUInstruction m) { FBits = static_cast<uint16_t>(FBits | (1u << m)); }
  constexpr void Exclude(TCPUInstruction m) { FBits = static_cast<uint16_t>(FBits & ~(1u << m)); }
  constexpr uint16_t Bits() const { return FBits; }
  constexpr bool operator==(const TCPUInstructions&) const = default;

private:
  uint16_t FBits = 0;
};

// The four result registers of one CPUID request.
struct TCPUIDRegisters {
  uint32_t EAX = 0;
  uint32_t EBX = 0;
  uint32_t ECX = 0;
  uint32_t EDX = 0;
};

// What detection asks of a processor. CPUID is issued with the leaf in EAX and 0 in ECX; the
// answer may differ from one request to the next (leaf 2 is asked repeatedly), and a request may
// throw, which ends detection with what was found so far.
struct TCPUProbe {
  bool HasCPUID = false;  // the ID flag of the flags register can be toggled
  bool HasFPU = false;    // consulted only without CPUID
  bool OSSavesSSE = true; // the operating system saves the SSE state across task switches
  std::function<TCPUIDRegisters(uint32_t leaf)> CPUID;
};

class TCPU {
public:
  // Detects the processor this code runs on.
  TCPU();
  // Decodes what the probe answers.
  explicit TCPU(const TCPUProbe& probe);

  TCPUVendor Vendor() const { return FVendor; }
  uint32_t Signature() const { return FSignature; }
  uint8_t EffFamily() const { return FEffFamily; }
  uint8_t EffModel() const { return FEffModel; }
  uint16_t CodeL1CacheSize() const { return FCodeL1CacheSize; }
  uint16_t DataL1CacheSize() const { return FDataL1CacheSize; }
  uint16_t L2CacheSize() const { return FL2CacheSize; }
  uint16_t L3CacheSize() const { return FL3CacheSize; }
  TCPUInstructions Instructions() const { return FInstructions; }

  // The probe that asks the processor this code runs on (no CPUID outside x86 and x86_64).
  static TCPUProbe MachineProbe();

private:
  void Detect(const TCPUProbe& probe);
  void ReadStandardLeaves(const TCPUProbe& probe, uint32_t highestLeaf);
  void ReadCacheDescriptors(const TCPUProbe& probe);
  void ApplyCacheDescriptor(uint8_t descriptor);
  void ReadExtendedCaches(const TCPUProbe& probe);

  TCPUVendor FVendor = cvUnknown;
  uint32_t FSignature = 0;
  uint8_t FEffFamily = 0;
  uint8_t FEffModel = 0;
  uint16_t FCodeL1CacheSize = 0;
  uint16_t FDataL1CacheSize = 0;
  uint16_t FL2CacheSize = 0;
  uint16_t FL3CacheSize = 0;
  TCPUInstructions FInstructions;
};

// The vendor that a 12-character vendor text names (cvUnknown when none does).
TCPUVendor VendorFromText(const char (&text)[12]);
