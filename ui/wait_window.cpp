#include "ui/wait_window.h"

#include "ui/qt_text.h"

#include <QGridLayout>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QThread>
#include <QToolButton>

namespace vellumark {

WaitWindow::WaitWindow(QWidget* owner)
    : QWidget(owner, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      noticeLabel_(new QLabel(QStringLiteral("This will take a few minutes.Please be patient..."), this)),
      messageLabel_(new QLabel(QStringLiteral("..."), this)),
      busy_(new QProgressBar(this)),
      cancelButton_(new QToolButton(this))
{
    setObjectName(QStringLiteral("waitWindow"));
    setWindowModality(Qt::ApplicationModal);
    setFixedSize(376, 84);
    setAutoFillBackground(true);
    busy_->setRange(0, 0);  // a busy bar: it moves without a known total
    busy_->setTextVisible(false);
    busy_->setFixedWidth(80);
    messageLabel_->setAlignment(Qt::AlignCenter);
    messageLabel_->setObjectName(QStringLiteral("messageLabel"));
    cancelButton_->setText(QStringLiteral("Cancel"));
    cancelButton_->setAutoRaise(true);
    cancelButton_->setObjectName(QStringLiteral("cancelButton"));
    connect(cancelButton_, &QToolButton::clicked, this, [this] { Cancel(); });

    auto* layout = new QGridLayout(this);
    layout->addWidget(busy_, 0, 0, 2, 1);
    layout->addWidget(noticeLabel_, 0, 1);
    layout->addWidget(messageLabel_, 1, 1);
    layout->addWidget(cancelButton_, 1, 2);
    layout->setColumnStretch(1, 1);
    setStyleSheet(QStringLiteral("#waitWindow { border: 1px solid palette(dark); }"));
}

QString WaitWindow::MessageText() const { return messageLabel_->text(); }

bool WaitWindow::CancelVisible() const { return !cancelButton_->isHidden(); }

void WaitWindow::OnGuiThread(std::function<void()> change)
{
    if (QThread::currentThread() == thread())
        change();
    else
        QMetaObject::invokeMethod(this, std::move(change), Qt::QueuedConnection);
}

void WaitWindow::ShowCentred(bool cancelVisible)
{
    cancelButton_->setVisible(cancelVisible);
    messageLabel_->setText(QStringLiteral("..."));
    const QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr;
    QRect area = owner && owner->isVisible() ? owner->frameGeometry() : QRect();
    if (area.isEmpty() && screen())
        area = screen()->availableGeometry();
    move(area.center() - rect().center());
    show();
    raise();
    repaint();
}

void WaitWindow::OnShow(bool cancelVisible)
{
    OnGuiThread([this, cancelVisible] { ShowCentred(cancelVisible); });
}

void WaitWindow::OnHide()
{
    OnGuiThread([this] { hide(); });
}

void WaitWindow::OnMessage(std::string_view text)
{
    OnGuiThread([this, message = ToQString(text)] {
        messageLabel_->setText(message);
        if (isVisible())
            repaint();
    });
}

}  // namespace vellumark
