#include "ui/shell_links.h"

#include "config/program_folder.h"
#include "services/links.h"
#include "ui/qt_text.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace vellumark {

QString HelpFilePath()
{
    const QString name = QString::fromLatin1(links::kHelpFileName);
    const QString exeFolder = QCoreApplication::applicationDirPath();
    const QStringList candidates{
        QDir(exeFolder).filePath(name),
        QDir(exeFolder).filePath(QStringLiteral("../share/vellumark/") + name),
        QStandardPaths::locate(QStandardPaths::GenericDataLocation, QStringLiteral("vellumark/") + name),
        QDir(ToQString(ProgramFolder())).filePath(name),
    };
    for (const QString& candidate : candidates)
        if (!candidate.isEmpty() && QFileInfo(candidate).isFile())
            return QFileInfo(candidate).canonicalFilePath();
    return {};
}

bool OpenHelp()
{
    const QString path = HelpFilePath();
    QDesktopServices::openUrl(QUrl::fromLocalFile(path.isEmpty() ? QDir(QCoreApplication::applicationDirPath())
                                                                         .filePath(QString::fromLatin1(links::kHelpFileName))
                                                                   : path));
    return true;
}

bool OpenWebSite()
{
    QDesktopServices::openUrl(QUrl(QString::fromLatin1(links::kWebSite)));
    return true;
}

bool OpenSupportMail()
{
    QDesktopServices::openUrl(QUrl(QStringLiteral("mailto:") + QString::fromLatin1(links::kSupportMail)));
    return true;
}

}  // namespace vellumark
