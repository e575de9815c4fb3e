// The file-format registry: which picture class reads which extension.

#include "formats/ImageFormats.h"
#include "platform/core/AsciiCase.h"

#include "platform/picture/Icon.h"
#include "platform/picture/JPEGImage.h"

#include "formats/ImageFormatsAutodesk.h"
#include "formats/ImageFormatsBmp.h"
#include "formats/ImageFormatsLoaders.h"
#include "formats/ImageFormatsPcd.h"
#include "formats/ImageFormatsPnm.h"
#include "formats/ImageFormatsPsd.h"
#include "formats/ImageFormatsPsp.h"
#include "formats/ImageFormatsRla.h"
#include "formats/ImageFormatsSgi.h"
#include "formats/ImageFormatsTiff.h"

#include <algorithm>
#include <map>

using namespace FormatStrings;

namespace {

bool sameText(const std::string& a, const std::string& b) { return SameText(a, b); }

}  // namespace

// --- TFileFormatList ---------------------------------------------------------------

TFileFormatList::~TFileFormatList() { Clear(); }

void TFileFormatList::Clear()
{
    for (const auto& entry : classes_) TPicture::UnregisterGraphicClass(entry->GraphicClass);
    classes_.clear();
    extensions_.clear();
}

int TFileFormatList::FindExtension(const std::string& extension) const
{
    if (extension.empty()) return -1;
    for (std::size_t i = 0; i < extensions_.size(); ++i)
        if (sameText(extensions_[i]->Extension, extension)) return int(i);
    return -1;
}

int TFileFormatList::FindGraphicClass(TGraphicClass graphicClass) const
{
    for (std::size_t i = 0; i < classes_.size(); ++i)
        if (classes_[i]->GraphicClass == graphicClass) return int(i);
    return -1;
}

void TFileFormatList::removeClassEntry(TClassEntry* entry)
{
    std::erase_if(classes_, [&](const std::unique_ptr<TClassEntry>& e) { return e.get() == entry; });
}

void TFileFormatList::RegisterFileFormat(const std::string& extension, const std::string& common,
                                         const std::string& individual, TFormatTypes types, bool replace,
                                         TGraphicClass graphicClass)
{
    if (extension.empty()) return;
    auto linkClass = [&]() {
        int index = FindGraphicClass(graphicClass);
        TClassEntry* entry;
        if (index < 0) {
            classes_.push_back(std::make_unique<TClassEntry>());
            entry = classes_.back().get();
            entry->GraphicClass = graphicClass;
        } else {
            entry = classes_[std::size_t(index)].get();
        }
        if (!common.empty()) entry->Description = common;
        ++entry->Count;
        return entry;
    };

    int index = FindExtension(extension);
    TExtensionEntry* extensionEntry;
    if (index < 0) {
        auto entry = std::make_unique<TExtensionEntry>();
        entry->Extension = extension;
        entry->Description = individual;
        entry->Types = types;
        entry->ClassEntry = linkClass();
        extensionEntry = entry.get();
        extensions_.push_back(std::move(entry));
    } else {
        if (!replace) ImageFormatsError(gesRegistration, {extension});
        extensionEntry = extensions_[std::size_t(index)].get();
        TClassEntry* old = extensionEntry->ClassEntry;
        if (old->GraphicClass != graphicClass) {
            extensionEntry->ClassEntry = linkClass();
            if (--old->Count == 0) removeClassEntry(old);
        }
    }
    TPicture::RegisterFileFormat(extension, individual.empty() ? extensionEntry->ClassEntry->Description : individual,
                                 graphicClass);
}

void TFileFormatList::UnregisterFileFormat(const std::string& extension, TGraphicClass graphicClass)
{
    if (!extension.empty()) {
        int index = FindExtension(extension);
        if (index < 0) return;
        TExtensionEntry* entry = extensions_[std::size_t(index)].get();
        TClassEntry* classEntry = entry->ClassEntry;
        if (--classEntry->Count == 0) {
            TPicture::UnregisterGraphicClass(classEntry->GraphicClass);
            removeClassEntry(classEntry);
        }
        extensions_.erase(extensions_.begin() + index);
        return;
    }
    int classIndex = FindGraphicClass(graphicClass);
    if (classIndex < 0) return;  // nothing of that class is registered
    TClassEntry* classEntry = classes_[std::size_t(classIndex)].get();
    for (std::size_t i = extensions_.size(); i-- > 0 && classEntry->Count > 0;) {
        if (extensions_[i]->ClassEntry == classEntry) {
            --classEntry->Count;
            extensions_.erase(extensions_.begin() + std::ptrdiff_t(i));
        }
    }
    removeClassEntry(classEntry);
    TPicture::UnregisterGraphicClass(graphicClass);
}

// --- start-up registrations -------------------------------------------------------------

const std::vector<TFormatRegistration>& StartupRegistrations()
{
    static const std::vector<TFormatRegistration> table = {
        {"bmp", "TBitmap", gesBitmaps, "", ftRaster},
        {"ico", "TIcon", gesIcons, "", ftRaster},
        {"wmf", "TMetafile", gesMetaFiles, "", ftVector},
        {"emf", "TMetafile", gesMetaFiles, gesEnhancedMetaFiles, ftVector},
        {"jfif", "TJPEGImage", gesJPGImages, gesJFIFImages, ftRaster},
        {"jpg", "TJPEGImage", "", gesJPGImages, ftRaster},
        {"jpe", "TJPEGImage", "", gesJPEImages, ftRaster},
        {"jpeg", "TJPEGImage", "", gesJPEGImages, ftRaster},
        {"rle", "TBitmap", gesBitmaps, gesRLEBitmaps, ftRaster},
        {"dib", "TBitmap", "", gesDIBs, ftRaster},
        {"win", "TTargaGraphic", gesTruevision, "", ftRaster},
        {"vst", "TTargaGraphic", "", "", ftRaster},
        {"vda", "TTargaGraphic", "", "", ftRaster},
        {"tga", "TTargaGraphic", "", "", ftRaster},
        {"icb", "TTargaGraphic", "", "", ftRaster},
        {"tiff", "TTIFFGraphic", gesTIFF, gesMacTIFF, ftRaster | ftMultiImage},
        {"tif", "TTIFFGraphic", "", gesPCTIF, ftRaster | ftMultiImage},
        {"fax", "TTIFFGraphic", "", gesGFIFax, ftRaster | ftMultiImage},
        {"eps", "TEPSGraphic", gesEPS, "", ftRaster},
        {"pcx", "TPCXGraphic", gesZSoft, "", ftRaster},
        {"pcc", "TPCXGraphic", "", "", ftRaster},
        {"scr", "TPCXGraphic", "", gesWordScreenCapture, ftRaster},
        {"rpf", "TRLAGraphic", gesAliasWaveFront, "", ftRaster},
        {"rla", "TRLAGraphic", "", "", ftRaster},
        {"sgi", "TSGIGraphic", gesSGI, gesSGITrueColor, ftRaster},
        {"rgba", "TSGIGraphic", "", gesSGITrueColorAlpha, ftRaster},
        {"rgb", "TSGIGraphic", "", gesSGITrueColor, ftRaster},
        {"bw", "TSGIGraphic", "", gesSGIMono, ftRaster},
        {"psd", "TPSDGraphic", gesPhotoshop, "", ftRaster | ftLayered},
        {"pdd", "TPSDGraphic", "", "", ftRaster | ftLayered},
        {"ppm", "TPPMGraphic", gesPortable, gesPortablePixel, ftRaster},
        {"pgm", "TPPMGraphic", "", gesPortableGray, ftRaster},
        {"pbm", "TPPMGraphic", "", gesPortableMono, ftRaster},
        {"cel", "TAutodeskGraphic", gesAutodesk, "", ftRaster},
        {"pic", "TAutodeskGraphic", gesAutodesk, "", ftRaster},
        {"pcd", "TPCDGraphic", gesKodakPhotoCD, "", ftRaster},
        {"gif", "TGIFGraphic", gesCompuserve, "", ftRaster | ftMultiImage | ftAnimation},
        {"cut", "TCUTGraphic", gesHalo, "", ftRaster},
        {"psp", "TPSPGraphic", gesPaintShopPro, "", ftRaster | ftVector},
        {"png", "TPNGGraphic", gesPortableNetworkGraphic, "", ftRaster},
    };
    return table;
}

TGraphicClass BuiltGraphicClass(const std::string& className)
{
    // Loaders are listed here once their code is in the program; the others
    // of the table stay unregistered until then.
    static const std::map<std::string, TGraphicClass> built = {
        {"TBitmap", TBmpBitmap::StaticClass()},          {"TIcon", TIcon::StaticClass()},
        {"TMetafile", TMetafile::StaticClass()},         {"TJPEGImage", TJPEGImage::StaticClass()},
        {"TGIFGraphic", TGIFGraphic::StaticClass()},     {"TPNGGraphic", TPNGGraphic::StaticClass()},
        {"TTargaGraphic", TTargaGraphic::StaticClass()}, {"TPCXGraphic", TPCXGraphic::StaticClass()},
        {"TTIFFGraphic", TTIFFGraphic::StaticClass()},   {"TEPSGraphic", TEPSGraphic::StaticClass()},
        {"TPSDGraphic", TPSDGraphic::StaticClass()},     {"TRLAGraphic", TRLAGraphic::StaticClass()},
        {"TPPMGraphic", TPPMGraphic::StaticClass()},     {"TAutodeskGraphic", TAutodeskGraphic::StaticClass()},
        {"TCUTGraphic", TCUTGraphic::StaticClass()},     {"TSGIGraphic", TSGIGraphic::StaticClass()},
        {"TPCDGraphic", TPCDGraphic::StaticClass()},     {"TPSPGraphic", TPSPGraphic::StaticClass()},
    };
    auto found = built.find(className);
    return found == built.end() ? nullptr : found->second;
}

// --- the process-wide list ------------------------------------------------------------

namespace {

std::unique_ptr<TFileFormatList>& theList()
{
    // The picture registry must be made first so that it outlives this list,
    // whose destruction at exit unregisters from it.
    (void)TPicture::FileFormats();
    static std::unique_ptr<TFileFormatList> list;
    return list;
}

}  // namespace

TFileFormatList* FileFormatList() { return theList().get(); }

void InitializeImageFormats()
{
    if (theList()) return;
    theList() = std::make_unique<TFileFormatList>();
    // Newer icons hold PNG images; the PNG loader decodes them for the icon class.
    TIcon::PngDecoder = [](std::span<const std::uint8_t> data) {
        TByteViewStream stream(data.data(), data.size());
        TPNGGraphic png;
        png.LoadFromStream(stream);
        auto bitmap = std::make_unique<TBitmap>();
        bitmap->Assign(png);
        return bitmap;
    };
    for (const TFormatRegistration& r : StartupRegistrations())
        if (TGraphicClass cls = BuiltGraphicClass(r.ClassName))
            theList()->RegisterFileFormat(r.Extension, r.Common, r.Individual, r.Types, false, cls);
}

void FinalizeImageFormats()
{
    TFileFormatList* list = theList().get();
    if (!list) return;
    static const char* const classOrder[] = {"TPSPGraphic", "TPSDGraphic", "TTargaGraphic",    "TTIFFGraphic",
                                             "TSGIGraphic", "TPCXGraphic", "TAutodeskGraphic", "TPCDGraphic",
                                             "TPPMGraphic", "TCUTGraphic", "TGIFGraphic",      "TRLAGraphic"};
    for (const char* name : classOrder)
        if (TGraphicClass cls = BuiltGraphicClass(name)) list->UnregisterFileFormat("", cls);
    list->UnregisterFileFormat("rle", TBmpBitmap::StaticClass());
    list->UnregisterFileFormat("dib", TBmpBitmap::StaticClass());
    if (TGraphicClass png = BuiltGraphicClass("TPNGGraphic")) list->UnregisterFileFormat("", png);
    theList().reset();
    TIcon::PngDecoder = nullptr;
}
