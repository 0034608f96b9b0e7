#include "app/cli/cli.h"

#include "app/cli/commands.h"
#include "config/config.h"
#include "config/program_folder.h"
#include "library/library_store.h"

#include <exception>
#include <functional>
#include <ostream>

namespace vellumark::cli {

namespace {

struct Command {
    std::vector<std::string_view> words;  // "scan", or "group", "new"
    std::vector<OptionSpec> options;
    std::size_t positionalCount;
    std::function<int(CommandContext&)> run;
    std::string_view usage;
    std::size_t optionalPositionalCount = 0;  // more positional words that may follow
};

const std::vector<Command>& Commands()
{
    static const std::vector<Command> commands = {
        {{"scan"},
         {{"--name", true}, {"--group", true}, {"--only-folders", false}, {"--mask", true}, {"--force", false}},
         1, RunScan,
         "scan FOLDER --name NAME [--group GROUP] [--only-folders] [--mask EXT]... [--force]"},
        {{"library"}, {{"--groups-only", false}}, 0, RunLibrary, "library [--groups-only]"},
        {{"show"}, {}, 1, RunShow, "show CATALOG"},
        {{"edit"}, {{"--entry", true}, {"--name", true}, {"--description", true}}, 1, RunEdit,
         "edit CATALOG --entry FULLPATH (--name NEW | --description TEXT)"},
        {{"search"},
         {{"--scope", true},
          {"--name", true},
          {"--ext", true},
          {"--desc", true},
          {"--case", false},
          {"--whole", false},
          {"--regex", false},
          {"--min-size", true},
          {"--max-size", true},
          {"--after", true},
          {"--before", true},
          {"--type", true},
          {"--count", false},
          {"--no-index", false},
          {"--format", true},
          {"--out", true},
          {"--force", false},
          {"--raw", false}},
         0, RunSearch,
         "search [--scope ITEM] [--name P] [--ext P] [--desc P] [--case] [--whole] [--regex] [--min-size N] "
         "[--max-size N] [--after T] [--before T] [--type file|directory] [--no-index] "
         "[--count | --format F --out FILE [--force] [--raw]]"},
        {{"index"}, {{"--status", false}, {"--rebuild", false}}, 0, RunIndex, "index [--status | --rebuild]"},
        {{"export"},
         {{"--format", true}, {"--out", true}, {"--columns", true}, {"--sep", true}, {"--force", false}, {"--raw", false}},
         1, RunExport,
         "export CATALOG --format html|text|csv|xml|xlsx --out FILE [--columns K1,K2,...] [--sep SEP] [--force] [--raw]"},
        {{"group", "new"}, {}, 1, RunGroupNew, "group new NAME"},
        {{"rename"}, {}, 2, RunRename, "rename ITEM NEWNAME"},
        {{"move"}, {}, 2, RunMove, "move ITEM GROUP"},
        {{"delete"}, {}, 1, RunDelete, "delete ITEM"},
        {{"update"},
         {{"--from", true}, {"--mask", true}, {"--only-folders", false}, {"--dry-run", false}, {"--force", false}},
         1, RunUpdate,
         "update CATALOG [--from FOLDER] [--mask EXT]... [--only-folders] [--dry-run] [--force]"},
        {{"compare"},
         {{"--folder", true}, {"--mask", true}, {"--only-folders", false}, {"--ignore-time", false}},
         1, RunCompare,
         "compare OLD (NEW | --folder DIR [--mask EXT]... [--only-folders]) [--ignore-time]", 1},
        {{"duplicates"},
         {{"--scope", true}, {"--by", true}, {"--min-size", true}, {"--no-index", false}},
         0, RunDuplicates,
         "duplicates [--scope ITEM] [--by name-size|size|name] [--min-size N] [--no-index]"},
    };
    return commands;
}

void PrintUsage(std::ostream& out)
{
    out << "usage: vellumark-cli [--home DIR] COMMAND [ARGUMENT | OPTION]...\n"
           "       vellumark-cli --help | --version\n"
           "\n"
           "Catalogs discs, drives and folders into the Vellumark library and works on the library.\n"
           "\n"
           "commands:\n";
    for (const Command& command : Commands())
        out << "  " << command.usage << '\n';
    out << "\n"
           "options:\n"
           "  --home DIR  use DIR for the configuration file and the library (before the command)\n"
           "  --help      print this help and exit (also after a command)\n"
           "  --version   print the version and exit\n"
           "\n"
           "exit status: 0 done, 1 the operation failed, 2 bad usage or input,\n"
           "3 the target exists (see --force) or is taken.\n"
           "The manual page vellumark-cli(1) describes every command and option.\n";
}

// A usage error is one line; the second only points to the help.
int UsageError(std::ostream& err, const std::string& failure)
{
    err << "vellumark-cli: " << failure << "\nTry 'vellumark-cli --help' for more information.\n";
    return 2;
}

const Command* FindCommand(const std::vector<std::string>& words, std::size_t& consumed)
{
    for (const Command& command : Commands()) {
        if (words.size() < command.words.size())
            continue;
        bool same = true;
        for (std::size_t i = 0; i < command.words.size(); ++i)
            same = same && words[i] == command.words[i];
        if (same) {
            consumed = command.words.size();
            return &command;
        }
    }
    return nullptr;
}

}  // namespace

int ExitCodeOf(const Status& status)
{
    switch (status.code()) {
    case Status::Code::Ok:
        return 0;
    case Status::Code::Invalid:
        return 2;
    case Status::Code::Exists:
    case Status::Code::Cancelled:
        return 3;
    case Status::Code::Failed:
        break;
    }
    return 1;
}

int Report(CommandContext& context, const Status& status)
{
    if (!status.ok() && !status.message().empty())
        context.err << "vellumark-cli: " << status.message() << '\n';
    return ExitCodeOf(status);
}

int Run(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err, bool showProgress)
{
    std::vector<std::string> words = arguments;
    std::string home;
    while (!words.empty() && (words[0] == "--home" || words[0].rfind("--home=", 0) == 0)) {
        if (words[0] == "--home") {
            if (words.size() < 2)
                return UsageError(err, "Option --home needs a value");
            home = words[1];
            words.erase(words.begin(), words.begin() + 2);
        } else {
            home = words[0].substr(7);
            words.erase(words.begin());
        }
    }
    if (words.empty())
        return UsageError(err, "Missing command");
    if (words[0] == "--help" || words[0] == "-h" || words[0] == "help") {
        PrintUsage(out);
        return 0;
    }
    if (words[0] == "--version") {
        out << "vellumark-cli " << VELLUMARK_VERSION << '\n';
        return 0;
    }
    std::size_t consumed = 0;
    const Command* command = FindCommand(words, consumed);
    if (!command)
        return UsageError(err, (words[0].rfind('-', 0) == 0 ? "Unknown option " : "Unknown command ") + words[0]);

    TerminalProgress progress(err, showProgress);
    CommandContext context{{}, out, err, progress, {}};
    const std::vector<std::string> rest(words.begin() + static_cast<std::ptrdiff_t>(consumed), words.end());
    std::vector<OptionSpec> options = command->options;
    options.push_back({"--help", false});
    if (Status status = context.arguments.Parse(rest, options); !status)
        return UsageError(err, status.message());
    if (context.arguments.Has("--help")) {
        PrintUsage(out);
        return 0;
    }
    const std::size_t positionalCount = context.arguments.Positional().size();
    if (positionalCount < command->positionalCount
        || positionalCount > command->positionalCount + command->optionalPositionalCount)
        return UsageError(err, "Wrong number of arguments; usage: vellumark-cli " + std::string(command->usage));

    try {
        // What the desktop program does at start-up: the configuration (with its default file
        // on a first run) and the library with its default groups.
        if (!home.empty()) {
            if (Status status = SetProgramFolder(home); !status)
                return Report(context, status);
            ResetConfigInstance();
        }
        context.libraryRoot = ConfigInstance().GetLibraryPath();
        CreateDefaultLibrary(context.libraryRoot);
        return command->run(context);
    } catch (const std::exception& failure) {
        return Report(context, Status::Failed(failure.what()));
    }
}

}  // namespace vellumark::cli
