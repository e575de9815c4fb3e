#pragma once
// System information of the component kit.

#include <string>

// Bits per pixel of the display (planes x bits); 0 without a screen.
int DisplayColorDepth();
// The minor number of the running kernel's version (the "1" of 6.1.0); 0 when unknown.
int OsMinorVersion();
// The logged-on user's name, at most 63 characters; "(Unknown)" when the system does not say.
std::string KitUserName();

// Platform flags set at start-up. This system belongs to neither of the old
// desktop families: it counts as the modern (NT-like) one.
struct TKitPlatformFlags {
    bool Windows95Family = false;
    bool MinorVersion10OrAbove = false;
    bool WindowsExtension = false;
    bool NT = false;
};
const TKitPlatformFlags& KitPlatformFlags();
