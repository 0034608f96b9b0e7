#include "ui/export_dialog.h"

#include "services/messages.h"
#include "tests/ui/dialog_test_support.h"
#include "ui/library_tree_view.h"
#include "ui/qt_text.h"
#include "ui/task_runner.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeView>

#include <cstdio>
#include <filesystem>

namespace vellumark {
namespace {

using testing::PathExists;
using testing::ReadFile;

// Every part of a workbook as text, read with Python's zipfile.
std::string WorkbookStrings(const std::string& path)
{
    const std::string command = "python3 -c \"import sys, zipfile; "
                                "z = zipfile.ZipFile(sys.argv[1]); print(''.join(z.read(n).decode() for n in z.namelist()))\" '" + path + "'";
    std::string text;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        while (const std::size_t read = std::fread(buffer, 1, sizeof buffer, pipe))
            text.append(buffer, read);
        ::pclose(pipe);
    }
    return text;
}

class ExportDialogTest : public testing::DialogTest {
protected:
    void SetUp() override
    {
        DialogTest::SetUp();
        testing::MakeDirs(library_ + "/Mp3");
        catalog_ = library_ + "/Mp3/Best.of.xml";
        testing::WriteFile(catalog_, testing::CatalogWithFiles({"a.mp3", "b&amp;c.mp3"}));
        EntryRecord record;
        record.SetField(kFileName, "screen-entry.txt");
        record.SetField(kFullPath, "/tmp/screen-entry.txt");
        record.SetField(kFileType, kKindFile);
        screen_.Append(nullptr, record);
    }

    ExportServices Services() { return ExportServices{prompts_, runner_, &screen_, StoreDefaultExportColumns}; }
    DialogSettings Settings() const { return ReadDialogSettings(ConfigInstance()); }

    testing::RecordingProgress progress_;
    TaskRunner runner_{progress_};
    CatalogTree screen_;
    std::string catalog_;
};

TEST_F(ExportDialogTest, OpenedFromTheMainWindowItExportsTheScreen)
{
    ExportDialog dialog(nullptr, Services(), Settings());
    EXPECT_EQ(dialog.windowTitle(), "Catalog Export");
    EXPECT_TRUE(dialog.ScreenSourceButton()->isChecked());
    EXPECT_FALSE(dialog.LibraryTree()->isEnabled());
    EXPECT_TRUE(dialog.OkButton()->isEnabled());
    EXPECT_TRUE(dialog.FormatButton(ExportFormatKind::Html)->isChecked());
    EXPECT_EQ(dialog.FormatButton(ExportFormatKind::Text)->text(), "TEXT Format ");
    EXPECT_EQ(dialog.SeparatorEdit()->text(), ",");
    // The columns of the configuration in its order, ticked as it says.
    const ColumnSettings nodes = ConfigInstance().Root().Columns();
    ASSERT_EQ(static_cast<std::size_t>(dialog.ColumnList()->count()), nodes.Count());
    for (std::size_t i = 0; i < nodes.Count(); ++i) {
        EXPECT_EQ(ToStdString(dialog.ColumnList()->item(static_cast<int>(i))->text()), nodes.Column(i).Name());
        EXPECT_EQ(dialog.ColumnList()->item(static_cast<int>(i))->checkState() == Qt::Checked, nodes.Column(i).DefaultExport());
    }

    dialog.CatalogSourceButton()->click();
    EXPECT_TRUE(dialog.LibraryTree()->isEnabled());
    EXPECT_FALSE(dialog.OkButton()->isEnabled());  // the root is focused
}

TEST_F(ExportDialogTest, OpenedWithACatalogItFocusesItAndOkFollowsTheFocusedKind)
{
    ExportDialog dialog(nullptr, Services(), Settings(), catalog_);
    EXPECT_TRUE(dialog.CatalogSourceButton()->isChecked());
    ASSERT_NE(dialog.LibraryTree()->FocusedNode(), nullptr);
    EXPECT_EQ(dialog.LibraryTree()->FocusedNode()->record.Field(kFullPath), catalog_);
    EXPECT_TRUE(dialog.OkButton()->isEnabled());
    QTreeView* tree = dialog.LibraryTree()->View();
    tree->setCurrentIndex(tree->currentIndex().parent());
    EXPECT_FALSE(dialog.OkButton()->isEnabled());
}

TEST_F(ExportDialogTest, OkStoresTheTicksFirstEvenWhenNothingIsExported)
{
    ExportDialog dialog(nullptr, Services(), Settings());
    for (int row = 0; row < dialog.ColumnList()->count(); ++row)
        dialog.ColumnList()->item(row)->setCheckState(row == 2 ? Qt::Checked : Qt::Unchecked);
    dialog.CatalogSourceButton()->click();
    dialog.onOkClicked();  // a group is focused: the dialog stays open
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    EXPECT_TRUE(prompts_.requests.empty());
    const std::string file = ReadFile(ConfigInstance().GetConfigFileName());
    ResetConfigInstance();
    const ColumnSettings nodes = ConfigInstance().Root().Columns();
    for (std::size_t i = 0; i < nodes.Count(); ++i)
        EXPECT_EQ(nodes.Column(i).DefaultExport(), i == 2) << file;
}

TEST_F(ExportDialogTest, CancelStoresNothing)
{
    const std::string before = ReadFile(ConfigInstance().GetConfigFileName());
    ExportDialog dialog(nullptr, Services(), Settings());
    for (int row = 0; row < dialog.ColumnList()->count(); ++row)
        dialog.ColumnList()->item(row)->setCheckState(Qt::Unchecked);
    dialog.reject();
    EXPECT_EQ(ReadFile(ConfigInstance().GetConfigFileName()), before);
}

struct FormatCase {
    ExportFormatKind format;
    const char* extension;
};

TEST_F(ExportDialogTest, EveryFormatWritesTheSetCatalogOrTheScreen)
{
    const FormatCase cases[] = {{ExportFormatKind::Html, ".htm"}, {ExportFormatKind::Xml, ".xml"},
                                {ExportFormatKind::Excel, ".xlsx"}, {ExportFormatKind::Csv, ".csv"},
                                {ExportFormatKind::Text, ".txt"}};
    for (const FormatCase& format : cases) {
        for (const bool fromCatalog : {true, false}) {
            SCOPED_TRACE(std::string(format.extension) + (fromCatalog ? " catalog" : " screen"));
            const std::string out = home_ / (std::string(fromCatalog ? "catalog" : "screen") + format.extension);
            prompts_.saveChoices = {out};
            prompts_.requests.clear();
            ExportDialog dialog(nullptr, Services(), Settings(), fromCatalog ? catalog_ : std::string());
            dialog.FormatButton(format.format)->setChecked(true);
            dialog.SeparatorEdit()->setText(";");
            dialog.onOkClicked();
            EXPECT_EQ(dialog.result(), QDialog::Accepted);
            ASSERT_EQ(prompts_.requests.size(), 1u);
            EXPECT_EQ(prompts_.requests[0].defaultExtension, format.extension);
            EXPECT_EQ(prompts_.requests[0].initialName, fromCatalog ? "Best" : "");
            ASSERT_TRUE(PathExists(out)) << (prompts_.messages.empty() ? "" : prompts_.messages.back());

            const std::string written =
                format.format == ExportFormatKind::Excel ? WorkbookStrings(out) : ReadFile(out);
            const std::string expected = fromCatalog ? "a.mp3" : "screen-entry.txt";
            const std::string other = fromCatalog ? "screen-entry.txt" : "a.mp3";
            EXPECT_NE(written.find(expected), std::string::npos) << written;
            EXPECT_EQ(written.find(other), std::string::npos);
            if (format.format == ExportFormatKind::Html && fromCatalog) {
                EXPECT_NE(written.find("b&amp;c.mp3"), std::string::npos);
            }
            if (format.format == ExportFormatKind::Csv) {
                EXPECT_EQ(written.rfind("FileName;", 0), 0u) << written;
            }
            if (format.format == ExportFormatKind::Text) {
                EXPECT_EQ(written.rfind("FileName    ", 0), 0u) << written;
            }
            if (format.format == ExportFormatKind::Xml) {
                EXPECT_EQ(written.rfind("<?xml", 0), 0u);
            }
        }
    }
    EXPECT_TRUE(prompts_.messages.empty());
}

// The file is asked once, on the GUI thread, with the format's extension and filter; no file,
// or No to the overwrite question, ends the export before any work starts.
TEST_F(ExportDialogTest, NoChoiceOrNoToOverwriteWritesNothingInEveryFormat)
{
    for (const ExportFormat& format : ExportFormats()) {
        SCOPED_TRACE(format.name);
        const std::string out = home_ / ("old" + std::string(format.extension));
        testing::WriteFile(out, "old");
        prompts_.requests.clear();
        prompts_.messages.clear();
        prompts_.saveChoices = {""};
        {
            ExportDialog dialog(nullptr, Services(), Settings(), catalog_);
            dialog.FormatButton(format.kind)->setChecked(true);
            dialog.onOkClicked();
        }
        ASSERT_EQ(prompts_.requests.size(), 1u);
        EXPECT_EQ(prompts_.requests[0].defaultExtension, format.extension);
        EXPECT_EQ(prompts_.requests[0].filter, format.filter);
        EXPECT_EQ(prompts_.requests[0].initialName, "Best");

        prompts_.saveChoices = {out};
        prompts_.yesNoAnswers = {false};
        {
            ExportDialog dialog(nullptr, Services(), Settings(), catalog_);
            dialog.FormatButton(format.kind)->setChecked(true);
            dialog.onOkClicked();
        }
        EXPECT_EQ(prompts_.messages, std::vector<std::string>{"Warning: Catalog with the same name already exists,overwrite?"});
        EXPECT_EQ(ReadFile(out), "old");
        EXPECT_EQ(progress_.shows, 0);
    }
}

TEST_F(ExportDialogTest, AnExistingFileIsReplacedOnlyAfterYesAndAnEmptySeparatorIsAComma)
{
    const std::string out = home_ / "out.csv";
    testing::WriteFile(out, "old");
    prompts_.saveChoices = {out, out};
    {
        ExportDialog dialog(nullptr, Services(), Settings());
        dialog.FormatButton(ExportFormatKind::Csv)->setChecked(true);
        dialog.onOkClicked();
    }
    EXPECT_EQ(prompts_.messages, std::vector<std::string>{"Warning: Catalog with the same name already exists,overwrite?"});
    EXPECT_EQ(ReadFile(out), "old");

    prompts_.yesNoAnswers = {true};
    ExportDialog dialog(nullptr, Services(), Settings());
    dialog.FormatButton(ExportFormatKind::Csv)->setChecked(true);
    dialog.SeparatorEdit()->clear();
    dialog.onOkClicked();
    EXPECT_EQ(ReadFile(out).rfind("FileName,", 0), 0u) << ReadFile(out);
}

TEST_F(ExportDialogTest, ChoosingTheScreenExportsTheScreenAlsoWhenACatalogWasSet)
{
    const std::string out = home_ / "screen.txt";
    prompts_.saveChoices = {out};
    ExportDialog dialog(nullptr, Services(), Settings(), catalog_);
    dialog.ScreenSourceButton()->click();
    dialog.FormatButton(ExportFormatKind::Text)->setChecked(true);
    dialog.onOkClicked();
    EXPECT_NE(ReadFile(out).find("screen-entry.txt"), std::string::npos);
    EXPECT_EQ(ReadFile(out).find("a.mp3"), std::string::npos);
}

TEST_F(ExportDialogTest, AFailedExportIsReportedAndLeavesNoFile)
{
    const std::string out = home_ / "gone.htm";
    prompts_.saveChoices = {out};
    ExportDialog dialog(nullptr, Services(), Settings(), catalog_);
    std::filesystem::remove(catalog_);
    dialog.onOkClicked();
    ASSERT_EQ(prompts_.messages.size(), 1u);
    EXPECT_NE(prompts_.messages[0].find("Warning: "), std::string::npos);
    EXPECT_FALSE(PathExists(out));
}

}  // namespace
}  // namespace vellumark
