// From pictures to a remote gallery: "Create All" through the main window's
// own command, then "FTP Upload" through its own command into pyftpdlib on
// 127.0.0.1; the server must end up with exactly the destination folder.
// (A refused STOR that keeps exactly its line and says so in the status is
// covered against the scripted peer by UploadWindowTest.RefusedStorKeepsExactlyItsLineAndTheStatusSaysSo.)
#include "gallery/windows/pvftp1.h"

#include "BuildTestSupport.h"
#include "FtpServerSupport.h"
#include "WindowTestSupport.h"

#include "gallery/records/PropertyRecords.h"
#include "gallery/records/pvutils.h"
#include "gallery/text/srutils.h"
#include "platform/system/System.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

namespace fs = std::filesystem;
using namespace ftptest;

namespace {

// Every regular file under root, by path relative to it, with its bytes.
std::map<std::string, std::vector<std::uint8_t>> TreeOf(const fs::path& root)
{
    std::map<std::string, std::vector<std::uint8_t>> tree;
    if (!fs::exists(root)) return tree;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        if (entry.is_regular_file())
            tree[fs::relative(entry.path(), root).generic_string()] = ReadFileBytes(entry.path());
    return tree;
}

TEST(GalleryUpload, CreateAllThenFtpUploadLeavesTheDestinationOnTheServer)
{
    ASSERT_TRUE(HaveTool("convert"));
    PyFtpServer server;
    ASSERT_TRUE(server.Running());

    TempProgramFolder program;
    DialogScript dialogs;
    EnsureImageFormats();
    CopyTree(std::string(PICTAVO_SOURCE_DIR) + "/data", program.Path());
    const std::string sources = program.Path() + "sources/";
    const std::string destination = program.Path() + "out/Gallery";
    fs::create_directories(sources);
    // Two thumbnails a page, the image copies at most 640 by 480.
    program.Write(
        "upload.pvs",
        LocationSettings(destination) +
            "[IndexPage]\r\n"
            "Columns=2\r\nTypeOfRows=0\r\nRows=1\r\nHyperlinkTo=2\r\nAutoSize=1\r\nTitlePage=Remote gallery\r\n"
            "[Images1]\r\nOutput=0\r\nQuality=75\r\nSize=1\r\nWidth=100\r\nHeight=100\r\nLockDim=1\r\n"
            "[Images2]\r\nOutput=0\r\nQuality=85\r\nResize=1\r\nMethod=0\r\nWidth=640\r\nHeight=480\r\n"
            "[Others]\r\nLaunchWeb=0\r\nKeepOriginalDate=0\r\n");

    TForm1 form;
    form.FormCreate();
    form.ReadWriteSettings("r", program.File("upload.pvs"));
    ASSERT_FALSE(form.ComboBox3->Text().empty());
    ASSERT_FALSE(form.ComboBox5->Text().empty());
    // Frames on: the frame page is part of the gallery too.
    SetRecordFields(form, prPagePropertiesIndex, {{25, "1"}, {26, "Frames.htm"}, {27, "left.htm"}});

    const std::vector<std::pair<std::string, std::string>> pictures = {
        {"one.jpg", "-size 400x300 gradient:red-blue -quality 90"},
        {"two.jpg", "-size 300x400 plasma:fractal -seed 5 -quality 85"},
        {"three.png", "-size 120x90 gradient:green-yellow"},
    };
    for (const auto& [name, arguments] : pictures) {
        ASSERT_EQ(RunCommand("convert " + arguments + " " + ShellQuote(sources + name) + " 2>&1"), 0) << name;
        form.ListView1->Add(TForm1::MakeSourceItem(sources + name));
    }

    form.CreateAll2->Click();
    ASSERT_TRUE(dialogs.Messages.empty()) << dialogs.Messages[0].Caption << ": " << dialogs.Messages[0].Text;
    const auto built = TreeOf(destination);
    // Two index pages (one row of two), three image pages, six pictures, the
    // frame page and the template's buttons.
    ASSERT_TRUE(built.count("Frames.htm"));
    ASSERT_TRUE(built.count("index2.html"));
    ASSERT_TRUE(built.count("pages/page03.htm"));
    ASSERT_TRUE(built.count("first.gif"));
    ASSERT_TRUE(built.count("pages/index.gif"));

    // The upload window as the user meets it: opened by the main window's own
    // command with record 17, then "Upload" pressed and the window closed with OK.
    form.SetPropertyRecord(prUpload, MakePropertyRecord({"127.0.0.1", std::to_string(server.Port()), "30",
                                                         PyFtpServer::User, PyFtpServer::Password, "www/gallery"}));
    int shown = 0;
    std::size_t listed = 0;
    form.ShowUploadWindow = [&](TForm5& window) {
        ++shown;
        listed = static_cast<std::size_t>(window.ListBox1->Items().Count());
        EXPECT_EQ(window.Label1->Caption(), destination + "/");
        window.FormShow();
        window.Button1Click(window.Button1);
        EXPECT_EQ(window.FailedCount(), 0);
        EXPECT_EQ(window.ListBox2->Items().Count(), 0);
        EXPECT_EQ(window.StatusBar1->PanelText(0),
                  "Sent " + std::to_string(listed) + " of " + std::to_string(listed) + " files, 0 failed");
        return TModal::Ok;
    };
    form.Upload1->Click();
    EXPECT_EQ(shown, 1);
    EXPECT_TRUE(dialogs.Messages.empty());
    // Every file of the destination was listed and sent, byte for byte.
    EXPECT_EQ(listed, built.size());
    const auto remote = TreeOf(server.Root() / "www" / "gallery");
    std::vector<std::string> remoteNames, builtNames;
    for (const auto& entry : remote) remoteNames.push_back(entry.first);
    for (const auto& entry : built) builtNames.push_back(entry.first);
    EXPECT_EQ(remoteNames, builtNames);
    for (const auto& [name, bytes] : built) {
        const auto it = remote.find(name);
        if (it == remote.end()) continue;
        EXPECT_TRUE(it->second == bytes) << name << ": " << it->second.size() << " bytes on the server, "
                                         << bytes.size() << " in the destination";
    }
}

}  // namespace
