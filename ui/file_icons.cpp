#include "ui/file_icons.h"

#include "scan/disk_name.h"
#include "ui/qt_text.h"

#include <QApplication>
#include <QMimeDatabase>
#include <QStyle>

namespace vellumark {

FileIcons::FileIcons()
{
    QStyle* style = QApplication::style();
    folderClosed_ = QIcon::fromTheme(QStringLiteral("folder"), style->standardIcon(QStyle::SP_DirClosedIcon));
    folderOpen_ = QIcon::fromTheme(QStringLiteral("folder-open"), style->standardIcon(QStyle::SP_DirOpenIcon));
}

const QIcon& FileIcons::ForFileName(std::string_view fileName)
{
    const QString extension = ToQString(ExtensionOf(fileName));
    auto found = byExtension_.constFind(extension);
    if (found != byExtension_.constEnd())
        return *found;
    QIcon icon = QApplication::style()->standardIcon(QStyle::SP_FileIcon);
    if (!extension.isEmpty()) {
        static const QMimeDatabase mimeTypes;
        const QMimeType type = mimeTypes.mimeTypeForFile(QStringLiteral("x.") + extension, QMimeDatabase::MatchExtension);
        if (QIcon::hasThemeIcon(type.iconName()))
            icon = QIcon::fromTheme(type.iconName());
        else if (QIcon::hasThemeIcon(type.genericIconName()))
            icon = QIcon::fromTheme(type.genericIconName());
    }
    return *byExtension_.insert(extension, icon);
}

}  // namespace vellumark
