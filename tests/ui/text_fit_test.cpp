#include "config/config.h"
#include "ui/columns_dialog.h"
#include "ui/main_toolbar.h"
#include "ui/wait_window.h"

#include "tests/ui/dialog_test_support.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QToolButton>

namespace vellumark {
namespace {

// Opens the wait window through its Progress face, as the long operations do.
class ShownWaitWindow {
public:
    explicit ShownWaitWindow(bool cancelVisible) { progress_.Begin(cancelVisible); }
    ~ShownWaitWindow() { progress_.End(); }
    WaitWindow& Window() { return window_; }
    Progress& GetProgress() { return progress_; }
    QLabel* MessageLine() const { return window_.findChild<QLabel*>(QStringLiteral("messageLabel")); }
    QLabel* FixedText() const
    {
        for (QLabel* label : window_.findChildren<QLabel*>())
            if (label->text().startsWith(QStringLiteral("This will take")))
                return label;
        return nullptr;
    }

private:
    WaitWindow window_;
    Progress& progress_ = window_;
};

// The width the label's text takes in the label's font.
int TextWidth(const QLabel& label) { return label.fontMetrics().horizontalAdvance(label.text()); }

TEST(TextFit, TheWaitWindowShowsItsWholeFixedTextAtTheDesktopsFont)
{
    for (const bool cancelVisible : {false, true}) {
        ShownWaitWindow wait(cancelVisible);
        QLabel* notice = wait.FixedText();
        ASSERT_NE(notice, nullptr);
        EXPECT_EQ(notice->text(), "This will take a few minutes.Please be patient...");
        EXPECT_GE(notice->contentsRect().width(), TextWidth(*notice));
        EXPECT_GE(wait.Window().width(), 376);
        EXPECT_GE(wait.Window().height(), 84);
        EXPECT_TRUE(wait.Window().rect().contains(notice->geometry()));
    }
}

TEST(TextFit, ALongWaitMessageKeepsItsStartAndEndAndNeverRunsUnderCancel)
{
    ShownWaitWindow wait(true);
    const QString path = QStringLiteral("/media/archive/") + QString(QStringLiteral("deeper/")).repeated(30)
                       + QStringLiteral("last folder");
    const QString message = QStringLiteral("Loading info.. 168085 entries, 45,960.40 KB - ") + path;
    wait.GetProgress().SetMessage(message.toStdString());
    QApplication::processEvents();
    QLabel* line = wait.MessageLine();
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(wait.Window().MessageText(), message);
    const QString shown = line->text();
    EXPECT_LT(shown.size(), message.size());
    EXPECT_TRUE(shown.startsWith(QStringLiteral("Loading info.. 168085 entries"))) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith(QStringLiteral("/last folder"))) << shown.toStdString();
    EXPECT_TRUE(shown.contains(QChar(0x2026)));
    EXPECT_LE(TextWidth(*line), line->contentsRect().width());
    const QToolButton* cancel = wait.Window().findChild<QToolButton*>(QStringLiteral("cancelButton"));
    ASSERT_NE(cancel, nullptr);
    EXPECT_FALSE(line->geometry().intersects(cancel->geometry()));

    // A short message is shown as it is.
    ShownWaitWindow other(false);
    other.GetProgress().SetMessage("Saving info...");
    EXPECT_EQ(other.MessageLine()->text(), "Saving info...");
}

TEST(TextFit, TheCommandCaptionsStayWholeInANarrowWindow)
{
    MainToolbar toolbar;
    toolbar.resize(500, toolbar.height());
    toolbar.show();
    QApplication::processEvents();
    for (const QToolButton* button : {toolbar.NewCatalogButton(), toolbar.LibraryButton(), toolbar.SearchButton(),
                                      toolbar.ExportButton(), toolbar.OptionsButton(), toolbar.QuitButton()}) {
        EXPECT_GE(button->width(), button->sizeHint().width()) << button->text().toStdString();
        EXPECT_GE(button->width(), 90);
    }
}

class ColumnsDialogText : public testing::DialogTest {};

TEST_F(ColumnsDialogText, TheCaptionFitsTheTitleBarAndTheLinesKeepTheirHeight)
{
    ColumnsDialog dialog(nullptr, ReadColumnDescriptions(ConfigInstance()), StoreVisibleColumns);
    dialog.show();
    QFont bold = QApplication::font();
    bold.setBold(true);
    const QFontMetrics metrics(bold);
    // The caption beside the title bar's icon, its three buttons and the gaps. Under openbox the
    // design's 217 pixels showed "Config v...olumns", and 236 still "Config vi... columns".
    EXPECT_GE(dialog.width(), metrics.horizontalAdvance(dialog.windowTitle()) + 8 * metrics.height());
    EXPECT_EQ(dialog.windowTitle(), "Config visible columns");
    EXPECT_GE(dialog.height(), 280);
    ASSERT_GT(dialog.ColumnList()->count(), 0);
    EXPECT_EQ(dialog.ColumnList()->sizeHintForRow(0), 18);
}

}  // namespace
}  // namespace vellumark
