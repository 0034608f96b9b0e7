#pragma once

#include <QScrollArea>

class QMenu;
class QToolButton;

namespace vellumark {

class LinkLabel;

// The strip across the top of the main window: the title link, the six command buttons and
// the web and mail links. It scrolls sideways when the window is narrower than its content.
class MainToolbar final : public QScrollArea {
    Q_OBJECT

public:
    explicit MainToolbar(QWidget* parent = nullptr);

    QToolButton* NewCatalogButton() const { return newCatalog_; }
    QToolButton* LibraryButton() const { return library_; }
    QToolButton* SearchButton() const { return search_; }
    QToolButton* ExportButton() const { return export_; }
    QToolButton* OptionsButton() const { return options_; }
    QToolButton* QuitButton() const { return quit_; }
    QMenu* OptionsMenu() const { return optionsMenu_; }
    QAction* ColumnsAction() const { return columnsAction_; }
    QAction* HelpAction() const { return helpAction_; }
    QAction* AboutAction() const { return aboutAction_; }
    QAction* WebAction() const { return webAction_; }
    LinkLabel* TitleLink() const { return titleLink_; }
    LinkLabel* WebLink() const { return webLink_; }
    LinkLabel* MailLink() const { return mailLink_; }

    // The options menu, its top left corner at the middle of the button, 6 pixels below it.
    void onOptionsClicked();
    QPoint PopupPosition() const;

private:
    QToolButton* AddButton(const QString& name, const QString& caption, const QString& hint, const QIcon& icon);

    QWidget* strip_;
    LinkLabel* titleLink_;
    LinkLabel* webLink_;
    LinkLabel* mailLink_;
    QToolButton* newCatalog_;
    QToolButton* library_;
    QToolButton* search_;
    QToolButton* export_;
    QToolButton* options_;
    QToolButton* quit_;
    QMenu* optionsMenu_;
    QAction* columnsAction_;
    QAction* helpAction_;
    QAction* aboutAction_;
    QAction* webAction_;
};

}  // namespace vellumark
