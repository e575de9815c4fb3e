// JPEG files through our JPEG library, loaded by name when first needed, so
// the program runs (without JPEG) when the library is missing.

#include "platform/jpeg/ijl15.h"
#include "platform/registry/Registry.h"
#include "raster/RasterConvert.h"
#include "raster/RasterFiles.h"

#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

namespace {

constexpr const char* kLibraryName = "libijl15.so";

// The folders the program itself would search for a library (its run path,
// LD_LIBRARY_PATH, the system folders). Asked explicitly because a dlopen
// from inside an interposing runtime (a sanitizer) skips the program's run path.
void* openFromProgramSearchPath()
{
    void* self = dlopen(nullptr, RTLD_NOW);
    if (!self) return nullptr;
    void* found = nullptr;
    Dl_serinfo size;
    if (dlinfo(self, RTLD_DI_SERINFOSIZE, &size) == 0 && size.dls_size > 0) {
        std::vector<std::max_align_t> storage(size.dls_size / sizeof(std::max_align_t) + 1);
        auto* info = reinterpret_cast<Dl_serinfo*>(storage.data());
        *info = size;
        if (dlinfo(self, RTLD_DI_SERINFO, info) == 0)
            for (unsigned i = 0; i < info->dls_cnt && !found; ++i) {
                const std::string folder = info->dls_serpath[i].dls_name;
                if (!folder.empty()) found = dlopen((folder + "/" + kLibraryName).c_str(), RTLD_NOW | RTLD_LOCAL);
            }
    }
    dlclose(self);
    return found;
}

struct JpegLibrary {
    void* handle = nullptr;
    ijlInitFunc init = nullptr;
    ijlFreeFunc free = nullptr;
    ijlReadFunc read = nullptr;
    ijlWriteFunc write = nullptr;
    bool present = false;

    void unload()
    {
        if (handle) dlclose(handle);
        *this = JpegLibrary{};
    }

    void load(const std::string& path)
    {
        unload();
        if (!path.empty()) {
            handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        } else {
            // Beside the executable first, then the default library path.
            char exe[4096];
            const ssize_t n = readlink("/proc/self/exe", exe, sizeof(exe) - 1);
            if (n > 0) {
                std::string folder(exe, std::size_t(n));
                folder.erase(folder.find_last_of('/') + 1);
                handle = dlopen((folder + kLibraryName).c_str(), RTLD_NOW | RTLD_LOCAL);
            }
            if (!handle) handle = openFromProgramSearchPath();
            if (!handle) handle = dlopen(kLibraryName, RTLD_NOW | RTLD_LOCAL);
        }
        if (!handle) return;
        init = reinterpret_cast<ijlInitFunc>(dlsym(handle, "ijlInit"));
        free = reinterpret_cast<ijlFreeFunc>(dlsym(handle, "ijlFree"));
        read = reinterpret_cast<ijlReadFunc>(dlsym(handle, "ijlRead"));
        write = reinterpret_cast<ijlWriteFunc>(dlsym(handle, "ijlWrite"));
        if (!init || !free || !read || !write) {
            unload();
            return;
        }
        RegistryWriteDWord("HKEY_LOCAL_MACHINE\\SOFTWARE\\Intel Corporation\\PLSuite\\IJLib", "USECPU",
                           JpegProcessorValue(CPUInfo));
        present = true;
    }
};

std::mutex& libraryMutex()
{
    static std::mutex m;
    return m;
}

JpegLibrary& library()
{
    static JpegLibrary lib = [] {
        JpegLibrary l;
        l.load(std::string());
        return l;
    }();
    return lib;
}

// Rows of a 24-bit copy of any buffer, for depths the library cannot take.
std::unique_ptr<TRasterDIB> trueColourCopy(const TRasterDIB& dib)
{
    auto copy = std::make_unique<TRasterDIB>();
    copy->UseGDI = false;
    copy->SetSize(dib.Header.Width, dib.Header.Height, 24);
    CopyDIBRect(*copy, dib, 0, 0, dib.Header.Width, dib.AbsHeight, 0, 0);
    return copy;
}

bool greyPalette(const TRasterDIB& dib)
{
    for (const RGBQUAD& q : dib.Colors)
        if (q.rgbRed != q.rgbGreen || q.rgbGreen != q.rgbBlue) return false;
    return true;
}

}  // namespace

std::uint32_t JpegProcessorValue(const TCPUInfo& info)
{
    std::uint32_t value = 0;
    if (info.VendorID == "GenuineIntel") {
        if (info.Family == 5)
            value = 1;
        else if (info.Family == 6)
            value = info.Model < 2 ? 2 : 4;
    }
    if (info.Has(cfMMX) && value < 3) value = 3;
    if (info.Has(cfSSE)) value = 5;
    if (info.Has(cfSSE2)) value = 6;
    return value;
}

bool JpegLibraryPresent()
{
    std::lock_guard lock(libraryMutex());
    return library().present;
}

bool ReloadJpegLibrary(const std::string& path)
{
    std::lock_guard lock(libraryMutex());
    library().load(path);
    return library().present;
}

namespace {

// The header call; on success the record holds the picture's size and metadata.
bool readHeader(JpegLibrary& lib, JPEG_CORE_PROPERTIES& props, const std::string& fileName, std::uint8_t option,
                TJpegMetadata* metadata)
{
    lib.init(&props);
    props.ReadOption = option;
    props.JPGFile = fileName.c_str();
    if (lib.read(&props, IJL_JFILE_READPARAMS) != IJL_OK || props.JPGWidth <= 0 || props.JPGHeight <= 0) return false;
    if (metadata) {
        metadata->Orientation = props.JPGOrientation;
        metadata->Segments = UnpackSegments(props.JPGSegments, std::size_t(std::max(props.JPGSegmentsSize, 0)));
    }
    return true;
}

}  // namespace

bool ReadJpegMetadata(const std::string& fileName, TJpegMetadata& metadata)
{
    std::lock_guard lock(libraryMutex());
    JpegLibrary& lib = library();
    if (!lib.present) return false;
    JPEG_CORE_PROPERTIES props;
    const bool read = readHeader(lib, props, fileName, 1, &metadata);
    lib.free(&props);
    return read;
}

void ReadJpegFile(TRasterDIB& dib, const std::string& fileName, std::uint8_t option, TJpegMetadata* metadata)
{
    std::lock_guard lock(libraryMutex());
    JpegLibrary& lib = library();
    if (!lib.present) return;
    JPEG_CORE_PROPERTIES props;
    if (!readHeader(lib, props, fileName, option, metadata)) {
        lib.free(&props);
        // Not a picture we can read: an empty buffer says "not loaded".
        dib.SetSize(0, 0, 24);
        return;
    }
    try {
        if (props.JPGChannels == 1) {
            dib.SetSize(props.JPGWidth, props.JPGHeight, 8);
            const TColorTriple ramp[] = {BlackTriple, WhiteTriple};
            dib.MakeGradientPalette(0, 255, ramp);
            props.DIBChannels = 1;
            props.DIBColor = IJL_G;
        } else {
            dib.SetSize(props.JPGWidth, props.JPGHeight, 24);
        }
    } catch (const ERasterError& e) {
        lib.free(&props);
        throw EJpegError("Cannot load " + fileName + ": " + e.Message);
    }
    props.DIBBytes = dib.Bits;
    props.DIBWidth = dib.Header.Width;
    props.DIBHeight = -dib.Header.Height;
    props.DIBPadBytes = dib.RowGap;
    const IJLERR status = lib.read(&props, IJL_JFILE_READWHOLEIMAGE);
    lib.free(&props);
    // A corrupt or truncated file never leaves a half-made picture behind.
    if (status != IJL_OK) dib.SetSize(0, 0, 24);
}

void WriteJpegFile(TRasterDIB& dib, const std::string& fileName, int quality, const std::vector<TJpegSegment>* segments)
{
    std::lock_guard lock(libraryMutex());
    JpegLibrary& lib = library();
    if (!lib.present) return;
    if (!dib.Bits || dib.Header.Width <= 0 || dib.AbsHeight <= 0)
        throw EJpegError("Cannot write " + fileName + ": the picture is empty");
    // The library takes 24-bit rows and 8-bit grey rows; other depths, and
    // 8-bit pictures with a coloured palette, go through a 24-bit copy.
    const TRasterDIB* source = &dib;
    std::unique_ptr<TRasterDIB> copy;
    if (dib.Header.BitCount != 24 && !(dib.Header.BitCount == 8 && greyPalette(dib))) {
        copy = trueColourCopy(dib);
        source = copy.get();
    }
    JPEG_CORE_PROPERTIES props;
    lib.init(&props);
    props.Options = 1;
    props.DIBBytes = source->Bits;
    props.DIBWidth = source->Header.Width;
    props.DIBHeight = -source->Header.Height;
    props.DIBPadBytes = source->RowGap;
    if (source->Header.BitCount == 8) {
        props.DIBChannels = 1;
        props.DIBColor = IJL_G;
    }
    props.JPGFile = fileName.c_str();
    props.JPGWidth = source->Header.Width;
    props.JPGHeight = source->AbsHeight;
    props.jquality = quality;
    const std::vector<std::uint8_t> packed = segments ? PackSegments(*segments) : std::vector<std::uint8_t>();
    props.JPGSegments = packed.data();
    props.JPGSegmentsSize = std::int32_t(packed.size());
    const IJLERR status = lib.write(&props, IJL_JFILE_WRITEWHOLEIMAGE);
    const std::string why = props.ErrorText;
    lib.free(&props);
    if (status != IJL_OK) throw EJpegError("Cannot write " + fileName + (why.empty() ? "" : ": " + why));
}

void OrientPicture(TRasterDIB& dib, int orientation)
{
    if (orientation < 2 || orientation > 8 || dib.Width() <= 0 || dib.AbsHeight <= 0) return;
    if (dib.BitCount() % 8 != 0) ChangeBitCount(dib, 24);
    const int width = dib.Width(), height = dib.AbsHeight;
    const bool swap = OrientationSwapsSides(orientation);
    TRasterDIB upright;
    upright.UseGDI = dib.UseGDI;
    if (dib.Header.Compression == BI_BITFIELDS)
        upright.SetSizeEx(swap ? height : width, swap ? width : height, dib.BitCount(), dib.RedBits, dib.GreenBits,
                          dib.BlueBits);
    else
        upright.SetSize(swap ? height : width, swap ? width : height, dib.BitCount());
    std::memcpy(upright.Colors, dib.Colors, sizeof upright.Colors);
    upright.UpdateColorTable();
    // Rows top first, whichever order the buffers keep.
    auto topFirst = [](const TRasterDIB& b, std::int32_t row) {
        return b.Rows[std::size_t(b.Header.Height > 0 ? b.AbsHeight - 1 - row : row)];
    };
    std::vector<const std::uint8_t*> stored(static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y) stored[std::size_t(y)] = topFirst(dib, y);
    std::vector<std::uint8_t*> rows(std::size_t(upright.AbsHeight));
    for (int y = 0; y < upright.AbsHeight; ++y) rows[std::size_t(y)] = topFirst(upright, y);
    OrientPixels(orientation, width, height, dib.BitCount() / 8, stored, rows);
    dib.TakeOver(upright);
}
