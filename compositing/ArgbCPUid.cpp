#include "compositing/ArgbCPUid.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#define PICTAVO_HAVE_CPUID 1
#endif

namespace {
bool leaf1(std::uint32_t& eax, std::uint32_t& edx)
{
#ifdef PICTAVO_HAVE_CPUID
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid(1, &a, &b, &c, &d)) return false;
    eax = a;
    edx = d;
    return true;
#else
    (void)eax;
    (void)edx;
    return false;
#endif
}
}  // namespace

bool CpuidAvailable()
{
#ifdef PICTAVO_HAVE_CPUID
    return __get_cpuid_max(0, nullptr) != 0;
#else
    return false;
#endif
}

std::uint32_t CpuSignature()
{
    std::uint32_t eax = 0, edx = 0;
    return leaf1(eax, edx) ? eax : 0;
}

std::uint32_t CpuFeatures()
{
    std::uint32_t eax = 0, edx = 0;
    return leaf1(eax, edx) ? edx : 0;
}

bool DetectMMX() { return CpuidAvailable() && ((CpuSignature() >> 8) & 0xF) >= 5 && (CpuFeatures() & 0x800000) != 0; }
