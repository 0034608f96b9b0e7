#pragma once

#include "services/status.h"

#include <string>

namespace vellumark {

// The folder that holds the configuration file and the catalog library, without a trailing
// "/". It is the executable's folder when that folder is writable (portable use, build trees)
// and not below /usr, otherwise the per-user data folder ($XDG_DATA_HOME/vellumark, else
// $HOME/.local/share/vellumark), created when missing. Decided once per run unless overridden.
std::string ProgramFolder();

// The rule above for an executable's real path, without override and without remembering the
// answer.
std::string ProgramFolderFor(const std::string& executablePath);

// Replaces the program folder (the command-line tool's --home, the tests). DIR is made absolute
// and created when missing. A configuration instance that already exists keeps the folder it
// was loaded from; call ResetConfigInstance() so the next use loads from DIR.
Status SetProgramFolder(const std::string& dir);

}  // namespace vellumark
