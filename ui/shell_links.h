#pragma once

#include <QString>
#include <QUrl>

namespace vellumark {

// The help document: beside the executable (build trees, portable use), else in the installed
// share folder, else in the program folder. Empty when none exists.
QString HelpFilePath();

// Open the help document, the product's web site and a new mail to the support address with
// the desktop's own programs. What the desktop does with them is not looked at.
bool OpenHelp();
bool OpenWebSite();
bool OpenSupportMail();

}  // namespace vellumark
