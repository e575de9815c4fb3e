#include "widgets/kitcont.h"

#include "platform/system/System.h"
#include "widgets/kitprocs.h"
#include "widgets/kitutils.h"

#include <QPainter>

#include <algorithm>

std::string KitContainerSignature(TKitContainerKind kind)
{
    switch (kind) {
    case TKitContainerKind::ImageList: return "KITIML30";
    case TKitContainerKind::BitmapList: return "KITBML30";
    case TKitContainerKind::WaveList: return "KITWVL30";
    case TKitContainerKind::StringList: return "KITSLL30";
    case TKitContainerKind::RichTextList: return "KITRTL30";
    }
    return "";
}

std::string KitContainerDefaultExt(TKitContainerKind kind, bool withDot)
{
    std::string ext;
    switch (kind) {
    case TKitContainerKind::ImageList: ext = "iml"; break;
    case TKitContainerKind::BitmapList: ext = "bmp"; break;
    case TKitContainerKind::WaveList: ext = "wav"; break;
    case TKitContainerKind::StringList: ext = "txt"; break;
    case TKitContainerKind::RichTextList: ext = "rtf"; break;
    }
    return withDot ? "." + ext : ext;
}

// ---------------------------------------------------------------------------
// Links

TKitContainerClient::~TKitContainerClient()
{
    if (linked_) linked_->Unlink(this);
}

TKitBaseContainer::~TKitBaseContainer() { DetachClients(); }

void TKitBaseContainer::Link(TKitContainerClient* client)
{
    if (!client || client->linked_ == this) return;
    if (client->linked_) client->linked_->Unlink(client);
    clients_.push_back(client);
    client->linked_ = this;
}

void TKitBaseContainer::Unlink(TKitContainerClient* client)
{
    auto it = std::find(clients_.begin(), clients_.end(), client);
    if (it == clients_.end()) return;
    clients_.erase(it);
    client->linked_ = nullptr;
}

void TKitBaseContainer::DetachClients()
{
    for (TKitContainerClient* client : clients_) client->linked_ = nullptr;
    clients_.clear();
}

// ---------------------------------------------------------------------------
// Entries

void TKitListItem::CopyCommon(TKitListItem& to) const
{
    to.Flag = Flag;
    to.Description = Description;
    to.Ident = Ident;
}

std::unique_ptr<TKitListItem> TKitBitmapListItem::Clone() const
{
    auto copy = std::make_unique<TKitBitmapListItem>();
    CopyCommon(*copy);
    copy->Bitmap = Bitmap;
    return copy;
}

void TKitBitmapListItem::WritePayload(TStream& stream, bool compressed) const
{
    WriteBitmapRecord(stream, Bitmap, compressed);
}

void TKitBitmapListItem::ReadPayload(TStream& stream, bool compressed)
{
    Bitmap = ReadBitmapRecord(stream, compressed);
}

void TKitImageListItem::SetImage(const QImage& image, int cellWidth, int cellHeight, int cellCount, const QImage& mask)
{
    if (image.isNull() || cellWidth <= 0 || cellHeight <= 0 || cellWidth > image.width() ||
        cellHeight > image.height() || cellCount < 0)
        throw EKitContainerError("Invalid image size");
    if (!mask.isNull() && mask.size() != image.size()) throw EKitContainerError("Invalid image size");
    const long long cells = static_cast<long long>(image.width() / cellWidth) * (image.height() / cellHeight);
    if (cellCount > cells) throw EKitContainerError("Too many images");
    image_ = image;
    mask_ = mask;
    masked_ = !mask.isNull();
    cellWidth_ = cellWidth;
    cellHeight_ = cellHeight;
    cellCount_ = cellCount;
}

QImage TKitImageListItem::Cell(int index) const
{
    if (index < 0 || index >= cellCount_) return QImage();
    const int columns = image_.width() / cellWidth_;
    return image_.copy((index % columns) * cellWidth_, (index / columns) * cellHeight_, cellWidth_, cellHeight_);
}

std::unique_ptr<TKitListItem> TKitImageListItem::Clone() const
{
    auto copy = std::make_unique<TKitImageListItem>();
    CopyCommon(*copy);
    copy->image_ = image_;
    copy->mask_ = mask_;
    copy->masked_ = masked_;
    copy->cellWidth_ = cellWidth_;
    copy->cellHeight_ = cellHeight_;
    copy->cellCount_ = cellCount_;
    return copy;
}

void TKitImageListItem::WritePayload(TStream& stream, bool compressed) const
{
    WriteBooleanRecord(stream, masked_);
    WriteIntegerRecord(stream, cellWidth_);
    WriteIntegerRecord(stream, cellHeight_);
    WriteIntegerRecord(stream, cellCount_);
    WriteBitmapRecord(stream, image_, compressed);
    if (masked_) WriteBitmapRecord(stream, mask_, compressed);
}

void TKitImageListItem::ReadPayload(TStream& stream, bool compressed)
{
    const bool masked = ReadBooleanRecord(stream);
    const int cellWidth = ReadIntegerRecord(stream);
    const int cellHeight = ReadIntegerRecord(stream);
    const int cellCount = ReadIntegerRecord(stream);
    const QImage image = ReadBitmapRecord(stream, compressed);
    const QImage mask = masked ? ReadBitmapRecord(stream, compressed) : QImage();
    SetImage(image, cellWidth, cellHeight, cellCount, mask);
}

std::unique_ptr<TKitListItem> TKitStringListItem::Clone() const
{
    auto copy = std::make_unique<TKitStringListItem>();
    CopyCommon(*copy);
    copy->Items.SetText(Items.Text());
    return copy;
}

void TKitStringListItem::WritePayload(TStream& stream, bool compressed) const
{
    WriteStringListRecord(stream, Items, compressed);
}

void TKitStringListItem::ReadPayload(TStream& stream, bool compressed)
{
    ReadStringListRecord(stream, Items, compressed);
}

std::unique_ptr<TKitListItem> TKitWaveListItem::Clone() const
{
    auto copy = std::make_unique<TKitWaveListItem>();
    CopyCommon(*copy);
    copy->Wave.Assign(&Wave);
    return copy;
}

void TKitWaveListItem::WritePayload(TStream& stream, bool compressed) const
{
    WriteWaveRecord(stream, Wave, compressed);
}

void TKitWaveListItem::ReadPayload(TStream& stream, bool compressed) { ReadWaveRecord(stream, Wave, compressed); }

// ---------------------------------------------------------------------------
// Lists

namespace {
constexpr std::uint8_t EntryFlag = 0x01, EntryDescription = 0x02, EntryIdent = 0x04, EntryCompressed = 0x08;
}

TKitCustomContainer::TKitCustomContainer(TComponent* owner, std::string name, TKitContainerKind kind)
    : TKitBaseContainer(owner, std::move(name)), kind_(kind)
{
}

TKitListItem& TKitCustomContainer::Item(int index) const
{
    if (index < 0 || index >= Count()) throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    return *items_[static_cast<std::size_t>(index)];
}

TKitListItem& TKitCustomContainer::Add()
{
    items_.push_back(NewItem());
    Changed();
    return *items_.back();
}

int TKitCustomContainer::Add(std::unique_ptr<TKitListItem> item)
{
    if (!item) return -1;
    items_.push_back(std::move(item));
    Changed();
    return Count() - 1;
}

void TKitCustomContainer::Delete(int index)
{
    Item(index);  // bounds
    items_.erase(items_.begin() + index);
    Changed();
}

void TKitCustomContainer::Clear()
{
    items_.clear();
    Changed();
}

void TKitCustomContainer::Assign(const TKitCustomContainer& source)
{
    if (&source == this) return;
    if (source.kind_ != kind_)
        throw EKitContainerError("Cannot assign a " + KitContainerSignature(source.kind_) + " list to a " +
                                 KitContainerSignature(kind_) + " list");
    std::vector<std::unique_ptr<TKitListItem>> copies;
    for (const auto& item : source.items_) copies.push_back(item->Clone());
    items_ = std::move(copies);
    DefaultCompressed = source.DefaultCompressed;
    Changed();
}

std::string TKitCustomContainer::FullFileName() const
{
    if (FileName.empty() || FileName.front() == '/') return FileName;
    switch (PathPrefix) {
    case TKitPathPrefix::ppProgram: return KitProgramFolder() + FileName;
    case TKitPathPrefix::ppWindows: return KitWindowsFolder() + FileName;
    case TKitPathPrefix::ppSystem: return KitSystemFolder() + FileName;
    case TKitPathPrefix::ppNone: break;
    }
    return FileName;
}

void TKitCustomContainer::SaveToStream(TStream& stream) const
{
    WriteShortStringRecord(stream, KitContainerSignature(kind_));
    WriteIntegerRecord(stream, Count());
    const std::int64_t tableAt = stream.Position();
    for (int i = 0; i < Count(); ++i) WriteIntegerRecord(stream, 0);  // patched below
    std::vector<std::int32_t> positions;
    for (const auto& item : items_) {
        positions.push_back(static_cast<std::int32_t>(stream.Position()));
        std::uint8_t flags = 0;
        if (item->Flag) flags |= EntryFlag;
        if (!item->Description.empty()) flags |= EntryDescription;
        if (item->Ident != 0) flags |= EntryIdent;
        if (DefaultCompressed) flags |= EntryCompressed;
        WriteByteRecord(stream, flags);
        if (flags & EntryDescription) WriteShortStringRecord(stream, item->Description);
        if (flags & EntryIdent) WriteIntegerRecord(stream, item->Ident);
        item->WritePayload(stream, DefaultCompressed);
    }
    const std::int64_t endAt = stream.Position();
    stream.SetPosition(tableAt);
    for (std::int32_t position : positions) WriteIntegerRecord(stream, position);
    stream.SetPosition(endAt);
}

void TKitCustomContainer::LoadFromStream(TStream& stream, const std::string& name)
{
    if (ReadShortStringRecord(stream) != KitContainerSignature(kind_))
        throw EKitContainerError(name + ": Cannot open file %s");
    const std::int32_t count = ReadIntegerRecord(stream);
    // Every entry needs its table slot and at least its flags byte.
    if (count < 0 || static_cast<std::int64_t>(count) * 5 > stream.Remaining())
        throw EKitContainerError(name + ": Cannot open file %s");
    std::vector<std::int64_t> positions;
    for (std::int32_t i = 0; i < count; ++i) positions.push_back(ReadIntegerRecord(stream));
    const std::int64_t entriesAt = stream.Position();
    const std::int64_t size = stream.Size();

    std::vector<std::unique_ptr<TKitListItem>> loaded;
    for (std::int64_t position : positions) {
        if (position < entriesAt || position >= size) throw EKitContainerError(name + ": Cannot open file %s");
        stream.SetPosition(position);
        auto item = NewItem();
        const std::uint8_t flags = ReadByteRecord(stream);
        item->Flag = (flags & EntryFlag) != 0;
        if (flags & EntryDescription) item->Description = ReadShortStringRecord(stream);
        if (flags & EntryIdent) {
            const std::int32_t ident = ReadIntegerRecord(stream);
            if (ident < 0 || ident > 0xFFFF) throw EKitContainerError(name + ": Cannot open file %s");
            item->Ident = static_cast<std::uint16_t>(ident);
        }
        item->ReadPayload(stream, (flags & EntryCompressed) != 0);
        loaded.push_back(std::move(item));
    }
    items_ = std::move(loaded);
    Changed();
}

void TKitCustomContainer::SaveToFile(const std::string& fileName) const
{
    TMemoryStream bytes;
    SaveToStream(bytes);
    bytes.SaveToFile(fileName);
}

void TKitCustomContainer::LoadFromFile(const std::string& fileName)
{
    TFileStream file(fileName, FileMode::OpenRead);
    LoadFromStream(file, fileName);
}

void TKitCustomContainer::Changed()
{
    TKitCustomComponent::Changed();
    if (!(Options & KitContainerShare) || !KitContainer || LinkedContainer() == KitContainer) return;
    if (TKitCustomContainer* shared = KitContainer->ListOfKind(kind_); shared && shared != this) shared->Assign(*this);
}

void TKitCustomImageList::Draw(QPainter& canvas, int x, int y, int index) const
{
    const QImage picture = Picture(index);
    if (!picture.isNull()) canvas.drawImage(x, y, picture);
}

// ---------------------------------------------------------------------------
// The container of one list of each kind

TKitContainer::TKitContainer(TComponent* owner, std::string name) : TKitBaseContainer(owner, std::move(name))
{
    bitmapList_ = std::make_unique<TKitBitmapList>(nullptr, "BitmapList");
    imageList_ = std::make_unique<TKitImageList>(nullptr, "ImageList");
    stringList_ = std::make_unique<TKitStringList>(nullptr, "StringList");
    waveList_ = std::make_unique<TKitWaveList>(nullptr, "WaveList");
    Link(bitmapList_.get());
    Link(imageList_.get());
    Link(stringList_.get());
    Link(waveList_.get());
}

TKitContainer::~TKitContainer()
{
    DetachClients();
    waveList_.reset();
    stringList_.reset();
    imageList_.reset();
    bitmapList_.reset();
}

TKitCustomContainer* TKitContainer::ListOfKind(TKitContainerKind kind)
{
    switch (kind) {
    case TKitContainerKind::BitmapList: return bitmapList_.get();
    case TKitContainerKind::ImageList: return imageList_.get();
    case TKitContainerKind::StringList: return stringList_.get();
    case TKitContainerKind::WaveList: return waveList_.get();
    case TKitContainerKind::RichTextList: return nullptr;
    }
    return nullptr;
}

TKitContainer* KitContainer = nullptr;

namespace {
int gKitContReferences = 0;
std::unique_ptr<TKitContainer>& KitContainerHolder()
{
    static std::unique_ptr<TKitContainer> holder;
    return holder;
}
}  // namespace

void KitContInitialize()
{
    if (gKitContReferences++ != 0) return;
    KitContainerHolder() = std::make_unique<TKitContainer>();
    KitContainer = KitContainerHolder().get();
}

void KitContFinalize()
{
    if (gKitContReferences == 0 || --gKitContReferences != 0) return;
    KitContainer = nullptr;
    KitContainerHolder().reset();
}

TKitStartup::TKitStartup()
{
    KitAppInitialize();
    KitContInitialize();
}

TKitStartup::~TKitStartup()
{
    KitContFinalize();
    KitAppFinalize();
}
