#pragma once
// The main window set up for the benchmarks' builds: a temporary folder with
// the program's data, the build's settings, and the decorations' records.

#include "gallery/mainwindow/pvu.h"

#include <memory>
#include <string>
#include <vector>

// A fresh temporary folder (with a trailing '/') holding the program's data
// in "program/"; removed with everything in it when the object goes.
struct TBenchFolder {
    TBenchFolder();
    ~TBenchFolder();
    TBenchFolder(const TBenchFolder&) = delete;
    TBenchFolder& operator=(const TBenchFolder&) = delete;
    std::string Root;
    std::string Program() const { return Root + "program/"; }
};

// Image copies resized to 800 x 600 (JPEG quality 85), thumbnails of 120
// pixels (quality 75), image pages, no browser, no kept dates.
constexpr int kBenchImageWidth = 800, kBenchImageHeight = 600, kBenchImageQuality = 85;
constexpr int kBenchThumbWidth = 120, kBenchThumbHeight = 90, kBenchThumbQuality = 75;
void ConfigureBenchBuild(TForm1& form, const std::string& destination);

// The main window set up for a build into destination, its message boxes
// collected in messages instead of shown (until NothingReported).
std::unique_ptr<TForm1> BenchForm(const std::string& destination, std::vector<std::string>& messages);
// Stops collecting message boxes; the first one collected, or "" when none was.
std::string FirstReport(const std::vector<std::string>& messages);

// "Create All" of the pictures, listed afresh, into an emptied destination.
void RunBuild(TForm1& form, const std::string& destination, const std::vector<std::string>& pictures);

// A vignette mask file (400 x 300, white in the middle, black at the corners) in folder.
std::string VignetteMask(const std::string& folder);

// The decorations, each with the pictures installed in data/frames: the mask
// (of the vignette), frame picture, bevel and outline of both pictures, the
// logo and the text stamp of the image copies.
enum class TBenchDecoration { Mask, Frame, Bevel, Outline, Logo, Text };
inline constexpr TBenchDecoration AllBenchDecorations[] = {TBenchDecoration::Mask,  TBenchDecoration::Frame,
                                                           TBenchDecoration::Bevel, TBenchDecoration::Outline,
                                                           TBenchDecoration::Logo,  TBenchDecoration::Text};
const char* DecorationName(TBenchDecoration decoration);
// Every decoration off.
void PlainBuild(TForm1& form);
// Turns one decoration on (and its check box), leaving the others as they are.
void AddDecoration(TForm1& form, TBenchDecoration decoration, const std::string& maskFile);
