#include "ui/wait_window.h"

#include "ui/qt_text.h"

#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QThread>
#include <QToolButton>
#include <QWindow>

#include <algorithm>

namespace vellumark {

namespace {

// The design's size at 96 dpi; the window grows when the desktop's font needs more.
constexpr int kDesignWidth = 376;
constexpr int kDesignHeight = 84;
constexpr int kMessageCharacters = 64;

bool IsUserInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::TabletMove:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
        return true;
    default:
        return false;
    }
}

}  // namespace

WaitWindow::WaitWindow(QWidget* owner)
    : QWidget(owner, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus),
      noticeLabel_(new QLabel(QStringLiteral("This will take a few minutes.Please be patient..."), this)),
      messageLabel_(new QLabel(QStringLiteral("..."), this)),
      busy_(new QProgressBar(this)),
      cancelButton_(new QToolButton(this))
{
    setObjectName(QStringLiteral("waitWindow"));
    // Not a modal window for the window system: a modal window asks for the focus when it
    // shows, and a window manager that maps it only after a quick operation already hid it
    // (openbox after opening a small catalog) then focuses a window that is gone, leaving the
    // program with no active window and no working accelerator. The input of the windows
    // below is held back by eventFilter instead.
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAutoFillBackground(true);
    busy_->setRange(0, 0);  // a busy bar: it moves without a known total
    busy_->setTextVisible(false);
    busy_->setFixedWidth(80);
    noticeLabel_->setObjectName(QStringLiteral("noticeLabel"));
    messageLabel_->setAlignment(Qt::AlignCenter);
    messageLabel_->setObjectName(QStringLiteral("messageLabel"));
    // The line has room for a count, a size and the end of a path; a longer message is
    // shortened in the middle to fit.
    messageLabel_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    messageLabel_->setMinimumWidth(messageLabel_->fontMetrics().averageCharWidth() * kMessageCharacters);
    cancelButton_->setText(QStringLiteral("Cancel"));
    cancelButton_->setAutoRaise(true);
    cancelButton_->setFocusPolicy(Qt::NoFocus);
    cancelButton_->setObjectName(QStringLiteral("cancelButton"));
    connect(cancelButton_, &QToolButton::clicked, this, [this] { Cancel(); });

    auto* layout = new QGridLayout(this);
    layout->addWidget(busy_, 0, 0, 2, 1);
    layout->addWidget(noticeLabel_, 0, 1, 1, 2);
    layout->addWidget(messageLabel_, 1, 1);
    layout->addWidget(cancelButton_, 1, 2);
    layout->setColumnStretch(1, 1);
    setStyleSheet(QStringLiteral("#waitWindow { border: 1px solid palette(dark); }"));
    // Sized once for the fixed text in this font; the cancel button keeps its room when hidden.
    QSizePolicy keepRoom = cancelButton_->sizePolicy();
    keepRoom.setRetainSizeWhenHidden(true);
    cancelButton_->setSizePolicy(keepRoom);
    const QSize needed = layout->totalSizeHint().expandedTo(layout->totalMinimumSize());
    setFixedSize(std::max(kDesignWidth, needed.width()), std::max(kDesignHeight, needed.height()));
}

bool WaitWindow::CancelVisible() const { return !cancelButton_->isHidden(); }

void WaitWindow::OnGuiThread(std::function<void()> change)
{
    if (QThread::currentThread() == thread())
        change();
    else
        QMetaObject::invokeMethod(this, std::move(change), Qt::QueuedConnection);
}

void WaitWindow::ShowMessage()
{
    layout()->activate();
    messageLabel_->setText(messageLabel_->fontMetrics().elidedText(message_, Qt::ElideMiddle, messageLabel_->width()));
    messageLabel_->setToolTip(message_);
}

void WaitWindow::ShowCentred(bool cancelVisible)
{
    cancelButton_->setVisible(cancelVisible);
    message_ = QStringLiteral("...");
    blocked_.clear();
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window != this && window->isVisible())
            blocked_.emplace_back(window);
    qApp->installEventFilter(this);
    focusOrigin_.Capture(*this);
    const QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr;
    QRect area = owner && owner->isVisible() ? owner->frameGeometry() : QRect();
    if (area.isEmpty() && screen())
        area = screen()->availableGeometry();
    move(area.center() - rect().center());
    show();
    raise();
    ShowMessage();
    repaint();
}

void WaitWindow::OnShow(bool cancelVisible)
{
    OnGuiThread([this, cancelVisible] { ShowCentred(cancelVisible); });
}

void WaitWindow::OnHide()
{
    OnGuiThread([this] {
        hide();
        qApp->removeEventFilter(this);
        blocked_.clear();
        focusOrigin_.Restore();
    });
}

void WaitWindow::OnMessage(std::string_view text)
{
    OnGuiThread([this, message = ToQString(text)] {
        message_ = message;
        ShowMessage();
        if (isVisible())
            repaint();
    });
}

bool WaitWindow::Blocks(const QObject* receiver, const QEvent& event) const
{
    const QWidget* window = nullptr;
    if (receiver->isWidgetType()) {
        window = static_cast<const QWidget*>(receiver)->window();
    } else if (receiver->isWindowType()) {
        const auto* handle = static_cast<const QWindow*>(receiver);
        return std::any_of(blocked_.begin(), blocked_.end(),
                           [handle](const QPointer<QWidget>& blocked) { return blocked && blocked->windowHandle() == handle; });
    } else {
        // Actions and shortcuts of the windows below: their accelerators.
        return event.type() == QEvent::Shortcut;
    }
    return std::any_of(blocked_.begin(), blocked_.end(), [window](const QPointer<QWidget>& blocked) { return blocked == window; });
}

bool WaitWindow::eventFilter(QObject* watched, QEvent* event)
{
    const bool closing = event->type() == QEvent::Close && event->spontaneous();
    if ((closing || IsUserInput(event->type())) && Blocks(watched, *event)) {
        event->ignore();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace vellumark
