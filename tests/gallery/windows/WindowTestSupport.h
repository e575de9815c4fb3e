#pragma once
// Shared fixtures of the window tests: one offscreen application, a temporary
// program folder, and answers for the dialogs and message boxes.

#include "gallery/mainwindow/pvu.h"
#include "tests/support/Desktop.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <string>
#include <vector>

TApplication& TestApplication();

// A fresh temporary folder used as the program folder for one test, on a
// desktop of the test's own (no editors, no $VISUAL or $EDITOR).
class TempProgramFolder {
public:
    TempProgramFolder();
    ~TempProgramFolder();
    const std::string& Path() const { return path_; }  // with a trailing '/'
    std::string File(const std::string& name) const { return path_ + name; }
    void Write(const std::string& name, const std::string& content) const;
    std::string Read(const std::string& name) const;

    testsupport::ScopedDesktop& Desktop() { return desktop_; }

private:
    testsupport::ScopedDesktop desktop_;
    testsupport::TempDir folder_{"pictavo-win"};
    std::string path_;
};

// Records every message box and answers from a queue (OK / first button when empty);
// answers file dialogs and the folder browser from queues (cancel when empty).
class DialogScript {
public:
    DialogScript();
    ~DialogScript();
    std::vector<TMessageRequest> Messages;
    std::deque<int> MessageAnswers;
    std::deque<std::vector<std::string>> FileAnswers;  // an empty entry cancels
    std::vector<TFileDialogRequest> FileRequests;
    std::deque<std::string> FolderAnswers;  // an empty entry cancels
    std::vector<TFolderRequest> FolderRequests;
};

// A main window over a program folder that holds the shipped caption lists,
// banners, page templates and buttons; its pages go to <folder>/Out/.
class ShippedDataTest : public ::testing::Test {
protected:
    ShippedDataTest();
    // Names the index and image pages of the source list as a build does;
    // how many index pages there are and what the last one holds.
    void NamePages(int& pages, int& remainder);
    TempProgramFolder folder;
    DialogScript dialogs;
    std::unique_ptr<TForm1> form;
    std::string destination;
};

// tidy's verdict on a page: its exit code (0 clean, 1 warnings, 2 errors, -1
// not run); its messages are added to output.
int RunTidy(const std::string& file, std::string& output);

// Writes a file (folders created).
void WriteFile(const std::string& path, const std::string& content);
std::string ReadFile(const std::string& path);
