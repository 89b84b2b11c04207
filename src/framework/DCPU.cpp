#include "framework/DCPU.h"

#include <cstring>
#include <iterator>

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#elif defined(__aarch64__) && defined(__linux__)
#include <sys/auxv.h>
#endif

namespace {

struct VendorRow {
  TCPUVendor vendor;
  char text[13];
};

// Searched from the last row up; the texts are all distinct, so the order only mirrors the
// declaration of TCPUVendor. SiS processors answer the 12-character text with a trailing blank.
constexpr VendorRow kVendors[] = {
    {cvAMD, "AuthenticAMD"},   {cvCentaur, "CentaurHauls"},   {cvCyrix, "CyrixInstead"},
    {cvIntel, "GenuineIntel"}, {cvTransmeta, "GenuineTMx86"}, {cvNexGen, "NexGenDriven"},
    {cvRise, "RiseRiseRise"},  {cvUMC, "UMC UMC UMC "},       {cvNSC, "Geode by NSC"},
    {cvSiS, "SiS SiS SiS "},
};

constexpr bool Bit(uint32_t word, unsigned bit) {
  return (word >> bit) & 1u;
}

// Byte n (0 = lowest) of a register.
constexpr uint8_t Byte(uint32_t word, unsigned n) {
  return static_cast<uint8_t>(word >> (8 * n));
}

struct FeatureBit {
  unsigned bit;
  TCPUInstruction member;
};

constexpr FeatureBit kLeaf1EDX[] = {
    {0, isFPU},  {4, isTSC},   {8, isCX8},  {11, isSEP},  {15, isCMOV},
    {23, isMMX}, {24, isFXSR}, {25, isSSE}, {26, isSSE2},
};

constexpr FeatureBit kExtendedEDX[] = {
    {22, isExMMX},
    {29, isX64},
    {30, isEx3DNow},
    {31, is3DNow},
};

enum CacheLevel : uint8_t { kCodeL1, kDataL1, kL2, kL3 };

struct CacheDescriptor {
  uint8_t descriptor;
  CacheLevel level;
  uint16_t kilobytes;
};

// Leaf-2 descriptor bytes that name a cache size directly.
constexpr CacheDescriptor kCacheDescriptors[] = {
    {0x06, kCodeL1, 8},  {0x08, kCodeL1, 16}, {0x30, kCodeL1, 32}, {0x71, kCodeL1, 16},
    {0x72, kCodeL1, 32}, {0x0A, kDataL1, 8},  {0x0C, kDataL1, 16}, {0x2C, kDataL1, 32},
    {0x60, kDataL1, 16}, {0x66, kDataL1, 8},  {0x67, kDataL1, 16}, {0x68, kDataL1, 32},
    {0x39, kL2, 128},    {0x3B, kL2, 128},    {0x3C, kL2, 256},    {0x41, kL2, 128},
    {0x42, kL2, 256},    {0x43, kL2, 512},    {0x44, kL2, 1024},   {0x45, kL2, 2048},
    {0x78, kL2, 1024},   {0x79, kL2, 128},    {0x7A, kL2, 256},    {0x7B, kL2, 512},
    {0x7C, kL2, 1024},   {0x7D, kL2, 2048},   {0x7F, kL2, 512},    {0x82, kL2, 256},
    {0x83, kL2, 512},    {0x84, kL2, 1024},   {0x85, kL2, 2048},   {0x86, kL2, 512},
    {0x87, kL2, 1024},   {0x22, kL3, 512},    {0x23, kL3, 1024},   {0x25, kL3, 2048},
    {0x29, kL3, 4096},
};

constexpr uint32_t kExtendedBase = 0x80000000u;

bool CyrixOrNSC(TCPUVendor v) {
  return v == cvCyrix || v == cvNSC;
}

#if defined(__i386__) || defined(__x86_64__)
// XGETBV is available (OSXSAVE) and the operating system saves the SSE and the upper halves of
// the AVX registers (bits 1 and 2 of XCR0).
bool OperatingSystemSavesAVX() {
  unsigned eax, ebx, ecx, edx;
  if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx) || !Bit(ecx, 27))
    return false;
  uint32_t low, high;
  __asm__ volatile("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
  return (low & 0x6u) == 0x6u;
}
#endif

#if defined(__i386__)
// The ID flag (bit 21 of EFLAGS) can be toggled exactly when the processor has CPUID.
bool IdFlagToggles() {
  uint32_t changed, original;
  __asm__ volatile("pushfl\n\t"
                   "pushfl\n\t"
                   "popl %0\n\t"
                   "movl %0, %1\n\t"
                   "xorl $0x200000, %0\n\t"
                   "pushl %0\n\t"
                   "popfl\n\t"
                   "pushfl\n\t"
                   "popl %0\n\t"
                   "popfl"
                   : "=&r"(changed), "=&r"(original)
                   :
                   : "cc");
  return ((changed ^ original) & 0x200000u) != 0;
}

// An initialised floating-point unit reads status 0 and the default control bits.
bool FpuAnswers() {
  uint16_t status = 0xFFFF;
  uint16_t control = 0xFFFF;
  __asm__ volatile("fninit\n\t"
                   "fnstsw %0\n\t"
                   "fnstcw %1"
                   : "=m"(status), "=m"(control));
  return status == 0 && (control & 0x103F) == 0x003F;
}
#endif

} // namespace

TCPUVendor VendorFromText(const char (&text)[12]) {
  for (auto row = std::rbegin(kVendors); row != std::rend(kVendors); ++row)
    if (std::memcmp(row->text, text, 12) == 0)
      return row->vendor;
  return cvUnknown;
}

TCPU::TCPU() : TCPU(MachineProbe()) {}

TCPU::TCPU(const TCPUProbe& probe) {
  // Detection never fails the owner's construction: whatever was found before an error stays.
  try {
    Detect(probe);
  } catch (...) {
  }
}

TCPUProbe TCPU::MachineProbe() {
  TCPUProbe probe;
#if defined(__x86_64__)
  probe.HasCPUID = true;
  probe.HasFPU = true;
#elif defined(__i386__)
  probe.HasCPUID = IdFlagToggles();
  probe.HasFPU = !probe.HasCPUID && FpuAnswers();
#endif
#if defined(__i386__) || defined(__x86_64__)
  // SSE state is part of the x86_64 architecture, and every 32-bit system this code is built
  // for (Linux since 2.4, Windows since 98) saves it whenever the processor reports SSE. Probing
  // with a faulting instruction would need a process-wide signal handler inside a host.
  probe.OSSavesSSE = true;
  probe.OSSavesAVX = probe.HasCPUID && OperatingSystemSavesAVX();
  probe.CPUID = [](uint32_t leaf) {
    TCPUIDRegisters r;
    __cpuid_count(leaf, 0, r.EAX, r.EBX, r.ECX, r.EDX);
    return r;
  };
#elif defined(__aarch64__) && defined(__linux__)
  probe.HasNEON = (getauxval(AT_HWCAP) & HWCAP_ASIMD) != 0;
#elif defined(__aarch64__)
  probe.HasNEON = true; // part of the architecture's base on every other system
#endif
  return probe;
}

void TCPU::Detect(const TCPUProbe& probe) {
  if (probe.HasNEON)
    FVectorUnits.Include(vuNEON);
  if (!probe.HasCPUID) {
    if (probe.HasFPU)
      FInstructions.Include(isFPU);
    return;
  }
  if (!probe.CPUID)
    return;

  const TCPUIDRegisters leaf0 = probe.CPUID(0);
  char text[12];
  const uint32_t parts[3] = {leaf0.EBX, leaf0.EDX, leaf0.ECX};
  for (unsigned i = 0; i < 12; ++i)
    text[i] = static_cast<char>(Byte(parts[i / 4], i % 4));
  FVendor = VendorFromText(text);

  const uint32_t highestLeaf = leaf0.EAX;
  if (highestLeaf >= 1)
    ReadStandardLeaves(probe, highestLeaf);

  const uint32_t highestExtended = probe.CPUID(kExtendedBase).EAX;
  if (highestExtended >= kExtendedBase + 1) {
    const uint32_t edx = probe.CPUID(kExtendedBase + 1).EDX;
    for (const FeatureBit& f : kExtendedEDX)
      if (Bit(edx, f.bit))
        FInstructions.Include(f.member);
  }

  if (FInstructions.Contains(isSSE) && !probe.OSSavesSSE) {
    FInstructions.Exclude(isSSE);
    FInstructions.Exclude(isSSE2);
    FInstructions.Exclude(isSSE3);
  }

  if (highestExtended >= kExtendedBase + 6)
    ReadExtendedCaches(probe);
}

void TCPU::ReadStandardLeaves(const TCPUProbe& probe, uint32_t highestLeaf) {
  const TCPUIDRegisters leaf1 = probe.CPUID(1);
  FSignature = leaf1.EAX;
  uint8_t family = (FSignature >> 8) & 0xF;
  uint8_t model = (FSignature >> 4) & 0xF;
  const uint8_t extendedModel = (FSignature >> 16) & 0xF;
  // The extended model belongs to family 15 and, on Intel's family 6, to the model as well;
  // without it every Intel processor since 2007 would report a model number it does not have.
  if (family == 15 || (family == 6 && FVendor == cvIntel))
    model = static_cast<uint8_t>(model + extendedModel * 16);
  if (family == 15)
    family = static_cast<uint8_t>(family + ((FSignature >> 20) & 0xFF));
  FEffFamily = family;
  FEffModel = model;

  for (const FeatureBit& f : kLeaf1EDX)
    if (Bit(leaf1.EDX, f.bit))
      FInstructions.Include(f.member);
  if (Bit(leaf1.ECX, 0))
    FInstructions.Include(isSSE3);
  if (Bit(leaf1.ECX, 3) && FVendor == cvIntel)
    FInstructions.Include(isMONITOR);
  if (Bit(leaf1.ECX, 13))
    FInstructions.Include(isCX16);
  // Early Intel processors report SEP without a working SYSENTER.
  if (FVendor == cvIntel && (FSignature & 0x0FFF3FFFu) < 0x633u)
    FInstructions.Exclude(isSEP);

  if (highestLeaf >= 2)
    ReadCacheDescriptors(probe);

  // AVX (ECX bit 28), FMA (ECX bit 12) and, in leaf 7, AVX2 (EBX bit 5) need the operating
  // system's support.
  if (Bit(leaf1.ECX, 28) && probe.OSSavesAVX) {
    FVectorUnits.Include(vuAVX);
    if (Bit(leaf1.ECX, 12))
      FVectorUnits.Include(vuFMA);
    if (highestLeaf >= 7 && Bit(probe.CPUID(7).EBX, 5))
      FVectorUnits.Include(vuAVX2);
  }
}

void TCPU::ReadCacheDescriptors(const TCPUProbe& probe) {
  TCPUIDRegisters r = probe.CPUID(2);
  const unsigned rounds = Byte(r.EAX, 0);
  for (unsigned done = 1;; ++done) {
    for (unsigned n = 1; n < 4; ++n)
      ApplyCacheDescriptor(Byte(r.EAX, n));
    for (uint32_t word : {r.EBX, r.ECX, r.EDX})
      for (unsigned n = 0; n < 4; ++n)
        ApplyCacheDescriptor(Byte(word, n));
    if (done >= rounds)
      break;
    r = probe.CPUID(2);
  }
}

void TCPU::ApplyCacheDescriptor(uint8_t descriptor) {
  switch (descriptor) {
  case 0x40: // no third level: it cancels an L3 size only once an L2 size was seen
    if (FL2CacheSize != 0)
      FL3CacheSize = 0;
    return;
  case 0x70: // Cyrix and NSC use this byte for a TLB, the others for a 12 KB code cache
    if (!CyrixOrNSC(FVendor))
      FCodeL1CacheSize = 12;
    return;
  case 0x80: // Cyrix and NSC: one unified 16 KB first level, counted half for code, half data
    if (CyrixOrNSC(FVendor)) {
      FCodeL1CacheSize = 8;
      FDataL1CacheSize = 8;
    }
    return;
  default:
    break;
  }
  for (const CacheDescriptor& d : kCacheDescriptors) {
    if (d.descriptor == descriptor) {
      uint16_t TCPU::*const fields[] = {&TCPU::FCodeL1CacheSize, &TCPU::FDataL1CacheSize,
                                        &TCPU::FL2CacheSize, &TCPU::FL3CacheSize};
      this->*fields[d.level] = d.kilobytes;
      return;
    }
  }
}

void TCPU::ReadExtendedCaches(const TCPUProbe& probe) {
  if (FVendor != cvCyrix && FVendor != cvIntel) {
    const TCPUIDRegisters l1 = probe.CPUID(kExtendedBase + 5);
    FCodeL1CacheSize = Byte(l1.EDX, 3);
    FDataL1CacheSize = Byte(l1.ECX, 3);
  }
  const TCPUIDRegisters l2 = probe.CPUID(kExtendedBase + 6);
  if (FVendor == cvAMD && (FSignature & 0xFFFu) == 0x630u) // Duron reports its L2 wrongly
    FL2CacheSize = 64;
  else if (FVendor == cvCentaur && FEffFamily == 6 && (FEffModel == 7 || FEffModel == 8))
    FL2CacheSize = Byte(l2.ECX, 3);
  else
    FL2CacheSize = static_cast<uint16_t>(l2.ECX >> 16);
}
