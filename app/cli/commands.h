#pragma once

#include "app/cli/arguments.h"
#include "app/cli/cli_services.h"
#include "services/status.h"

#include <iosfwd>
#include <string>

namespace vellumark::cli {

// What one command works with: its parsed words, the output streams and the services.
struct CommandContext {
    Arguments arguments;
    std::ostream& out;
    std::ostream& err;
    TerminalProgress& progress;
    std::string libraryRoot;
};

// Prints the failure's own text on stderr and gives its exit code.
int Report(CommandContext& context, const Status& status);
int ExitCodeOf(const Status& status);

// The library item an ITEM, GROUP or CATALOG argument names, refused when it leads outside.
Status ResolveItem(CommandContext& context, const std::string& text, std::string& path);
// The item the --scope option names (`libraryRoot` without the option), and whether it is a group.
Status ResolveScope(CommandContext& context, const std::string& libraryRoot, std::string& path, bool& isGroup);
// A catalog given to show or export: a library item, or any catalog file path.
Status ResolveCatalog(CommandContext& context, const std::string& text, std::string& path);

int RunScan(CommandContext& context);
int RunShow(CommandContext& context);
int RunEdit(CommandContext& context);
int RunLibrary(CommandContext& context);
int RunGroupNew(CommandContext& context);
int RunRename(CommandContext& context);
int RunMove(CommandContext& context);
int RunDelete(CommandContext& context);
int RunSearch(CommandContext& context);
int RunIndex(CommandContext& context);
int RunExport(CommandContext& context);
int RunUpdate(CommandContext& context);
int RunCompare(CommandContext& context);
int RunDuplicates(CommandContext& context);

}  // namespace vellumark::cli
