#pragma once
// The processor record: vendor, family, model and the feature flags that the
// blending and JPEG code choose their routines by.

#include <bitset>
#include <cstdint>
#include <string>

enum TCPUFeature { cfCMOV, cfMMX, cfMMXExt, cfSSE, cfSSE2, cf3DNow, cf3DNowExt, cfFeatureCount };

struct TCPUInfo {
    std::string VendorID;                  // up to 12 characters, e.g. "GenuineIntel"
    std::bitset<cfFeatureCount> Features;  // Features[cfSSE2] ...
    std::uint8_t Count = 0;                // low byte of the processor count
    std::uint8_t Family = 0;               // leaf 1 EAX bits 8-11
    std::uint8_t Model = 0;                // leaf 1 EAX bits 4-7

    bool Has(TCPUFeature feature) const { return Features[feature]; }
};

// Reads CPUID (where the processor has it) and the processor count.
TCPUInfo ReadCPUInfo();

// Decodes the raw CPUID words; kept apart from ReadCPUInfo so it can be tested.
struct TCPUIDWords {
    std::uint32_t MaxLeaf = 0;
    std::uint32_t VendorEBX = 0, VendorEDX = 0, VendorECX = 0;
    std::uint32_t Leaf1EAX = 0, Leaf1EDX = 0;
    std::uint32_t MaxExtendedLeaf = 0;
    std::uint32_t Ext1EDX = 0;
};
TCPUInfo DecodeCPUID(const TCPUIDWords& words, unsigned processorCount);
