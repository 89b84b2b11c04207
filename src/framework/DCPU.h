// The processor description every module owns: vendor, signature, effective family and model,
// cache sizes and instruction-set extensions, read once through CPUID when it is built, and
// the vector units that signal code chooses its kernel by.
//
// The decoding works on raw register values handed in by a probe, so any processor's answers
// can be decoded; the real processor is asked through CPUID only on x86 and x86_64. Elsewhere
// the CPUID fields stay zero and only the vector units are filled in.
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

// Vector units of later processors, which the sixteen members above do not name. Each counts
// only where the operating system saves its registers.
enum TCPUVectorUnit : uint8_t {
  vuAVX,
  vuAVX2,
  vuFMA,  // fused multiply-add on the AVX registers
  vuNEON, // Advanced SIMD of 64-bit ARM
};

// A set of members of an enumeration, one bit per member's ordinal.
template <class TMember, class TBits> class TCPUSet {
public:
  constexpr TCPUSet() = default;
  constexpr TCPUSet(std::initializer_list<TMember> members) {
    for (TMember m : members)
      Include(m);
  }

  constexpr bool Contains(TMember m) const { return (FBits >> m) & 1u; }
  constexpr void Include(TMember m) { FBits = static_cast<TBits>(FBits | (1u << m)); }
  constexpr void Exclude(TMember m) { FBits = static_cast<TBits>(FBits & ~(1u << m)); }
  constexpr TBits Bits() const { return FBits; }
  constexpr bool operator==(const TCPUSet&) const = default;

private:
  TBits FBits = 0;
};

// The instruction-set extensions in 16 bits.
using TCPUInstructions = TCPUSet<TCPUInstruction, uint16_t>;
using TCPUVectorUnits = TCPUSet<TCPUVectorUnit, uint8_t>;

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
  bool HasCPUID = false;   // the ID flag of the flags register can be toggled
  bool HasFPU = false;     // consulted only without CPUID
  bool OSSavesSSE = true;  // the operating system saves the SSE state across task switches
  bool OSSavesAVX = false; // ... and the 256-bit AVX state (XSAVE enabled for it)
  bool HasNEON = false;    // a 64-bit ARM processor with Advanced SIMD (no CPUID there)
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
  TCPUVectorUnits VectorUnits() const { return FVectorUnits; }

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
  TCPUVectorUnits FVectorUnits;
};

// The vendor that a 12-character vendor text names (cvUnknown when none does).
TCPUVendor VendorFromText(const char (&text)[12]);
