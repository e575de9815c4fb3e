#pragma once
// The JPEG side of the build benchmark: photographs made at run time and the
// plain libjpeg-turbo floor (no window headers here).

#include <string>

// Writes a photo-like width x height JPEG (quality 90).
void WritePhotoJpeg(const std::string& path, int width, int height, unsigned seed);
// One full decode of the file plus encodes of the two output sizes, in memory;
// returns the seconds it took.
double FloorSeconds(const std::string& path, int imageWidth, int imageHeight, int imageQuality, int thumbWidth,
                    int thumbHeight, int thumbQuality);
// Gives back the decode buffer the floor reuses (so it does not count in the build's memory).
void ReleaseFloorBuffer();
// Makes sure our JPEG library is loaded (it lies in the build folder, not beside the bench).
bool LoadOurJpegLibrary(const std::string& buildFolder);
