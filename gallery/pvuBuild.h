#pragma once
// The build driver's run state, and its path helpers: where outputs may go
// and which source folders a destination would overwrite.

#include "gallery/pvu.h"

#include <string>
#include <vector>

// One build, handed from phase to phase: what it makes (read once, when it
// starts; the settings pages are hidden while it runs) and what it made.
struct TBuildRun {
    TBuildMode Mode = bmAll;
    int ItemCount = 0;
    std::string DestinationFolder;  // '/' separated, with a trailing '/'
    int LinkKind = hlNone;          // THyperlinkTo
    bool LinksImages = false;       // image copies are made and linked
    bool KeepDate = false;
    TMakerSettings Settings;
    std::string PhaseText;
    int NameCounter = 0;                  // output number of the next item that succeeds
    std::vector<int> FailedItems;         // in item order
    std::vector<std::string> NotWritten;  // pictures that could not be written, with the reason
    std::string FirstIndexPage;
    bool FramesOn = false;  // the index page properties ask for a frame page
    std::string FramePage;
};

// What one item's image or thumbnail step did.
struct TStepResult {
    bool Failed = false;      // the picture did not load or was not written
    std::string WrittenFile;  // the picture written, full path
};

// The index pages' count and the thumbnails on the last, partly filled one.
struct TPagePlan {
    int Pages = 0;
    int Remainder = 0;
};

// The folder's absolute path with symbolic links, "." and ".." resolved; a
// part that does not exist yet is resolved through its nearest existing parent.
// No trailing '/', except for the root itself.
std::string CanonicalFolderPath(const std::string& folder);

// True when folder is the container itself or lies somewhere below it, both
// compared as canonical paths, ASCII letters without regard to case (a
// refusal too many is harmless; overwriting an original is not).
bool FolderLiesWithin(const std::string& folder, const std::string& container);

// An output name made safe to join to the destination folder: '\' becomes
// '/', and empty, "." and ".." segments (a leading '/' too) are dropped, so
// the name can never leave the destination.
std::string SafeOutputName(const std::string& name);

// Loads a picture file (when it exists) and measures it; width and height stay when it does not load.
void MeasurePictureFile(const std::string& fileName, int& width, int& height, int* colours);
