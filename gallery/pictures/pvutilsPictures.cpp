// Pictures between files and TRasterDIB, and output file names.

#include "gallery/pictures/pvutilsPictures.h"
#include "gallery/pictures/pvutilsGeometry.h"
#include "gallery/pictures/pvutilsGif.h"
#include "platform/core/AsciiCase.h"

#include "formats/ImageFormats.h"
#include "gallery/text/srutils.h"
#include "gallery/text/srutilsFiles.h"
#include "platform/picture/Picture.h"
#include "platform/system/Files.h"
#include "platform/system/System.h"
#include "raster/RasterConvert.h"
#include "raster/RasterDIB.h"
#include "raster/RasterFX.h"
#include "raster/RasterFiles.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace {

bool isEmpty(const TRasterDIB& dib) { return dib.Width() <= 0 || dib.AbsHeight <= 0 || dib.Rows.empty(); }

void makeEmpty(TRasterDIB& dib) { dib.SetSize(0, 0, 24); }

// The registry's bitmap (rows top first, any pixel format) into a bottom-up
// 24-bit buffer. 24- and 32-bit rows are copied byte-wise; other formats go
// pixel by pixel through the palette, so no second full-size bitmap is made.
void copyBitmapInto(const TBitmap& bitmap, TRasterDIB& dib)
{
    const int width = bitmap.Width(), height = bitmap.Height();
    dib.SetSize(width, height, 24);
    if (isEmpty(dib)) return;
    const TPixelFormat format = bitmap.PixelFormat();
    for (int y = 0; y < height; ++y) {
        std::uint8_t* to = dib.Rows[std::size_t(height - 1 - y)];
        if (format == pf24bit) {
            std::memcpy(to, bitmap.ScanLine(y), std::size_t(width) * 3);
        } else if (format == pf32bit) {
            const std::uint8_t* from = bitmap.ScanLine(y);
            for (int x = 0; x < width; ++x, from += 4, to += 3) {
                to[0] = from[0];
                to[1] = from[1];
                to[2] = from[2];
            }
        } else {
            for (int x = 0; x < width; ++x, to += 3) {
                const TColor colour = bitmap.PixelColor(x, y);
                to[0] = BlueOf(colour);
                to[1] = GreenOf(colour);
                to[2] = RedOf(colour);
            }
        }
    }
}

// For a gallery a cut file is a broken picture: the readers refuse cut
// data here rather than keep the rows a short file still holds.
void loadThroughRegistry(TRasterDIB& dib, const std::string& fileName)
{
    auto picture = std::make_unique<TPicture>();
    picture->RefuseCutData = true;
    picture->LoadFromFile(fileName);
    const TBitmap& bitmap = picture->Bitmap();
    copyBitmapInto(bitmap, dib);
}

}  // namespace

bool PictureLoaded(const TRasterDIB& dib) { return !isEmpty(dib); }

namespace {

// An extension nobody reads is the caller's error, not a bad picture: the
// registry raises its own message for it.
void refuseUnknownExtension(const std::string& ext, const std::string& path)
{
    const TGraphicClass cls = TPicture::FindGraphicClass(ext);
    if (cls == nullptr || cls->Create == nullptr) TPicture().LoadFromFile(path);
}

// A JPEG as every viewer shows it: turned upright by its EXIF orientation
// before anything else happens to it, so a phone's portrait photo is a
// portrait and the gallery's own rotation and mirror work on what the user sees.
void readJpegUpright(TRasterDIB& dib, const std::string& path)
{
    TJpegMetadata metadata;
    ReadJpegFile(dib, path, 1, &metadata);
    if (!isEmpty(dib)) OrientPicture(dib, metadata.Orientation);
}

// JPEG and BMP through the raster core, everything else through the picture
// registry. Without the JPEG library nothing is read: "not loaded" rather
// than whatever the buffer held.
void readPicture(TRasterDIB& dib, const std::string& path, bool jpeg, bool bmp)
{
    if (jpeg && !JpegLibraryPresent())
        makeEmpty(dib);
    else if (jpeg)
        readJpegUpright(dib, path);
    else if (bmp)
        ReadBmpFile(dib, path, TBmpShortData::Refuse);
    else
        loadThroughRegistry(dib, path);
}

}  // namespace

void LoadImageFile(TRasterDIB& dib, const std::string& fileName)
{
    const std::string path = ToFileSystemPath(fileName);
    if (!FileExists(path)) return;
    const std::string ext = AsciiLower(ExtractFileExt(path));
    const bool jpeg = ext.find(".j") != std::string::npos;
    const bool bmp = !jpeg && ext.find(".bmp") != std::string::npos;
    if (!jpeg && !bmp) refuseUnknownExtension(ext, path);
    try {
        readPicture(dib, path, jpeg, bmp);
        if (isEmpty(dib))
            makeEmpty(dib);
        else
            ChangeBitCount(dib, 24);
    } catch (const Exception&) {
        // A corrupt, truncated or oversized picture is "not loaded": the
        // item fails and the build goes on.
        makeEmpty(dib);
    } catch (const std::bad_alloc&) {
        makeEmpty(dib);
    }
}

void LoadScaledImage(TRasterDIB& dib, const std::string& fileName, int percent, int invert, int brightness)
{
    TRasterDIB loaded;
    LoadImageFile(loaded, fileName);
    if (invert == 1) InvertColors(loaded);
    ApplyBrightness(loaded, 3 * brightness, 3 * brightness, 3 * brightness);
    if (percent == 100) {
        dib.TakeOver(loaded);
        return;
    }
    const int width = loaded.Width(), height = loaded.AbsHeight;
    const int scaledWidth = int(std::int64_t(width) * percent / 100);
    const int scaledHeight = int(std::int64_t(height) * percent / 100);
    ResizeImage(loaded, 1, scaledWidth, scaledHeight, scaledWidth, scaledHeight);
    // SetSize keeps the buffer (and its old pixels) when nothing changes.
    if (dib.Width() != width || dib.Header.Height != height || dib.BitCount() != 24) dib.SetSize(width, height, 24);
    if (isEmpty(dib) || isEmpty(loaded)) return;
    CopyDIBRect(dib, loaded, (width - scaledWidth) / 2, (height - scaledHeight) / 2, loaded.Width(), loaded.AbsHeight,
                0, 0);
}

namespace {

bool knownOutputKind(int kind) { return kind == okJpeg || kind == okGif || kind == okBmpRaster || kind == okBmpBuffer; }

// The BMP writers; no half-written picture stays behind to be taken for a good one.
void writeBmp(TRasterDIB& dib, const std::string& path, int kind)
{
    try {
        if (kind == okBmpRaster)
            WriteBmpFile(dib, path);
        else
            dib.SaveToFile(path);
    } catch (...) {
        ::unlink(path.c_str());
        throw;
    }
}

void writePicture(TRasterDIB& dib, const std::string& path, const std::string& target, int kind, int quality,
                  int colors)
{
    switch (kind) {
    case okJpeg:
        // Without the library the writer would return having written nothing.
        if (!JpegLibraryPresent()) throw ESaveImageError("Cannot write " + target + ": the JPEG library is missing");
        WriteJpegFile(dib, path, quality);
        break;
    case okGif: WriteGifFile(dib, path, colors); break;
    default: writeBmp(dib, path, kind); break;
    }
}

// Gives the file the packed date read before the write (none for 0 or -1).
void setKeptDate(const std::string& path, const std::string& dateText)
{
    const std::int32_t packed = StrToIntDef(dateText, 0);
    if (packed != 0 && packed != -1) FileDateSet(path, "", packed);
}

}  // namespace

void SaveImageFile(TRasterDIB& dib, const std::string& dateSource, const std::string& target, int kind, int quality,
                   bool keepDate, int colors)
{
    const std::string path = ToFileSystemPath(target);
    // The date is read first: source and target may be the same file.
    std::string dateText;
    if (keepDate) FileDateText(2, ToFileSystemPath(dateSource), "", dateText);

    if (!knownOutputKind(kind))
        throw ESaveImageError("Cannot write " + target + ": unknown picture output kind " + std::to_string(kind));
    if (isEmpty(dib)) throw ESaveImageError("Cannot write " + target + ": the picture is empty");
    writePicture(dib, path, target, kind, quality, colors);
    if (keepDate && !dateText.empty()) setKeptDate(path, dateText);
}

void RewriteJpegFile(TRasterDIB& dib, const std::string& path, int quality)
{
    if (isEmpty(dib)) throw ESaveImageError("Cannot write " + path + ": the picture is empty");
    if (!JpegLibraryPresent()) throw ESaveImageError("Cannot write " + path + ": the JPEG library is missing");
    // The file itself, also when the list names it through a link.
    char* resolved = ::realpath(ToFileSystemPath(path).c_str(), nullptr);
    if (!resolved) throw ESaveImageError("Cannot write " + path + ": " + std::strerror(errno));
    const std::string target = resolved;
    std::free(resolved);
    TFileStamp stamp;
    if (!ReadFileStamp(target, stamp)) throw ESaveImageError("Cannot write " + path + ": " + std::strerror(errno));
    TJpegMetadata metadata;
    ReadJpegMetadata(target, metadata);
    // Pictures here are 24-bit, so the new file is a colour JPEG.
    const std::vector<TJpegSegment> segments =
        SegmentsForUprightCopy(metadata.Segments, std::uint32_t(dib.Width()), std::uint32_t(dib.AbsHeight), false);

    std::string temporary = target + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) throw ESaveImageError("Cannot write " + path + ": " + std::strerror(errno));
    ::close(fd);
    try {
        WriteJpegFile(dib, temporary, quality, &segments);
        if (::chmod(temporary.c_str(), stamp.Mode) != 0 || ::rename(temporary.c_str(), target.c_str()) != 0)
            throw ESaveImageError("Cannot write " + path + ": " + std::strerror(errno));
    } catch (...) {
        ::unlink(temporary.c_str());
        throw;
    }
    SetFileTimes(target, stamp);
}

std::string PictureFilesFilter()
{
    struct Entry {
        std::string description;  // the listed formats show their masks as written here
        std::vector<std::string> extensions;
    };
    std::vector<Entry> entries = {
        {"JPEG (*.jpg;*.jif;*.jpeg;*.jfif;*.jpe)", {"jpg", "jif", "jpeg", "jfif", "jpe"}},
        {"CompuServe Graphics Interchange (*.gif)", {"gif"}},
        {"Photoshop (*.psd;*.pdd)", {"psd", "pdd"}},
        {"Tagged Image File Format (*.tiff;*.tif)", {"tif", "tiff"}},
        {"Targa (*.tga;*.vda;*.icb;*.vst)", {"tga", "vda", "icb", "vst"}},
        {"Windows Meta File (*.wmf;*.emf)", {"wmf", "emf"}},
        {"Windows or OS/2 BMP (*.bmp;*.rle;*.dib)", {"bmp", "rle", "dib"}},
        {"Windows Icon (*.ico)", {"ico"}},
        {"ZSoft Paintbrush (*.pcx)", {"pcx"}},
        {"Dr. Halo (*.cut)", {"cut"}},
        {"Kodak ICC Photo CD (*.pcd)", {"pcd"}},
    };
    const std::size_t listed = entries.size();
    std::vector<std::string> all;
    for (const Entry& entry : entries) all.insert(all.end(), entry.extensions.begin(), entry.extensions.end());
    // The registry lists the latest registration first.
    const std::vector<TPictureFileFormat> formats = TPicture::FileFormats();
    for (auto format = formats.rbegin(); format != formats.rend(); ++format) {
        const std::string extension = AsciiLower(format->Extension);
        if (std::find(all.begin(), all.end(), extension) != all.end()) continue;
        all.push_back(extension);
        const auto same = std::find_if(entries.begin() + std::ptrdiff_t(listed), entries.end(),
                                       [&](const Entry& e) { return e.description == format->Description; });
        if (same == entries.end())
            entries.push_back({format->Description, {extension}});
        else
            same->extensions.push_back(extension);
    }
    auto masks = [](const std::vector<std::string>& extensions) {
        std::string text;
        for (const std::string& extension : extensions) text += (text.empty() ? "*." : ";*.") + extension;
        return text;
    };
    std::string filter = "All formats|" + masks(all);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const Entry& entry = entries[i];
        const std::string shown = entry.description + (i < listed ? "" : " (" + masks(entry.extensions) + ")");
        filter += "|" + shown + "|" + masks(entry.extensions);
    }
    return filter;
}

std::string OutputPictureName(int kind, const std::string& name)
{
    if (ExtractFileName(name).empty()) return name;
    const std::string extension = AsciiLower(ExtractFileExt(name));
    switch (kind) {
    case okJpeg: return extension == ".jpg" || extension == ".jpeg" ? name : name + ".jpg";
    case okGif: return extension == ".gif" ? name : name + ".gif";
    case okBmpRaster:
    case okBmpBuffer: return extension == ".bmp" ? name : name + ".bmp";
    default: return name;
    }
}

std::string ContainedRelativePath(const std::string& name)
{
    std::string result;
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = name.find_first_of("/\\", start);
        if (end == std::string::npos) end = name.size();
        const std::string step = name.substr(start, end - start);
        if (!step.empty() && step != "." && step != "..") {
            if (!result.empty()) result += '/';
            result += step;
        }
        start = end + 1;
    }
    return result;
}

// The pattern's folder part reaches to its last '\', '/' or ':'; its file-name
// part is renumbered (digits increased by number, zero-padded; a name without
// digits gets the number appended). An empty file-name part takes the default
// name (the source's name and extension). With numbering 1 a file-name part
// without digits is used as it is. Mode 1 puts the name in place of the first
// '*' of the template's file name and takes the template's folder and
// extension.
void MakeTargetFileName(int mode, const std::string& pattern, const std::string& defaultName, std::string& result,
                        int number, int numbering, const std::string& templ)
{
    const std::size_t cut = pattern.find_last_of("\\/:");
    const std::string folder = cut == std::string::npos ? std::string() : pattern.substr(0, cut + 1);
    const std::string patternName = pattern.substr(folder.size());

    std::string name = patternName.empty() ? defaultName : RenumberFileName(patternName, number);
    if (numbering == 1 && patternName.find_first_of("0123456789") == std::string::npos) name = patternName;

    const std::string ext = ExtractFileExt(ExtractFileName(name));
    name = ExtractFileNameNoExt(name);

    if (mode == 0) {
        result = ContainedRelativePath(folder + name + ext);
    } else if (mode == 1) {
        const std::string templateFolder = ExtractFilePath(templ);
        const std::string templateFile = templ.substr(templateFolder.size());
        const std::string templateExt = ExtractFileExt(templateFile);
        std::string t = templateFile.substr(0, templateFile.size() - templateExt.size());
        const std::size_t star = t.find('*');
        if (star == std::string::npos)
            t.insert(0, name);
        else
            t.replace(star, 1, name);
        result = ContainedRelativePath(templateFolder + t + templateExt);
    }
}
