#pragma once
// Helpers of the build tests: tools, pictures made at test time, folder trees.

#include <map>
#include <set>
#include <string>
#include <vector>

class TForm1;

// Replaces fields (numbered from 1) of a property record of the main window.
void SetRecordFields(TForm1& form, int record, const std::map<int, std::string>& values);

// The [Location] section of the build tests' settings files, saving into destination.
std::string LocationSettings(const std::string& destination);

// Runs a shell command; returns its exit status and (when given) its standard output.
int RunCommand(const std::string& command, std::string* output = nullptr);
// Quotes a path for the shell.
std::string ShellQuote(const std::string& text);
// True when the tool is on PATH.
bool HaveTool(const std::string& name);

// Copies a folder tree (files and folders) into another folder.
void CopyTree(const std::string& from, const std::string& to);
// Every regular file below folder, as paths relative to it with '/'.
std::set<std::string> FilesBelow(const std::string& folder);
// Modification time of a file in nanoseconds (-1 when missing).
long long FileStamp(const std::string& path);

// The size a picture of width x height gets in a box with proportions kept,
// rounded like the pixel sizing of the makers (nearest, halves away from zero).
void FitIntoBox(int width, int height, int boxWidth, int boxHeight, int& fitWidth, int& fitHeight);

// Width and height of a picture file as our own reader sees it (0 x 0 when it does not load).
void MeasureWithOurReader(const std::string& path, int& width, int& height);
// Width and height as ImageMagick's identify sees it (0 x 0 on failure).
void MeasureWithIdentify(const std::string& path, int& width, int& height);
// The bit count field of a BMP file header (0 when unreadable).
int BmpBitCount(const std::string& path);

// The settings file of the end-to-end builds: fixed names, sizes and
// templates ("fixed.htm"), pictures into destination.
std::string FixedSettings(const std::string& destination);
// The data folder's classic template of a kind (indexpg, imagepg) without its
// date line, as "fixed.htm" of the program folder, so the pages' bytes are fixed.
void WriteFixedTemplate(const std::string& programFolder, const std::string& kindFolder);

// A program folder for end-to-end builds: the picture loaders registered, the
// data folder copied in, and the fixed templates written.
void PrepareBuildProgramFolder(const std::string& programFolder);

// Registers the picture loaders once.
void EnsureImageFormats();

// href and src attribute values of a page, in order.
std::vector<std::string> LinkedAddresses(const std::string& html);

// Checks of the source-picture cache (raster side); each returns "" when all is well, else what went wrong.
std::string CheckSourcePictureCache(const std::string& folder);
