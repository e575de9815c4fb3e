#include "gallery/properties/pvu1ToolFiles.h"

#include "platform/core/AsciiCase.h"
#include "platform/core/Integers.h"
#include "platform/shell/Shell.h"
#include "platform/strings/StringList.h"
#include "platform/system/System.h"
#include "raster/RasterDIB.h"

#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool WriteWholeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(ToFileSystemPath(path), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return !out.fail();
}

}  // namespace

std::string BannerFileName(const std::string& dialogCaption)
{
    const bool index = AsciiLower(dialogCaption).find("index") != std::string::npos;
    return index ? "banner1.dat" : "banner2.dat";
}

std::vector<std::string> ReadBannerLines(const std::string& path)
{
    if (!FileExists(path)) return {};
    TStringList lines;
    lines.LoadFromFile(path);
    return lines.Items();
}

bool WriteBannerLines(const std::string& path, const std::vector<std::string>& lines)
{
    std::string bytes;
    for (const std::string& line : lines) bytes += line + "\r\n";
    return WriteWholeFile(path, bytes);
}

bool WritePreviewFile(const std::string& path, const std::string& text) { return WriteWholeFile(path, text + "\r\n"); }

std::string ColourCopyText(TColor colour) { return std::to_string(colour); }

bool ParsePastedColour(const std::string& text, TColor& colour)
{
    if (int number = 0; ParseInteger(text, number)) {
        // Numbers beyond $FFFFFF name system colours or nothing: no colour a user pastes.
        if (number < 0 || number > 0xFFFFFF) return false;
        colour = static_cast<TColor>(number);
        return true;
    }
    // "#RRGGBB": after the "$" the core parser takes hexadecimal digits only.
    int rgb = 0;
    if (text.size() != 7 || text[0] != '#' || !ParseInteger("$" + text.substr(1), rgb)) return false;
    colour = RGBColor(std::uint8_t(rgb >> 16), std::uint8_t(rgb >> 8), std::uint8_t(rgb));
    return true;
}

bool PixelColourAt(const TRasterDIB& picture, int x, int y, TColor& colour)
{
    if (x < 0 || y < 0 || x >= picture.Width() || y >= picture.AbsHeight) return false;
    TColorTriple triple;
    picture.GetPixelColor(picture.RowFromTop(y), x, triple);
    colour = RGBColor(triple.Red, triple.Green, triple.Blue);
    return true;
}

bool IsProgramFile(const std::string& path)
{
    struct stat st {};
    const std::string file = ToFileSystemPath(path);
    return ::stat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(file.c_str(), X_OK) == 0;
}

bool StartEditor(const std::string& program, const std::string& file, std::string& error)
{
    if (program.empty()) {
        error = "No editor program is set for this entry (Customize Editor).";
        return false;
    }
    // A stored path from another system (c:\windows\notepad.exe), or a program since removed.
    if (FindProgramPath(ToFileSystemPath(program)).empty()) {
        error = "The editor program \"" + program +
                "\" does not exist on this computer. Choose an installed program on the Customize Editor page.";
        return false;
    }
    return StartProgram(program, {ToFileSystemPath(file)}, std::string(), &error);
}
