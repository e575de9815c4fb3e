// The desktop's programs for a kind of file, from a desktop made by the test.
#include "platform/shell/DesktopPrograms.h"
#include "tests/support/Desktop.h"

#include <gtest/gtest.h>

namespace {

std::string Entry(const std::string& name, const std::string& exec, const std::string& more = "")
{
    return "Name=" + name + "\nName[de]=Anders\nExec=" + exec + "\n" + more;
}

}  // namespace

TEST(DesktopPrograms, TheDesktopsOrderWithOnlyProgramsThatTakeTheFile)
{
    testsupport::ScopedDesktop desktop;
    const std::string scribe = desktop.AddProgram("scribe"), view = desktop.AddProgram("view");
    TDesktopProgram found;
    EXPECT_FALSE(FindDesktopProgram("text/plain", {}, found));

    // Passed over: a terminal program, a hidden entry, a command with more
    // than the file, a program that is not there.
    desktop.AddEntry("vi.desktop", Entry("Vi", scribe + " %F", "Terminal=true\nMimeType=text/plain;\n"));
    desktop.AddEntry("hidden.desktop", Entry("Hidden", scribe + " %f", "Hidden=true\nMimeType=text/plain;\n"));
    desktop.AddEntry("wrapped.desktop", Entry("Wrapped", scribe + " --new-window %U", "MimeType=text/plain;\n"));
    desktop.AddEntry("gone.desktop", Entry("Gone", "/no/such/program %f", "MimeType=text/plain;\n"));
    desktop.AddEntry("viewer.desktop", Entry("Viewer", "\"" + view + "\" %u", "MimeType=text/plain;text/html;\n"));
    desktop.AddEntry("scribe.desktop",
                     Entry("Scribe", scribe, "Categories=Utility;TextEditor;\nMimeType=text/html;text/plain;\n"));
    desktop.SetDefaults(
        "[Added Associations]\ntext/plain=wrapped.desktop;\n"
        "[Default Applications]\ntext/plain=vi.desktop;hidden.desktop;wrapped.desktop;gone.desktop;"
        "viewer.desktop;scribe.desktop;\n");
    ASSERT_TRUE(FindDesktopProgram("text/plain", {}, found));
    EXPECT_EQ(found.Name, "Viewer");
    EXPECT_EQ(found.Program, view);
    ASSERT_TRUE(FindDesktopProgram("text/plain", {"TextEditor", "WebDevelopment"}, found));
    EXPECT_EQ(found.Name, "Scribe");
    EXPECT_EQ(found.Program, scribe);

    // No list names text/html: every entry that lists it, by file name.
    ASSERT_TRUE(FindDesktopProgram("text/html", {}, found));
    EXPECT_EQ(found.Name, "Scribe");
    // A desktop's own list comes before the common one; the applications
    // folders' caches count after every list.
    desktop.Set("XDG_CURRENT_DESKTOP", std::string("Other:TEST"));
    desktop.SetDefaults("[Default Applications]\ntext/plain=scribe.desktop;\n", "test");
    ASSERT_TRUE(FindDesktopProgram("text/plain", {}, found));
    EXPECT_EQ(found.Name, "Scribe");
    desktop.Write("data/applications/mimeinfo.cache", "[MIME Cache]\ntext/x-csrc=vi.desktop;viewer.desktop;\n");
    ASSERT_TRUE(FindDesktopProgram("text/x-csrc", {}, found));
    EXPECT_EQ(found.Name, "Viewer");
    EXPECT_FALSE(FindDesktopProgram("image/x-none", {}, found));
}
