#include "ui/qt_prompts.h"

#include "ui/qt_text.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QThread>

namespace vellumark {

namespace {

// Runs the question on the GUI thread and waits there for its answer.
template <typename Question>
void OnGuiThread(Question&& question)
{
    if (QThread::currentThread() == qApp->thread())
        question();
    else
        QMetaObject::invokeMethod(qApp, std::forward<Question>(question), Qt::BlockingQueuedConnection);
}

QMessageBox::Icon BoxIcon(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Question:
        return QMessageBox::Question;
    case MessageIcon::Information:
        return QMessageBox::Information;
    case MessageIcon::Warning:
        break;
    }
    return QMessageBox::Warning;
}

}  // namespace

QString QtPrompts::NameFilters(std::string_view filter)
{
    const QStringList parts = ToQString(filter).split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        filters << parts[i] + QStringLiteral(" (") + patterns + QLatin1Char(')');
    }
    return filters.join(QStringLiteral(";;"));
}

std::string QtPrompts::ChooseFile(const FileDialogRequest& request, bool save)
{
    std::string chosen;
    OnGuiThread([&] {
        QFileDialog dialog(owner_);
        dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        // A typed name that does not exist comes back and is reported by AskOpenFile; the
        // overwrite question is AskSaveFile's own.
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
        QString suffix = ToQString(request.defaultExtension);
        if (suffix.startsWith(QLatin1Char('.')))
            suffix.remove(0, 1);
        dialog.setDefaultSuffix(suffix);
        if (const QString filters = NameFilters(request.filter); !filters.isEmpty())
            dialog.setNameFilter(filters);
        if (!request.initialName.empty())
            dialog.selectFile(ToQString(request.initialName));
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            chosen = ToStdString(dialog.selectedFiles().first());
    });
    return chosen;
}

std::string QtPrompts::ChooseOpenFile(const FileDialogRequest& request) { return ChooseFile(request, false); }

std::string QtPrompts::ChooseSaveFile(const FileDialogRequest& request) { return ChooseFile(request, true); }

void QtPrompts::ShowMessage(std::string_view caption, std::string_view text, MessageIcon icon)
{
    OnGuiThread([&] {
        QMessageBox box(BoxIcon(icon), ToQString(caption), ToQString(text), QMessageBox::Ok, owner_);
        box.exec();
    });
}

bool QtPrompts::AskYesNo(std::string_view caption, std::string_view text, MessageIcon icon)
{
    bool yes = false;
    OnGuiThread([&] {
        QMessageBox box(BoxIcon(icon), ToQString(caption), ToQString(text), QMessageBox::Yes | QMessageBox::No, owner_);
        yes = box.exec() == QMessageBox::Yes;
    });
    return yes;
}

}  // namespace vellumark
