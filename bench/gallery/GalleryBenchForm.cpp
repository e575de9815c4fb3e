#include "GalleryBenchForm.h"

#include "gallery/records/PropertyRecords.h"
#include "raster/RasterDIB.h"
#include "raster/RasterFiles.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <stdexcept>

namespace fs = std::filesystem;

TBenchFolder::TBenchFolder()
{
    std::string templ = (fs::temp_directory_path() / "pictavo-bench-XXXXXX").string();
    std::vector<char> buffer(templ.begin(), templ.end());
    buffer.push_back('\0');
    if (!mkdtemp(buffer.data())) throw std::runtime_error("mkdtemp failed");
    Root = std::string(buffer.data()) + "/";
    fs::copy(std::string(PICTAVO_SOURCE_DIR) + "/data", Program(),
             fs::copy_options::recursive | fs::copy_options::overwrite_existing);
}

TBenchFolder::~TBenchFolder()
{
    std::error_code ec;
    fs::remove_all(Root, ec);
}

void ConfigureBenchBuild(TForm1& form, const std::string& destination)
{
    form.Edit1->SetText(destination);
    form.Edit2->SetText("index1.html");
    form.Edit4->SetText("image01.htm");
    form.Edit5->SetText("tn_*");
    form.Edit9->SetText("image01");
    form.ComboBox3->SetItemIndex(0);
    form.ComboBox5->SetItemIndex(0);
    form.ComboBox9->SetItemIndex(1);
    form.ComboBox14->SetItemIndex(1);
    form.ComboBox4->SetItemIndex(2);  // thumbnails link to image pages
    form.ComboBox10->SetItemIndex(0);
    form.CheckBox7->SetChecked(true);
    form.ComboBox7->SetItemIndex(0);
    form.ComboBox8->SetItemIndex(0);
    form.SpinEdit12->SetValue(kBenchThumbQuality);
    form.SpinEdit13->SetValue(kBenchImageQuality);
    form.ComboBox6->SetItemIndex(1);  // thumbnail by pixels
    form.SpinEdit6->SetValue(kBenchThumbWidth);
    form.SpinEdit7->SetValue(kBenchThumbWidth);
    form.CheckBox1->SetChecked(true);
    form.CheckBox3->SetChecked(true);  // image resized
    form.ComboBox19->SetItemIndex(0);
    form.SpinEdit8->SetValue(kBenchImageWidth);
    form.SpinEdit9->SetValue(kBenchImageHeight);
    form.Menuitem7->SetChecked(false);
    form.Menuitem8->SetChecked(false);
}

std::unique_ptr<TForm1> BenchForm(const std::string& destination, std::vector<std::string>& messages)
{
    SetMessageHook([&messages](const TMessageRequest& request) {
        messages.push_back(request.Caption + ": " + request.Text);
        return TModal::Ok;
    });
    auto form = std::make_unique<TForm1>();
    form->FormCreate();
    ConfigureBenchBuild(*form, destination);
    return form;
}

std::string FirstReport(const std::vector<std::string>& messages)
{
    SetMessageHook(nullptr);
    return messages.empty() ? "" : messages.front();
}

void RunBuild(TForm1& form, const std::string& destination, const std::vector<std::string>& pictures)
{
    std::error_code ec;
    fs::remove_all(destination, ec);
    form.ListView1->Clear();
    for (const std::string& path : pictures) form.ListView1->Add(TForm1::MakeSourceItem(path));
    form.CreateAll2->Click();
}

std::string VignetteMask(const std::string& folder)
{
    const std::string path = folder + "vignette.bmp";
    TRasterDIB mask;
    mask.SetSize(400, 300, 24);
    for (int row = 0; row < 300; ++row)
        for (int x = 0; x < 400; ++x) {
            const double dx = (x - 199.5) / 200, dy = (row - 149.5) / 150;
            const double v = std::clamp(1.6 - 1.3 * std::sqrt(dx * dx + dy * dy), 0.0, 1.0) * 255;
            const auto grey = std::uint8_t(v);
            mask.SetPixelColor(row, x, TColorTriple{grey, grey, grey});
        }
    WriteBmpFile(mask, path);
    return path;
}

const char* DecorationName(TBenchDecoration decoration)
{
    switch (decoration) {
    case TBenchDecoration::Mask: return "mask";
    case TBenchDecoration::Frame: return "frame picture";
    case TBenchDecoration::Bevel: return "bevel";
    case TBenchDecoration::Outline: return "outline";
    case TBenchDecoration::Logo: return "logo";
    case TBenchDecoration::Text: return "text stamp";
    }
    return "";
}

void PlainBuild(TForm1& form)
{
    for (int record : {prAddMaskImage, prAddMaskThumb, prAddFrameImage, prAddFrameThumb, prAddButtonImage,
                       prAddButtonThumb, prAddOutlineI, prAddOutlineT})
        form.SetPropertyRecord(record, PropertyRecordDefault(record));
    for (TCheckBox* box : {form.CheckBox4, form.CheckBox2, form.CheckBox5, form.CheckBox6}) box->SetChecked(false);
}

void AddDecoration(TForm1& form, TBenchDecoration decoration, const std::string& maskFile)
{
    auto frameGroup = [&](int imageRecord, const std::string& image, int thumbRecord, const std::string& thumb) {
        form.SetPropertyRecord(imageRecord, image);
        form.SetPropertyRecord(thumbRecord, thumb);
        form.CheckBox4->SetChecked(true);
        form.CheckBox2->SetChecked(true);
    };
    switch (decoration) {
    case TBenchDecoration::Mask: {
        const std::string mask = MakePropertyRecord(
            {"1", maskFile, "0", "100", "0", std::to_string(RGBColor(40, 40, 40)), "0", "0", "0", ""});
        frameGroup(prAddMaskImage, mask, prAddMaskThumb, mask);
        break;
    }
    case TBenchDecoration::Frame: {
        const std::string frame = MakePropertyRecord({"1", "frames/frame-wood.gif", "0", "255", "0", "0"});
        frameGroup(prAddFrameImage, frame, prAddFrameThumb, frame);
        break;
    }
    case TBenchDecoration::Bevel:
        frameGroup(prAddButtonImage, "2|6|30|40|16777215|0|1|4|30|60|12632256|", prAddButtonThumb,
                   "2|2|8|40|16777215|0|0|0|0|0|0|");
        break;
    case TBenchDecoration::Outline:
        frameGroup(prAddOutlineI, MakePropertyRecord({"1", "frames/outline-braid.gif", "20", "255", "12"}),
                   prAddOutlineT, MakePropertyRecord({"1", "frames/outline-film.gif", "0", "255", "4"}));
        break;
    case TBenchDecoration::Logo:
        form.SetPropertyRecord(prAddLogo, "frames/logo.gif|8|-40|-40|30|0|0|255|0|");
        form.CheckBox6->SetChecked(true);
        break;
    case TBenchDecoration::Text:
        form.SetPropertyRecord(prAddText,
                               "Verdana|b|28|1|0|%filenoext|7|-120|0|20|0|0|2|0|255|100|120301|31231|0|"
                               "frames/bar1.gif|255|0|0|24|8|255|255|255|");
        form.CheckBox5->SetChecked(true);
        break;
    }
}
