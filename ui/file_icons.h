#pragma once

#include <QHash>
#include <QIcon>
#include <QString>

#include <string_view>

namespace vellumark {

// File and folder icons for the file list: a file's icon follows from its name's extension
// alone (the catalogued medium need not be present), looked up once per extension.
class FileIcons {
public:
    FileIcons();

    const QIcon& ForFileName(std::string_view fileName);
    const QIcon& FolderClosed() const { return folderClosed_; }
    const QIcon& FolderOpen() const { return folderOpen_; }

private:
    QHash<QString, QIcon> byExtension_;
    QIcon folderClosed_;
    QIcon folderOpen_;
};

}  // namespace vellumark
