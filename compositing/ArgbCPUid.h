#pragma once
// The processor probe of the compositing library. It is reported, not
// obeyed: the blending routines compute one form on every processor.

#include <cstdint>

// True when the processor has the CPUID instruction.
bool CpuidAvailable();
// EAX and EDX of CPUID leaf 1 (0 without CPUID).
std::uint32_t CpuSignature();
std::uint32_t CpuFeatures();
// Family 5 or later with the MMX feature bit (bit 23) set.
bool DetectMMX();
