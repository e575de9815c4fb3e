#pragma once
// Autodesk Animator cel and pic files, and Dr. Halo CUT files with their
// ".pal" palette files.

#include "formats/ImageFormats.h"

#include <cstdint>
#include <string>

// 8-bit pictures with a 6-bit palette.
class TAutodeskGraphic : public TFormatGraphic {
public:
    PICTAVO_FORMAT_GRAPHIC_CLASS(TAutodeskGraphic, TFormatGraphic)

    static bool CanLoad(TStream& stream);
    bool ReadImageProperties(TStream& stream, std::uint32_t imageIndex) override;

protected:
    const char* FormatName() const override;
    void LoadImage(TStream& stream) override;

private:
    bool storedRows_ = false;  // 8-bit rows without compression, the only layout there is
};

// Run-length 8-bit pictures; the palette lives beside the file.
class TCUTGraphic : public TFormatGraphic {
public:
    PICTAVO_FORMAT_GRAPHIC_CLASS(TCUTGraphic, TFormatGraphic)

    // CUT files carry no signature: never true.
    static bool CanLoad(TStream& stream);
    bool ReadImageProperties(TStream& stream, std::uint32_t imageIndex) override;
    // Finds the palette file (the name with ".pal" in any letter case), then
    // loads the file.
    void LoadFromFile(const std::string& fileName) override;

    // The palette file of the next load; empty gives a grey ramp.
    std::string PaletteFile;

    // The palette file beside fileName: its name with the extension ".pal",
    // or the file of the folder whose name equals that ignoring letter case;
    // "" when there is none.
    static std::string FindPaletteFile(const std::string& fileName);

protected:
    const char* FormatName() const override;
    void LoadImage(TStream& stream) override;

private:
    void LoadPalette();
};
