#include "framework/DCPU.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// A processor that answers from a table; a leaf asked more often than it has answers keeps
// giving its last one, and a leaf it does not know answers zeros.
struct FakeProcessor {
  std::map<uint32_t, std::vector<TCPUIDRegisters>> answers;
  std::map<uint32_t, int> asked;
  uint32_t throwAt = 0xFFFFFFFFu;
  bool osSavesSSE = true;
  bool osSavesAVX = false;

  void Vendor(const std::string& text, uint32_t highestLeaf) {
    uint32_t regs[3] = {};
    std::memcpy(regs, text.data(), std::min<size_t>(text.size(), 12));
    answers[0] = {{highestLeaf, regs[0], regs[2], regs[1]}}; // text order is EBX, EDX, ECX
  }

  TCPU Decode() {
    TCPUProbe probe;
    probe.HasCPUID = true;
    probe.OSSavesSSE = osSavesSSE;
    probe.OSSavesAVX = osSavesAVX;
    probe.CPUID = [this](uint32_t leaf) {
      if (leaf == throwAt)
        throw std::runtime_error("CPUID refused");
      const int n = asked[leaf]++;
      auto it = answers.find(leaf);
      if (it == answers.end() || it->second.empty())
        return TCPUIDRegisters{};
      return it->second[std::min<size_t>(n, it->second.size() - 1)];
    };
    return TCPU(probe);
  }
};

constexpr uint32_t kExt = 0x80000000u;

// A processor that reports only a signature and feature words in leaf 1.
TCPU WithLeaf1(const std::string& vendor, uint32_t signature, uint32_t ecx, uint32_t edx) {
  FakeProcessor cpu;
  cpu.Vendor(vendor, 1);
  cpu.answers[1] = {{signature, 0, ecx, edx}};
  return cpu.Decode();
}

TEST(CPU, VendorTextsMapToTheirVendors) {
  const std::pair<const char*, TCPUVendor> rows[] = {
      {"AuthenticAMD", cvAMD},   {"CentaurHauls", cvCentaur},   {"CyrixInstead", cvCyrix},
      {"GenuineIntel", cvIntel}, {"GenuineTMx86", cvTransmeta}, {"NexGenDriven", cvNexGen},
      {"RiseRiseRise", cvRise},  {"UMC UMC UMC ", cvUMC},       {"Geode by NSC", cvNSC},
      {"SiS SiS SiS ", cvSiS},
  };
  for (const auto& [text, vendor] : rows) {
    FakeProcessor cpu;
    cpu.Vendor(text, 0);
    EXPECT_EQ(cpu.Decode().Vendor(), vendor) << text;
  }
  for (const char* other : {"HygonGenuine", "GenuineInte ", "genuineintel", "SiS SiS SiS\0"}) {
    char text[12] = {};
    std::memcpy(text, other, 12);
    EXPECT_EQ(VendorFromText(text), cvUnknown) << other;
  }
}

TEST(CPU, UnknownVendorStillReadsFeatures) {
  const TCPU cpu = WithLeaf1("HygonGenuine", 0x00900F01, 1u << 0, (1u << 0) | (1u << 25));
  EXPECT_EQ(cpu.Vendor(), cvUnknown);
  EXPECT_EQ(cpu.Signature(), 0x00900F01u);
  EXPECT_EQ(cpu.Instructions(), (TCPUInstructions{isFPU, isSSE, isSSE3}));
}

TEST(CPU, EffectiveFamilyAndModel) {
  struct Row {
    const char* vendor;
    uint32_t signature;
    uint8_t family, model;
  };
  const Row rows[] = {
      {"GenuineIntel", 0x00000F29, 15, 2},    // Pentium 4: extended fields are zero
      {"AuthenticAMD", 0x00100F42, 16, 4},    // family 15 + extended family 1
      {"AuthenticAMD", 0x00020FB1, 15, 0x2B}, // Athlon 64: extended model joins family 15
      {"AuthenticAMD", 0x0FF00F00, 14, 0},    // 15 + 255 wraps as an 8-bit sum
      {"AuthenticAMD", 0x00010681, 6, 8},     // family 6 outside Intel ignores extended model
      {"GenuineIntel", 0x000306C3, 6, 0x3C},  // Intel family 6 counts the extended model
      {"GenuineIntel", 0x00000633, 6, 3},
  };
  for (const Row& r : rows) {
    const TCPU cpu = WithLeaf1(r.vendor, r.signature, 0, 0);
    EXPECT_EQ(cpu.EffFamily(), r.family) << std::hex << r.signature;
    EXPECT_EQ(cpu.EffModel(), r.model) << std::hex << r.signature;
  }
}

TEST(CPU, FeatureBitsOfLeafOne) {
  const uint32_t allEdx = 0xFFFFFFFFu;
  const uint32_t allEcx = 0xFFFFFFFFu;
  const TCPUInstructions standard{isFPU,  isTSC, isCX8,  isSEP,  isCMOV, isMMX,
                                  isFXSR, isSSE, isSSE2, isSSE3, isCX16};
  TCPUInstructions withMonitor = standard;
  withMonitor.Include(isMONITOR);
  EXPECT_EQ(WithLeaf1("GenuineIntel", 0x00000F29, allEcx, allEdx).Instructions(), withMonitor);
  // MONITOR is taken only from Intel's answer.
  EXPECT_EQ(WithLeaf1("AuthenticAMD", 0x00000F29, allEcx, allEdx).Instructions(), standard);
  EXPECT_EQ(WithLeaf1("AuthenticAMD", 0x00000F29, 0, 0).Instructions(), TCPUInstructions{});
}

TEST(CPU, SepIsDroppedOnEarlyIntelOnly) {
  const uint32_t sep = 1u << 11;
  EXPECT_TRUE(WithLeaf1("GenuineIntel", 0x00000633, 0, sep).Instructions().Contains(isSEP));
  EXPECT_FALSE(WithLeaf1("GenuineIntel", 0x00000632, 0, sep).Instructions().Contains(isSEP));
  // The mask leaves out bits 14, 15 and 28..31; the processor type (bits 12, 13) counts.
  EXPECT_FALSE(WithLeaf1("GenuineIntel", 0xF000C632, 0, sep).Instructions().Contains(isSEP));
  EXPECT_TRUE(WithLeaf1("GenuineIntel", 0x00001632, 0, sep).Instructions().Contains(isSEP));
  EXPECT_TRUE(WithLeaf1("AuthenticAMD", 0x00000612, 0, sep).Instructions().Contains(isSEP));
}

TEST(CPU, CacheDescriptorRoundsAndOverwrites) {
  FakeProcessor cpu;
  cpu.Vendor("GenuineIntel", 2);
  // Two rounds: the first names an 8 KB data cache and L2 256 in EAX's upper bytes and EDX, the
  // second overwrites them. EAX's low byte is the round count, never a descriptor.
  cpu.answers[2] = {{0x0A7A0002, 0, 0, 0x00000030}, {0x00000043, 0x0C, 0x25000000, 0x00000008}};
  const TCPU decoded = cpu.Decode();
  EXPECT_EQ(cpu.asked[2], 2);
  EXPECT_EQ(decoded.CodeL1CacheSize(), 16);
  EXPECT_EQ(decoded.DataL1CacheSize(), 16);
  EXPECT_EQ(decoded.L2CacheSize(), 256);
  EXPECT_EQ(decoded.L3CacheSize(), 2048);

  FakeProcessor once;
  once.Vendor("GenuineIntel", 2);
  once.answers[2] = {{0x30000000, 0, 0, 0}}; // a round count of 0 still reads one round
  EXPECT_EQ(once.Decode().CodeL1CacheSize(), 32);
  EXPECT_EQ(once.asked[2], 1);

  FakeProcessor noLeaf2;
  noLeaf2.Vendor("GenuineIntel", 1);
  noLeaf2.answers[2] = {{0x30000001, 0, 0, 0}};
  EXPECT_EQ(noLeaf2.Decode().CodeL1CacheSize(), 0);
  EXPECT_EQ(noLeaf2.asked[2], 0);
}

TEST(CPU, DescriptorsThatDependOnContextOrVendor) {
  auto decode = [](const char* vendor, uint32_t ebx) {
    FakeProcessor cpu;
    cpu.Vendor(vendor, 2);
    cpu.answers[2] = {{0x00000001, ebx, 0, 0}};
    return cpu.Decode();
  };
  // 0x40 cancels an L3 size only when an L2 size is known.
  EXPECT_EQ(decode("GenuineIntel", 0x00004029).L3CacheSize(), 4096);
  EXPECT_EQ(decode("GenuineIntel", 0x00402943).L3CacheSize(), 0);
  EXPECT_EQ(decode("GenuineIntel", 0x00402943).L2CacheSize(), 512);
  EXPECT_EQ(decode("GenuineIntel", 0x00000070).CodeL1CacheSize(), 12);
  EXPECT_EQ(decode("CyrixInstead", 0x00000070).CodeL1CacheSize(), 0);
  EXPECT_EQ(decode("Geode by NSC", 0x00000070).CodeL1CacheSize(), 0);
  const TCPU cyrix = decode("CyrixInstead", 0x00000080);
  EXPECT_EQ(cyrix.CodeL1CacheSize(), 8);
  EXPECT_EQ(cyrix.DataL1CacheSize(), 8);
  const TCPU intel = decode("GenuineIntel", 0x00000080);
  EXPECT_EQ(intel.CodeL1CacheSize(), 0);
  EXPECT_EQ(intel.DataL1CacheSize(), 0);
  EXPECT_EQ(decode("GenuineIntel", 0xFF4E0BFF).L2CacheSize(), 0); // unknown bytes ignored
}

TEST(CPU, ExtendedLeaves) {
  FakeProcessor cpu;
  cpu.Vendor("AuthenticAMD", 0); // extended leaves are read even without leaf 1
  cpu.answers[kExt] = {{kExt + 1, 0, 0, 0}};
  cpu.answers[kExt + 1] = {{0, 0, 0, 0xE0400000}};
  cpu.answers[kExt + 6] = {{0, 0, 0x02008140, 0}};
  const TCPU decoded = cpu.Decode();
  EXPECT_EQ(decoded.Instructions(), (TCPUInstructions{isExMMX, isX64, isEx3DNow, is3DNow}));
  EXPECT_EQ(decoded.L2CacheSize(), 0); // 0x80000006 lies beyond the highest extended leaf
  EXPECT_EQ(cpu.asked[kExt + 6], 0);
}

TEST(CPU, ExtendedCacheLeavesByVendor) {
  auto decode = [](const char* vendor, uint32_t signature) {
    FakeProcessor cpu;
    cpu.Vendor(vendor, 2);
    cpu.answers[1] = {{signature, 0, 0, 0}};
    cpu.answers[2] = {{0x00000001, 0x0000002C, 0, 0x00000030}}; // L1 32 + 32 from leaf 2
    cpu.answers[kExt] = {{kExt + 6, 0, 0, 0}};
    cpu.answers[kExt + 5] = {{0, 0, 0x40020140, 0x20020140}};
    cpu.answers[kExt + 6] = {{0, 0, 0x01008140, 0}};
    return cpu.Decode();
  };
  const TCPU amd = decode("AuthenticAMD", 0x00000F48);
  EXPECT_EQ(amd.CodeL1CacheSize(), 32);
  EXPECT_EQ(amd.DataL1CacheSize(), 64);
  EXPECT_EQ(amd.L2CacheSize(), 256);
  EXPECT_EQ(decode("AuthenticAMD", 0x00000630).L2CacheSize(), 64); // Duron
  EXPECT_EQ(decode("AuthenticAMD", 0x00000631).L2CacheSize(), 256);
  const TCPU intel = decode("GenuineIntel", 0x000006F6); // keeps leaf 2's L1 sizes
  EXPECT_EQ(intel.CodeL1CacheSize(), 32);
  EXPECT_EQ(intel.DataL1CacheSize(), 32);
  EXPECT_EQ(intel.L2CacheSize(), 256);
  EXPECT_EQ(decode("CyrixInstead", 0x00000600).DataL1CacheSize(), 32);
  EXPECT_EQ(decode("CentaurHauls", 0x00000678).L2CacheSize(), 1);   // C3 reports the top byte
  EXPECT_EQ(decode("CentaurHauls", 0x00000698).L2CacheSize(), 256); // later models do not
  EXPECT_EQ(decode("CentaurHauls", 0x00000678).DataL1CacheSize(), 64);
}

TEST(CPU, SseWithoutOperatingSystemSupportIsRemoved) {
  FakeProcessor cpu;
  cpu.Vendor("GenuineIntel", 1);
  cpu.answers[1] = {{0x00000F29, 0, 1u, (1u << 0) | (1u << 24) | (1u << 25) | (1u << 26)}};
  cpu.osSavesSSE = false;
  EXPECT_EQ(cpu.Decode().Instructions(), (TCPUInstructions{isFPU, isFXSR}));

  // Without SSE itself, nothing is removed.
  FakeProcessor onlySse3;
  onlySse3.Vendor("GenuineIntel", 1);
  onlySse3.answers[1] = {{0x00000F29, 0, 1u, 0}};
  onlySse3.osSavesSSE = false;
  EXPECT_EQ(onlySse3.Decode().Instructions(), TCPUInstructions{isSSE3});
}

TEST(CPU, VectorUnitsNeedTheOperatingSystemAndAvx2ItsLeaf) {
  const uint32_t fma = 1u << 12, avx = 1u << 28, avx2 = 1u << 5;
  const auto decode = [&](uint32_t highestLeaf, bool osSaves) {
    FakeProcessor cpu;
    cpu.Vendor("AuthenticAMD", highestLeaf);
    cpu.answers[1] = {{0x00A00F11, 0, avx | fma, 1u << 26}};
    cpu.answers[7] = {{0, avx2, 0, 0}};
    cpu.osSavesAVX = osSaves;
    return cpu.Decode().VectorUnits();
  };
  EXPECT_EQ(decode(7, true), (TCPUVectorUnits{vuAVX, vuFMA, vuAVX2}));
  EXPECT_EQ(decode(6, true), (TCPUVectorUnits{vuAVX, vuFMA})); // no leaf 7 to ask
  EXPECT_EQ(decode(7, false), TCPUVectorUnits{});
  EXPECT_EQ(WithLeaf1("GenuineIntel", 0x000306C3, fma, 0).VectorUnits(), TCPUVectorUnits{});

  TCPUProbe arm;
  arm.HasNEON = true;
  EXPECT_EQ(TCPU(arm).VectorUnits(), TCPUVectorUnits{vuNEON});
  EXPECT_EQ(TCPU(arm).Instructions(), TCPUInstructions{});
}

TEST(CPU, WithoutCpuidOnlyTheFpuIsReported) {
  int asked = 0;
  TCPUProbe probe;
  probe.CPUID = [&](uint32_t) {
    ++asked;
    return TCPUIDRegisters{};
  };
  probe.HasFPU = true;
  EXPECT_EQ(TCPU(probe).Instructions(), TCPUInstructions{isFPU});
  probe.HasFPU = false;
  const TCPU bare(probe);
  EXPECT_EQ(bare.Instructions(), TCPUInstructions{});
  EXPECT_EQ(bare.Vendor(), cvUnknown);
  EXPECT_EQ(asked, 0);
}

TEST(CPU, AnErrorKeepsWhatWasFound) {
  FakeProcessor cpu;
  cpu.Vendor("GenuineIntel", 2);
  cpu.answers[1] = {{0x00000F29, 0, 0, 1u}};
  cpu.throwAt = 2;
  const TCPU decoded = cpu.Decode();
  EXPECT_EQ(decoded.Vendor(), cvIntel);
  EXPECT_EQ(decoded.Signature(), 0x00000F29u);
  EXPECT_EQ(decoded.Instructions(), TCPUInstructions{isFPU});
  EXPECT_EQ(decoded.L2CacheSize(), 0);
}

// Pentium 4 (Northwood), as it answers: leaf 2 names its trace cache, data cache and L2; its
// extended leaves stop before the cache leaves.
TEST(CPU, Pentium4Northwood) {
  FakeProcessor cpu;
  cpu.Vendor("GenuineIntel", 2);
  cpu.answers[1] = {{0x00000F29, 0x00010809, 0x00004400, 0xBFEBFBFF}};
  cpu.answers[2] = {{0x665B5001, 0, 0, 0x007A7040}};
  cpu.answers[kExt] = {{0x80000004, 0, 0, 0}};
  const TCPU p4 = cpu.Decode();
  EXPECT_EQ(p4.Vendor(), cvIntel);
  EXPECT_EQ(p4.EffFamily(), 15);
  EXPECT_EQ(p4.EffModel(), 2);
  EXPECT_EQ(p4.CodeL1CacheSize(), 12);
  EXPECT_EQ(p4.DataL1CacheSize(), 8);
  EXPECT_EQ(p4.L2CacheSize(), 256);
  EXPECT_EQ(p4.L3CacheSize(), 0);
  EXPECT_EQ(p4.Instructions(),
            (TCPUInstructions{isFPU, isTSC, isCX8, isSEP, isCMOV, isMMX, isFXSR, isSSE, isSSE2}));
}

// Athlon 64 (Venice): only leaf 1 among the standard leaves; caches from the extended leaves.
TEST(CPU, Athlon64Venice) {
  FakeProcessor cpu;
  cpu.Vendor("AuthenticAMD", 1);
  cpu.answers[1] = {{0x00020FF2, 0x00000800, 0x00000001, 0x078BFBFF}};
  cpu.answers[kExt] = {{0x80000018, 0, 0, 0}};
  cpu.answers[kExt + 1] = {{0x00020FF2, 0, 0x00000001, 0xE3D3FBFF}};
  cpu.answers[kExt + 5] = {{0xFF08FF08, 0xFF20FF20, 0x40020140, 0x40020140}};
  cpu.answers[kExt + 6] = {{0, 0x42004200, 0x02008140, 0}};
  const TCPU athlon = cpu.Decode();
  EXPECT_EQ(athlon.Vendor(), cvAMD);
  EXPECT_EQ(athlon.EffFamily(), 15);
  EXPECT_EQ(athlon.EffModel(), 0x2F);
  EXPECT_EQ(athlon.CodeL1CacheSize(), 64);
  EXPECT_EQ(athlon.DataL1CacheSize(), 64);
  EXPECT_EQ(athlon.L2CacheSize(), 512);
  EXPECT_EQ(athlon.L3CacheSize(), 0);
  EXPECT_EQ(athlon.Instructions(),
            (TCPUInstructions{isFPU, isTSC, isCX8, isSEP, isCMOV, isMMX, isFXSR, isSSE, isSSE2,
                              isSSE3, isX64, isExMMX, isEx3DNow, is3DNow}));
}

TEST(CPU, ThisMachine) {
  const TCPU cpu;
#if defined(__x86_64__)
  EXPECT_TRUE(cpu.Instructions().Contains(isX64));
  EXPECT_TRUE(cpu.Instructions().Contains(isSSE2));
  EXPECT_TRUE(cpu.Instructions().Contains(isFPU));
  EXPECT_NE(cpu.Signature(), 0u);
  EXPECT_NE(cpu.EffFamily(), 0);
  EXPECT_EQ(cpu.VectorUnits().Contains(vuAVX2), bool(__builtin_cpu_supports("avx2")));
  EXPECT_EQ(cpu.VectorUnits().Contains(vuFMA), bool(__builtin_cpu_supports("fma")));
  EXPECT_FALSE(cpu.VectorUnits().Contains(vuNEON));
#elif defined(__aarch64__)
  EXPECT_EQ(cpu.VectorUnits(), TCPUVectorUnits{vuNEON});
  EXPECT_EQ(cpu.Instructions(), TCPUInstructions{});
  EXPECT_EQ(cpu.Signature(), 0u);
#elif !defined(__i386__)
  EXPECT_EQ(cpu.Instructions(), TCPUInstructions{});
  EXPECT_EQ(cpu.Signature(), 0u);
#endif
}

} // namespace
