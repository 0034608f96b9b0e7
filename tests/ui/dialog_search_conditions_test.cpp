#include "search/index_update.h"
#include "tests/ui/dialog_test_support.h"
#include "ui/catalog_session.h"
#include "ui/file_list_model.h"
#include "ui/main_commands.h"
#include "ui/main_window.h"
#include "ui/search_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>

#include <fcntl.h>
#include <sys/stat.h>

#include <cstdlib>
#include <optional>

namespace vellumark {
namespace {

class SearchConditionsTest : public testing::DialogTest {
protected:
    void SetUp() override
    {
        DialogTest::SetUp();
        const char* cache = std::getenv("XDG_CACHE_HOME");
        savedCache_ = cache ? std::optional<std::string>(cache) : std::nullopt;
        ::setenv("XDG_CACHE_HOME", cache_.c_str(), 1);
        testing::MakeDirs(library_ + "/Mp3");
        testing::WriteFile(library_ + "/Mp3/My.Disc.xml", testing::CatalogWithFiles({"a.mp3", "rock.mp3"}));
    }
    void TearDown() override
    {
        if (savedCache_)
            ::setenv("XDG_CACHE_HOME", savedCache_->c_str(), 1);
        else
            ::unsetenv("XDG_CACHE_HOME");
        DialogTest::TearDown();
    }

    testing::TempDir cacheFolder_;
    std::string cache_ = cacheFolder_ / "cache";
    std::optional<std::string> savedCache_;
};

TEST_F(SearchConditionsTest, TheSectionStartsClosedAndTakesNoPartWhileClosed)
{
    SearchDialog dialog(nullptr, prompts_, library_);
    dialog.show();
    EXPECT_FALSE(dialog.MoreConditions()->isVisible());
    EXPECT_FALSE(dialog.MoreConditionsButton()->isChecked());
    dialog.MoreConditionsButton()->click();
    EXPECT_TRUE(dialog.MoreConditions()->isVisible());
    dialog.MinSizeEdit()->setText("1k");
    dialog.KindBox()->setCurrentIndex(1);
    dialog.RegularExpressionsBox()->setChecked(true);
    EXPECT_EQ(dialog.Request().minSize, std::optional<std::uint64_t>(1024));
    EXPECT_EQ(dialog.Request().kind, EntryKind::File);
    EXPECT_TRUE(dialog.Request().regularExpressions);

    dialog.MoreConditionsButton()->click();
    EXPECT_FALSE(dialog.MoreConditions()->isVisible());
    const SearchRequest closed = dialog.Request();
    EXPECT_FALSE(closed.minSize);
    EXPECT_EQ(closed.kind, EntryKind::Any);
    EXPECT_FALSE(closed.regularExpressions);
    dialog.onOkClicked();
    EXPECT_EQ(prompts_.messages, std::vector<std::string>{"Warning: Please input search condition."});

    // The next dialog starts closed again.
    SearchDialog next(nullptr, prompts_, library_);
    next.show();
    EXPECT_FALSE(next.MoreConditions()->isVisible());
    EXPECT_TRUE(next.MinSizeEdit()->text().isEmpty());
}

TEST_F(SearchConditionsTest, TheFurtherConditionsAloneAreASearchAndBadOnesAreRefused)
{
    SearchDialog dialog(nullptr, prompts_, library_);
    dialog.MoreConditionsButton()->click();
    dialog.MinSizeEdit()->setText("1.5M");
    dialog.onOkClicked();
    dialog.MinSizeEdit()->setText("2M");
    dialog.TimeBeforeEdit()->setText("2024-02-30");
    dialog.onOkClicked();
    dialog.TimeBeforeEdit()->setText("2024-02-29 12:00:00");
    dialog.RegularExpressionsBox()->setChecked(true);
    dialog.NameEdit()->setText("[a-");
    dialog.onOkClicked();
    ASSERT_EQ(prompts_.messages.size(), 3u);
    EXPECT_NE(prompts_.messages[0].find("Warning: Invalid size \"1.5M\""), std::string::npos) << prompts_.messages[0];
    EXPECT_NE(prompts_.messages[1].find("Warning: Invalid time \"2024-02-30\""), std::string::npos) << prompts_.messages[1];
    EXPECT_NE(prompts_.messages[2].find("Warning: Invalid regular expression \"[a-\""), std::string::npos)
        << prompts_.messages[2];
    EXPECT_NE(dialog.result(), QDialog::Accepted);

    dialog.NameEdit()->clear();
    dialog.KindBox()->setCurrentIndex(2);
    dialog.onOkClicked();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    const SearchRequest request = dialog.Request();
    EXPECT_EQ(request.minSize, std::optional<std::uint64_t>(2u << 20));
    EXPECT_FALSE(request.maxSize);
    EXPECT_TRUE(request.timeBefore);
    EXPECT_EQ(request.kind, EntryKind::Directory);
    EXPECT_EQ(request.libraryRoot, library_);
    EXPECT_TRUE(request.useIndex);
}

void SetModifiedAgo(const std::string& path, int seconds)
{
    const std::time_t when = std::time(nullptr) - seconds;
    const struct timespec times[2] = {{when, 0}, {when, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

// The search command answers through the library's index: the first search builds it, later
// ones find the same.
TEST_F(SearchConditionsTest, TheSearchCommandUsesTheIndexTransparently)
{
    SetModifiedAgo(library_ + "/Mp3/My.Disc.xml", 60);
    MainWindow main(&prompts_);
    main.show();
    NullProgress progress;
    EXPECT_EQ(UpdateSearchIndex(library_, "", IndexAction::Status, progress).outOfDate, 1u);
    std::vector<std::vector<std::string>> found;
    for (int search = 0; search < 2; ++search) {
        testing::WhenShown<SearchDialog>([](SearchDialog& dialog) {
            dialog.MoreConditionsButton()->click();
            dialog.KindBox()->setCurrentIndex(1);
            dialog.NameEdit()->setText(QStringLiteral("ROCK"));
            dialog.onOkClicked();
        });
        RunSearchCommand(main);
        std::vector<std::string> names;
        const CatalogTree& tree = main.Session().Model()->Tree();
        for (int row = 0; row < tree.TopLevelCount(); ++row)
            names.emplace_back(tree.TopLevel(row)->record.Field(kFileName));
        found.push_back(names);
        EXPECT_EQ(UpdateSearchIndex(library_, "", IndexAction::Status, progress).outOfDate, 0u);
    }
    EXPECT_EQ(found[0], std::vector<std::string>{"rock.mp3"});
    EXPECT_EQ(found[1], found[0]);
    EXPECT_TRUE(prompts_.messages.empty());
}

}  // namespace
}  // namespace vellumark
