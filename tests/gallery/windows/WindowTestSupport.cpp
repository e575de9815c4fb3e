#include "WindowTestSupport.h"
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
