#include "BuildTestSupport.h"
#include "WindowTestSupport.h"

#include "formats/ImageFormats.h"
#include "gallery/build/pvuBuildPaths.h"
#include "gallery/mainwindow/pvu.h"
#include "gallery/records/pvutils.h"
#include "gallery/pictures/pvutilsSourceCache.h"
#include "raster/RasterDIB.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>
#include <sys/stat.h>
#include <sys/wait.h>

namespace fs = std::filesystem;

int RunCommand(const std::string& command, std::string* output)
{
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return -1;
    std::array<char, 4096> buffer{};
    std::string text;
    std::size_t got = 0;
    while ((got = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) text.append(buffer.data(), got);
    const int status = pclose(pipe);
    if (output) *output = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string ShellQuote(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return quoted + "'";
}

bool HaveTool(const std::string& name) { return RunCommand("command -v " + name + " >/dev/null 2>&1") == 0; }

void CopyTree(const std::string& from, const std::string& to)
{
    fs::create_directories(to);
    fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
}

std::set<std::string> FilesBelow(const std::string& folder)
{
    std::set<std::string> files;
    std::error_code ec;
    if (!fs::exists(folder, ec)) return files;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.is_regular_file()) files.insert(fs::relative(entry.path(), folder).generic_string());
    return files;
}

long long FileStamp(const std::string& path)
{
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) return -1;
    return static_cast<long long>(info.st_mtim.tv_sec) * 1000000000LL + info.st_mtim.tv_nsec;
}

namespace {
int MulDivRounded(int a, int b, int c)
{
    const long long product = static_cast<long long>(a) * b;
    return static_cast<int>((product * 2 + c) / (2LL * c));
}
}  // namespace

void FitIntoBox(int width, int height, int boxWidth, int boxHeight, int& fitWidth, int& fitHeight)
{
    fitHeight = MulDivRounded(boxWidth, height, width);
    fitWidth = boxWidth;
    if (boxHeight < fitHeight) {
        fitWidth = MulDivRounded(boxHeight, width, height);
        fitHeight = boxHeight;
    }
}

void MeasureWithOurReader(const std::string& path, int& width, int& height)
{
    width = 0;
    height = 0;
    MeasurePictureFile(path, width, height, nullptr);
}

void MeasureWithIdentify(const std::string& path, int& width, int& height)
{
    width = 0;
    height = 0;
    std::string out;
    if (RunCommand("identify -format '%w %h' " + ShellQuote(path) + " 2>/dev/null", &out) != 0) return;
    std::sscanf(out.c_str(), "%d %d", &width, &height);
}

int BmpBitCount(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    unsigned char header[30] = {};
    if (!in.read(reinterpret_cast<char*>(header), sizeof header)) return 0;
    return header[28] | (header[29] << 8);
}

void EnsureImageFormats()
{
    static bool done = false;
    if (done) return;
    InitializeImageFormats();
    done = true;
}

std::vector<std::string> LinkedAddresses(const std::string& html)
{
    std::vector<std::string> found;
    static const std::regex attribute(R"re(\b(?:href|src)\s*=\s*"([^"]*)")re", std::regex::icase);
    for (auto it = std::sregex_iterator(html.begin(), html.end(), attribute); it != std::sregex_iterator(); ++it)
        found.push_back((*it)[1].str());
    return found;
}

std::string CheckSourcePictureCache(const std::string& folder)
{
    const std::string file = folder + "cached.bmp";
    const std::string other = folder + "other.bmp";
    {
        std::ofstream(file) << "placeholder";
        std::ofstream(other) << "placeholder";
    }
    auto start = [] {
        auto picture = std::make_unique<TRasterDIB>();
        picture->SetSize(7, 5, 24);
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 21; ++x) picture->Rows[std::size_t(y)][x] = std::uint8_t(y * 21 + x);
        return picture;
    };
    const TThumbnailGeometry geometry{1, true, 120, 90};
    const TThumbnailGeometry otherGeometry{1, true, 100, 90};

    const int hitsBefore = CachedSourcePictureHits();
    TRasterDIB taken;
    RememberThumbnailStart(file, geometry, start());  // no cache alive: nothing kept
    if (TakeThumbnailStart(taken, file, geometry)) return "a start was kept without a cache";
    {
        TSourcePictureCache cache;
        if (!SourcePictureCacheActive()) return "the cache is not active";
        RememberThumbnailStart(file, geometry, start());
        if (TakeThumbnailStart(taken, other, geometry)) return "another file's thumbnail took the start";
        if (TakeThumbnailStart(taken, file, otherGeometry)) return "a thumbnail of another size took the start";
        if (!TakeThumbnailStart(taken, file, geometry)) return "the thumbnail of the same file decoded again";
        const auto expected = start();
        if (taken.Width() != 7 || taken.AbsHeight != 5 || taken.Header.BitCount != 24) return "wrong size";
        for (int y = 0; y < 5; ++y)
            if (std::memcmp(taken.Rows[std::size_t(y)], expected->Rows[std::size_t(y)], 21) != 0) return "wrong pixels";
        if (TakeThumbnailStart(taken, file, geometry)) return "the start was handed out twice";
        // A file that changed after it was decoded is decoded again.
        RememberThumbnailStart(file, geometry, start());
        std::ofstream(file, std::ios::app) << "changed";
        if (TakeThumbnailStart(taken, file, geometry)) return "a changed file's start came from the cache";
        RememberThumbnailStart(file, geometry, start());
    }
    TSourcePictureCache later;
    if (TakeThumbnailStart(taken, file, geometry)) return "a start outlived its cache";
    if (CachedSourcePictureHits() != hitsBefore + 1) return "hit count " + std::to_string(CachedSourcePictureHits());
    return "";
}

void SetRecordFields(TForm1& form, int record, const std::map<int, std::string>& values)
{
    std::vector<std::string> fields;
    for (std::string rest = form.GetPropertyRecord(record); !rest.empty();) fields.push_back(NextField(rest));
    for (const auto& [number, value] : values) {
        if (fields.size() < std::size_t(number)) fields.resize(std::size_t(number));
        fields[std::size_t(number - 1)] = value;
    }
    std::string joined;
    for (const std::string& f : fields) joined += f + "|";
    form.SetPropertyRecord(record, joined);
}

std::string LocationSettings(const std::string& destination)
{
    return "[Location]\r\nChangeCase=1\r\nSaveInFolder=" + destination +
           "\r\nThumbName=Thumbs\\TN_*\r\nImageName=Images\\Pic01\r\nIndexName=Index1.HTML\r\n"
           "ImagePageName=Pages\\Page01.htm\r\n";
}

std::string FixedSettings(const std::string& destination)
{
    return LocationSettings(destination) +
           "[IndexPage]\r\n"
           "Columns=3\r\nTypeOfRows=0\r\nRows=2\r\nBorder=0\r\nCellPad=4\r\nCellSpace=4\r\nAlignment=3\r\n"
           "Style=2\r\nHyperlinkTo=2\r\nAutoSize=1\r\nTitlePage=Welcome to my gallery\r\n"
           "CaptionDefault=%filenoext (%width x %height)\r\nCaptionPosition=1\r\nAlternativeDefault=%filename\r\n"
           "[ImagePage]\r\n"
           "Style=2\r\nBorder=0\r\nTitlePage=Picture %filenoext\r\nCaptionDefault=%filename: %width x %height\r\n"
           "CaptionPosition=1\r\nAlternativeDefault=%filename\r\nHyperlink=\r\n"
           "[Images1]\r\nOutput=0\r\nQuality=75\r\nSize=1\r\nWidth=120\r\nHeight=120\r\nLockDim=1\r\n"
           "UseFrame=0\r\nFilter=0\r\n"
           "[Images2]\r\nOutput=0\r\nQuality=85\r\nResize=1\r\nMethod=0\r\nWidth=800\r\nHeight=600\r\n"
           "UseFrame=0\r\nAddText=0\r\nAddLogo=0\r\nFilter=0\r\n"
           "[Others]\r\nLaunchWeb=0\r\nKeepOriginalDate=0\r\nForbiddenChars=0\r\n";
}

// The data templates without their date line, so the pages' bytes are fixed.
void WriteFixedTemplate(const std::string& programFolder, const std::string& kindFolder)
{
    const std::string text = ReadFile(std::string(PICTAVO_SOURCE_DIR) + "/data/" + kindFolder + "/classic.htm");
    std::string fixed;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size() - 1;
        const std::string line = text.substr(start, end - start + 1);
        if (line.find("%currentdatetime") == std::string::npos) fixed += line;
        start = end + 1;
    }
    WriteFile(programFolder + kindFolder + "/fixed.htm", fixed);
}

void PrepareBuildProgramFolder(const std::string& programFolder)
{
    EnsureImageFormats();
    CopyTree(std::string(PICTAVO_SOURCE_DIR) + "/data", programFolder);
    WriteFixedTemplate(programFolder, "indexpg");
    WriteFixedTemplate(programFolder, "imagepg");
}
