// The folder-name rule of the browse buttons.
#include <gtest/gtest.h>

#include "installer/wizard/PageParts.h"

using WizardPages::WithConfiguredFolderName;

TEST(FolderNameRule, AppendsTheConfiguredNameUnlessTheChoiceContainsIt)
{
    struct {
        const char *chosen;
        const char *configured;
        const char *result;
    } cases[] = {
        {"D:\\Programs", "%ProgramFiles%\\Viewer", "D:\\Programs\\Viewer"},
        {"D:\\Programs\\", "%ProgramFiles%\\Viewer", "D:\\Programs\\Viewer"},
        {"D:\\Programs\\\\", "%ProgramFiles%\\Viewer", "D:\\Programs\\Viewer"},
        {"D:\\Programs\\Viewer", "%ProgramFiles%\\Viewer", "D:\\Programs\\Viewer"},
        {"D:\\Programs\\Viewer 2", "%ProgramFiles%\\Viewer", "D:\\Programs\\Viewer 2"},
        {"D:\\Programs\\OldViewer", "%ProgramFiles%\\Viewer", "D:\\Programs\\OldViewer"},
        {"D:\\Viewer\\Programs", "%ProgramFiles%\\Viewer", "D:\\Viewer\\Programs\\Viewer"},
        {"D:\\Programs\\viewer", "%ProgramFiles%\\Viewer", "D:\\Programs\\viewer\\Viewer"}, // case counts
        {"D:\\", "%ProgramFiles%\\Viewer", "D:\\Viewer"},
        {"\\\\server\\share", "%ProgramFiles%\\Viewer", "\\\\server\\share\\Viewer"},
        {"D:\\Programs", "Viewer", "D:\\Programs\\Viewer"},
        // A configured folder that ends with a backslash has no name to add.
        {"D:\\Programs", "%ProgramFiles%\\Viewer\\", "D:\\Programs"},
        {"D:\\Programs\\", "%ProgramFiles%\\Viewer\\", "D:\\Programs"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(WithConfiguredFolderName(c.chosen, c.configured), c.result) << c.chosen << " + " << c.configured;
}
