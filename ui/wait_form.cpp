#include "ui/wait_form.h"

#include "ui/qt_text.h"

#include <QGridLayout>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QThread>
#include <QToolButton>

namespace vellumark {

TWaitForm::TWaitForm(QWidget* owner)
    : QWidget(owner, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      label1_(new QLabel(QStringLiteral("This will take a few minutes.Please be patient..."), this)),
      label2_(new QLabel(QStringLiteral("..."), this)),
      busy_(new QProgressBar(this)),
      cancelButton_(new QToolButton(this))
{
    setObjectName(QStringLiteral("WaitForm"));
    setWindowModality(Qt::ApplicationModal);
    setFixedSize(376, 84);
    setAutoFillBackground(true);
    busy_->setRange(0, 0);  // a busy bar: it moves without a known total
    busy_->setTextVisible(false);
    busy_->setFixedWidth(80);
    label2_->setAlignment(Qt::AlignCenter);
    label2_->setObjectName(QStringLiteral("Label2"));
    cancelButton_->setText(QStringLiteral("Cancel"));
    cancelButton_->setAutoRaise(true);
    cancelButton_->setObjectName(QStringLiteral("SpeedButton1"));
    connect(cancelButton_, &QToolButton::clicked, this, [this] { Cancel(); });

    auto* layout = new QGridLayout(this);
    layout->addWidget(busy_, 0, 0, 2, 1);
    layout->addWidget(label1_, 0, 1);
    layout->addWidget(label2_, 1, 1);
    layout->addWidget(cancelButton_, 1, 2);
    layout->setColumnStretch(1, 1);
    setStyleSheet(QStringLiteral("#WaitForm { border: 1px solid palette(dark); }"));
}

QString TWaitForm::MessageText() const { return label2_->text(); }

bool TWaitForm::CancelVisible() const { return !cancelButton_->isHidden(); }

void TWaitForm::OnGuiThread(std::function<void()> change)
{
    if (QThread::currentThread() == thread())
        change();
    else
        QMetaObject::invokeMethod(this, std::move(change), Qt::QueuedConnection);
}

void TWaitForm::ShowCentred(bool cancelVisible)
{
    cancelButton_->setVisible(cancelVisible);
    label2_->setText(QStringLiteral("..."));
    const QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr;
    QRect area = owner && owner->isVisible() ? owner->frameGeometry() : QRect();
    if (area.isEmpty() && screen())
        area = screen()->availableGeometry();
    move(area.center() - rect().center());
    show();
    raise();
    repaint();
}

void TWaitForm::OnShow(bool cancelVisible)
{
    OnGuiThread([this, cancelVisible] { ShowCentred(cancelVisible); });
}

void TWaitForm::OnHide()
{
    OnGuiThread([this] { hide(); });
}

void TWaitForm::OnMessage(std::string_view text)
{
    OnGuiThread([this, message = ToQString(text)] {
        label2_->setText(message);
        if (isVisible())
            repaint();
    });
}

}  // namespace vellumark
