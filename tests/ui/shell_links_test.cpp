#include "ui/shell_links.h"

#include "config/config.h"
#include "config/program_folder.h"
#include "tests/ui/ui_test_support.h"

#include <gtest/gtest.h>

#include <QFileInfo>

namespace vellumark {
namespace {

TEST(ShellLinks, TheHelpPageIsFoundInTheProgramFolderWhenNotBesideTheProgram)
{
    testing::TempDir home;
    ASSERT_TRUE(SetProgramFolder(home.Path()));
    ResetConfigInstance();
    EXPECT_EQ(HelpFilePath(), "");
    testing::WriteFile(home / "Help.htm", "<html></html>");
    EXPECT_EQ(HelpFilePath(), QFileInfo(QString::fromStdString(home / "Help.htm")).canonicalFilePath());
}

}  // namespace
}  // namespace vellumark
