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

    QToolButton* SpeedDemoButton() const { return newCatalog_; }
    QToolButton* VisibilityDemoButton() const { return library_; }
    QToolButton* AlignDemoButton() const { return search_; }
    QToolButton* SpeedButton1() const { return export_; }
    QToolButton* SpeedButton2() const { return options_; }
    QToolButton* QuitButton() const { return quit_; }
    QMenu* PopupMenu1() const { return popup_; }
    QAction* ColumnsAction() const { return columnsAction_; }
    QAction* HelpAction() const { return helpAction_; }
    QAction* AboutAction() const { return aboutAction_; }
    QAction* WebAction() const { return webAction_; }
    LinkLabel* Label1() const { return label1_; }
    LinkLabel* Label2() const { return label2_; }
    LinkLabel* Label3() const { return label3_; }

    // The options menu, its top left corner at the middle of the button, 6 pixels below it.
    void SpeedButton2Click();
    QPoint PopupPosition() const;

private:
    QToolButton* AddButton(const QString& name, const QString& caption, const QString& hint, const QIcon& icon);

    QWidget* strip_;
    LinkLabel* label1_;
    LinkLabel* label2_;
    LinkLabel* label3_;
    QToolButton* newCatalog_;
    QToolButton* library_;
    QToolButton* search_;
    QToolButton* export_;
    QToolButton* options_;
    QToolButton* quit_;
    QMenu* popup_;
    QAction* columnsAction_;
    QAction* helpAction_;
    QAction* aboutAction_;
    QAction* webAction_;
};

}  // namespace vellumark
