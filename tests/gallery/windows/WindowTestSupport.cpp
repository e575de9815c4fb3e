#include "WindowTestSupport.h"
#include "tests/support/RunCommand.h"
#include "tests/support/TestApplication.h"

#include "platform/system/System.h"

#include <gtest/gtest.h>

#include <memory>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

TApplication& TestApplication() { return testsupport::TestApplication(); }

TempProgramFolder::TempProgramFolder() : path_(folder_.path.string() + "/")
{
    TestApplication();
    SetProgramFolder(path_);
}

TempProgramFolder::~TempProgramFolder() { SetProgramFolder(""); }

void TempProgramFolder::Write(const std::string& name, const std::string& content) const
{
    WriteFile(path_ + name, content);
}
std::string TempProgramFolder::Read(const std::string& name) const { return ReadFile(path_ + name); }

void WriteFile(const std::string& path, const std::string& content)
{
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream out(path, std::ios::binary);
    out << content;
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

DialogScript::DialogScript()
{
    SetMessageHook([this](const TMessageRequest& request) {
        Messages.push_back(request);
        if (!MessageAnswers.empty()) {
            int a = MessageAnswers.front();
            MessageAnswers.pop_front();
            return a;
        }
        return (request.Buttons & TMsgButtons::Yes) ? TModal::Yes : TModal::Ok;
    });
    SetFileDialogHook([this](TFileDialogRequest& request) {
        FileRequests.push_back(request);
        if (FileAnswers.empty()) return false;
        std::vector<std::string> files = FileAnswers.front();
        FileAnswers.pop_front();
        if (files.empty()) return false;
        request.Files = files;
        request.FileName = files.front();
        return true;
    });
    SetFolderDialogHook([this](TFolderRequest& request) {
        FolderRequests.push_back(request);
        if (FolderAnswers.empty()) return false;
        std::string folder = FolderAnswers.front();
        FolderAnswers.pop_front();
        if (folder.empty()) return false;
        request.Chosen = folder;
        return true;
    });
}

DialogScript::~DialogScript()
{
    SetMessageHook(nullptr);
    SetFileDialogHook(nullptr);
    SetFolderDialogHook(nullptr);
}

ShippedDataTest::ShippedDataTest()
{
    const std::string data = std::string(PICTAVO_SOURCE_DIR) + "/data/";
    for (const char* name : {"pvcapt.pv", "pvcapi.pv", "banner1.dat", "banner2.dat"})
        std::filesystem::copy_file(data + name, folder.File(name));
    for (const char* dir : {"indexpg", "imagepg", "framepg", "buttons"})
        std::filesystem::copy(data + dir, folder.File(dir), std::filesystem::copy_options::recursive);
    form = std::make_unique<TForm1>();
    destination = folder.Path() + "Out/";
    form->Edit1->SetText(destination);
}

int RunTidy(const std::string& file, std::string& output)
{
    const testsupport::CommandOutput tidy = testsupport::RunCapture("tidy -q -e '" + file + "' 2>&1");
    output += tidy.Output;
    return tidy.ExitCode;
}

void ShippedDataTest::NamePages(int& pages, int& remainder)
{
    const int items = form->ListView1->Count();
    PageCount(pages, remainder, form->ComboBox1->ItemIndex(), form->SpinEdit2->Value(), form->SpinEdit1->Value(),
              items);
    form->ListBox3->Items().Clear();
    form->ListBox4->Items().Clear();
    form->FillPageNames(form->Edit2->Text(), 0, pages, "listbox3");
    form->FillPageNames(form->Edit4->Text(), 1, items, "listbox4");
}
