#pragma once
// The build driver's run state, handed from phase to phase (the phases are
// members of TForm1, gallery/pvu.h).

#include "gallery/mainwindow/pvu.h"

#include <map>
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
    int NameCounter = 0;                           // output number of the next item that succeeds
    std::vector<int> FailedItems;                  // in item order
    std::vector<std::string> NotWritten;           // pictures that could not be written: source, target, reason
    std::map<std::string, std::string> WrittenBy;  // every picture this build wrote (full path) and its source
    std::string FirstIndexPage;
    bool FramesOn = false;  // the index page properties ask for a frame page
    std::string FramePage;
};

// What one item's image or thumbnail step did.
struct TStepResult {
    bool Failed = false;      // the picture did not load: the item leaves the list
    bool NotWritten = false;  // it loaded but could not be written: the item stays
    std::string WrittenFile;  // the picture written, full path
};

// The index pages' count and the thumbnails on the last, partly filled one.
struct TPagePlan {
    int Pages = 0;
    int Remainder = 0;
};
