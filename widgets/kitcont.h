#pragma once
// Resource containers of the component kit: numbered lists of bitmaps, image
// strips with masks, string lists and wave sounds that store themselves in
// files of their own, and the program-wide TKitContainer that holds one list
// of each kind (created at start-up, freed at shutdown).
//
// File: a signature (length byte 8 and eight characters naming the kind),
// a 32-bit entry count, a table of the entries' 32-bit stream positions, then
// the entries. Entry: a flags byte (bit 0 the entry's flag, bit 1 a
// description follows as a short string, bit 2 an ident follows as an
// integer, bit 3 the payload is compressed), then the kind's payload.

#include "platform/strings/StringList.h"
#include "widgets/kitapp.h"
#include "widgets/kitcompo.h"
#include "widgets/kitwave.h"

#include <QImage>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class QPainter;

enum class TKitContainerKind { ImageList, BitmapList, WaveList, StringList, RichTextList };
// "KITIML30", "KITBML30", "KITWVL30", "KITSLL30", "KITRTL30".
std::string KitContainerSignature(TKitContainerKind kind);
// "iml", "bmp", "wav", "txt", "rtf" (with "." in front when asked).
std::string KitContainerDefaultExt(TKitContainerKind kind, bool withDot);

class EKitContainerError : public Exception {
public:
    using Exception::Exception;
};

constexpr unsigned KitContainerShare = 0x10;  // forward changes to the program-wide container

class TKitBaseContainer;

// Something linked to a container; its link is cleared when the container goes.
class TKitContainerClient {
public:
    virtual ~TKitContainerClient();
    TKitBaseContainer* LinkedContainer() const { return linked_; }

private:
    friend class TKitBaseContainer;
    TKitBaseContainer* linked_ = nullptr;
};

class TKitBaseContainer : public TKitComponent {
public:
    using TKitComponent::TKitComponent;
    ~TKitBaseContainer() override;
    void Link(TKitContainerClient* client);
    void Unlink(TKitContainerClient* client);
    int ClientCount() const { return static_cast<int>(clients_.size()); }

protected:
    void DetachClients();

private:
    std::vector<TKitContainerClient*> clients_;
};

// ---------------------------------------------------------------------------
// Entries

class TKitListItem : public TKitComponent {
public:
    TKitListItem() : TKitComponent(nullptr, "") {}
    bool Flag = false;
    std::string Description;
    std::uint16_t Ident = 0;

    virtual std::unique_ptr<TKitListItem> Clone() const = 0;
    virtual void WritePayload(TStream& stream, bool compressed) const = 0;
    virtual void ReadPayload(TStream& stream, bool compressed) = 0;

protected:
    void CopyCommon(TKitListItem& to) const;
};

class TKitBitmapListItem : public TKitListItem {
public:
    QImage Bitmap;
    std::unique_ptr<TKitListItem> Clone() const override;
    void WritePayload(TStream& stream, bool compressed) const override;
    void ReadPayload(TStream& stream, bool compressed) override;
};

class TKitImageListItem : public TKitListItem {
public:
    // A strip of cellCount cells of the given size, with an optional mask of
    // the same size. Raises "Invalid image size" for a cell that does not fit
    // and "Too many images" for more cells than the strip holds.
    void SetImage(const QImage& image, int cellWidth, int cellHeight, int cellCount, const QImage& mask = QImage());
    const QImage& Image() const { return image_; }
    const QImage& Mask() const { return mask_; }
    bool Masked() const { return masked_; }
    int CellWidth() const { return cellWidth_; }
    int CellHeight() const { return cellHeight_; }
    int CellCount() const { return cellCount_; }
    // One cell, read left to right, top to bottom.
    QImage Cell(int index) const;

    std::unique_ptr<TKitListItem> Clone() const override;
    void WritePayload(TStream& stream, bool compressed) const override;
    void ReadPayload(TStream& stream, bool compressed) override;

private:
    QImage image_, mask_;
    bool masked_ = false;
    int cellWidth_ = 0, cellHeight_ = 0, cellCount_ = 0;
};

class TKitStringListItem : public TKitListItem {
public:
    TStringList Items;
    std::unique_ptr<TKitListItem> Clone() const override;
    void WritePayload(TStream& stream, bool compressed) const override;
    void ReadPayload(TStream& stream, bool compressed) override;
};

class TKitWaveListItem : public TKitListItem {
public:
    TKitWave Wave;
    std::unique_ptr<TKitListItem> Clone() const override;
    void WritePayload(TStream& stream, bool compressed) const override;
    void ReadPayload(TStream& stream, bool compressed) override;
};

// ---------------------------------------------------------------------------
// Lists

class TKitCustomContainer : public TKitBaseContainer, public TKitContainerClient {
public:
    TKitCustomContainer(TComponent* owner, std::string name, TKitContainerKind kind);

    TKitContainerKind Kind() const { return kind_; }
    int Count() const { return static_cast<int>(items_.size()); }
    TKitListItem& Item(int index) const;
    // Adds an entry made by the list (of the list's entry class).
    TKitListItem& Add();
    int Add(std::unique_ptr<TKitListItem> item);
    void Delete(int index);
    void Clear();
    // A copy of another list of the same kind.
    void Assign(const TKitCustomContainer& source);

    bool DefaultCompressed = false;
    unsigned Options = 0;  // KitContainerShare
    std::string FileName;
    TKitPathPrefix PathPrefix = TKitPathPrefix::ppProgram;
    // FileName under the folder its prefix names (a full path stays as it is).
    std::string FullFileName() const;

    void SaveToStream(TStream& stream) const;
    // name is used in messages. A damaged stream raises and leaves the list unchanged.
    void LoadFromStream(TStream& stream, const std::string& name = "");
    void SaveToFile(const std::string& fileName) const;
    void LoadFromFile(const std::string& fileName);

    // A change; a shared list forwards its contents to the program-wide container.
    void Changed() override;

protected:
    virtual std::unique_ptr<TKitListItem> NewItem() const = 0;

private:
    TKitContainerKind kind_;
    std::vector<std::unique_ptr<TKitListItem>> items_;
};

class TKitCustomImageList : public TKitCustomContainer {
public:
    using TKitCustomContainer::TKitCustomContainer;
    // The entry's picture (an image list's first cell).
    virtual QImage Picture(int index) const = 0;
    // Draws the entry's picture with its top-left corner at (x, y).
    void Draw(QPainter& canvas, int x, int y, int index) const;
};

class TKitBitmapList : public TKitCustomImageList {
public:
    TKitBitmapList(TComponent* owner, std::string name)
        : TKitCustomImageList(owner, std::move(name), TKitContainerKind::BitmapList)
    {
    }
    TKitBitmapListItem& Bitmap(int index) const { return static_cast<TKitBitmapListItem&>(Item(index)); }
    QImage Picture(int index) const override { return Bitmap(index).Bitmap; }

protected:
    std::unique_ptr<TKitListItem> NewItem() const override { return std::make_unique<TKitBitmapListItem>(); }
};

class TKitImageList : public TKitCustomImageList {
public:
    TKitImageList(TComponent* owner, std::string name)
        : TKitCustomImageList(owner, std::move(name), TKitContainerKind::ImageList)
    {
    }
    TKitImageListItem& Images(int index) const { return static_cast<TKitImageListItem&>(Item(index)); }
    QImage Picture(int index) const override { return Images(index).Cell(0); }

protected:
    std::unique_ptr<TKitListItem> NewItem() const override { return std::make_unique<TKitImageListItem>(); }
};

class TKitStringList : public TKitCustomContainer {
public:
    TKitStringList(TComponent* owner, std::string name)
        : TKitCustomContainer(owner, std::move(name), TKitContainerKind::StringList)
    {
    }
    TKitStringListItem& Strings(int index) const { return static_cast<TKitStringListItem&>(Item(index)); }

protected:
    std::unique_ptr<TKitListItem> NewItem() const override { return std::make_unique<TKitStringListItem>(); }
};

class TKitWaveList : public TKitCustomContainer {
public:
    TKitWaveList(TComponent* owner, std::string name)
        : TKitCustomContainer(owner, std::move(name), TKitContainerKind::WaveList)
    {
    }
    TKitWaveListItem& Waves(int index) const { return static_cast<TKitWaveListItem&>(Item(index)); }

protected:
    std::unique_ptr<TKitListItem> NewItem() const override { return std::make_unique<TKitWaveListItem>(); }
};

// One list of each kind.
class TKitContainer : public TKitBaseContainer {
public:
    explicit TKitContainer(TComponent* owner = nullptr, std::string name = "KitContainer");
    ~TKitContainer() override;

    TKitBitmapList& BitmapList() { return *bitmapList_; }
    TKitImageList& ImageList() { return *imageList_; }
    TKitStringList& StringList() { return *stringList_; }
    TKitWaveList& WaveList() { return *waveList_; }
    // The list of the given kind (null for rich text, which has none).
    TKitCustomContainer* ListOfKind(TKitContainerKind kind);

private:
    std::unique_ptr<TKitBitmapList> bitmapList_;
    std::unique_ptr<TKitImageList> imageList_;
    std::unique_ptr<TKitStringList> stringList_;
    std::unique_ptr<TKitWaveList> waveList_;
};

// The module's start and end: the first start creates the program-wide
// container, the matching last end frees it.
void KitContInitialize();
void KitContFinalize();
extern TKitContainer* KitContainer;
