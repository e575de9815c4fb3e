#include "platform/cpu/Cpu.h"

#include <thread>

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#endif

TCPUInfo DecodeCPUID(const TCPUIDWords& w, unsigned processorCount)
{
    TCPUInfo info;
    info.Count = static_cast<std::uint8_t>(processorCount & 0xFF);
    if (w.MaxLeaf == 0) return info;
    char vendor[13] = {};
    for (int i = 0; i < 4; ++i) {
        vendor[i] = static_cast<char>(w.VendorEBX >> (8 * i));
        vendor[4 + i] = static_cast<char>(w.VendorEDX >> (8 * i));
        vendor[8 + i] = static_cast<char>(w.VendorECX >> (8 * i));
    }
    info.VendorID = vendor;  // stops at a NUL, so never more than 12 characters
    info.Family = static_cast<std::uint8_t>((w.Leaf1EAX >> 8) & 0xF);
    info.Model = static_cast<std::uint8_t>((w.Leaf1EAX >> 4) & 0xF);
    info.Features[cfCMOV] = (w.Leaf1EDX >> 15) & 1;
    info.Features[cfMMX] = (w.Leaf1EDX >> 23) & 1;
    info.Features[cfSSE] = (w.Leaf1EDX >> 25) & 1;
    info.Features[cfSSE2] = (w.Leaf1EDX >> 26) & 1;
    if (w.MaxExtendedLeaf > 0x80000000u) {
        info.Features[cfMMXExt] = (w.Ext1EDX >> 22) & 1;
        info.Features[cf3DNow] = (w.Ext1EDX >> 31) & 1;
        info.Features[cf3DNowExt] = (w.Ext1EDX >> 30) & 1;
    }
    return info;
}

TCPUInfo ReadCPUInfo()
{
    TCPUIDWords w;
#if defined(__i386__) || defined(__x86_64__)
    unsigned a = 0, b = 0, c = 0, d = 0;
    // __get_cpuid checks that CPUID exists and that the leaf is supported.
    if (__get_cpuid(0, &a, &b, &c, &d)) {
        w.MaxLeaf = a;
        w.VendorEBX = b;
        w.VendorEDX = d;
        w.VendorECX = c;
        if (a >= 1 && __get_cpuid(1, &a, &b, &c, &d)) {
            w.Leaf1EAX = a;
            w.Leaf1EDX = d;
        }
        if (__get_cpuid(0x80000000u, &a, &b, &c, &d)) {
            w.MaxExtendedLeaf = a;
            if (a > 0x80000000u && __get_cpuid(0x80000001u, &a, &b, &c, &d)) w.Ext1EDX = d;
        }
    }
#endif
    return DecodeCPUID(w, std::thread::hardware_concurrency());
}
