#pragma once
// Path helpers of the build: which source folders a destination would
// overwrite, and measuring a picture already in the destination.

#include <string>

// The folder's absolute path with symbolic links, "." and ".." resolved; a
// part that does not exist yet is resolved through its nearest existing parent.
// No trailing '/', except for the root itself.
std::string CanonicalFolderPath(const std::string& folder);

// True when folder is the container itself or lies somewhere below it, both
// compared as canonical paths, ASCII letters without regard to case (a
// refusal too many is harmless; overwriting an original is not).
bool FolderLiesWithin(const std::string& folder, const std::string& container);

// Creates the folder (with its missing parents) and writes and removes a
// small file in it; "" when that worked, else why it did not.
std::string FolderWriteProblem(const std::string& folder);

// Loads a picture file (when it exists) and measures it; width and height stay when it does not load.
void MeasurePictureFile(const std::string& fileName, int& width, int& height, int* colours);
