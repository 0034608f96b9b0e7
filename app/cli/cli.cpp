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
          {"--format", true},
          {"--out", true},
          {"--force", false}},
         0, RunSearch,
         "search [--scope ITEM] [--name P] [--ext P] [--desc P] [--case] [--whole] [--format F --out FILE [--force]]"},
        {{"export"},
         {{"--format", true}, {"--out", true}, {"--columns", true}, {"--sep", true}, {"--force", false}},
         1, RunExport,
         "export CATALOG --format html|text|csv|xml|xlsx --out FILE [--columns K1,K2,...] [--sep SEP] [--force]"},
        {{"group", "new"}, {}, 1, RunGroupNew, "group new NAME"},
        {{"rename"}, {}, 2, RunRename, "rename ITEM NEWNAME"},
        {{"move"}, {}, 2, RunMove, "move ITEM GROUP"},
        {{"delete"}, {}, 1, RunDelete, "delete ITEM"},
    };
    return commands;
}

void PrintUsage(std::ostream& err)
{
    err << "usage: vellumark-cli [--home DIR] COMMAND ...\ncommands:\n";
    for (const Command& command : Commands())
        err << "  " << command.usage << '\n';
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
            if (words.size() < 2) {
                err << "vellumark-cli: Option --home needs a value\n";
                return 2;
            }
            home = words[1];
            words.erase(words.begin(), words.begin() + 2);
        } else {
            home = words[0].substr(7);
            words.erase(words.begin());
        }
    }
    if (words.empty() || words[0] == "--help" || words[0] == "help") {
        PrintUsage(words.empty() ? err : out);
        return words.empty() ? 2 : 0;
    }
    std::size_t consumed = 0;
    const Command* command = FindCommand(words, consumed);
    if (!command) {
        err << "vellumark-cli: Unknown command " << words[0] << '\n';
        PrintUsage(err);
        return 2;
    }

    TerminalProgress progress(err, showProgress);
    CommandContext context{{}, out, err, progress, {}};
    const std::vector<std::string> rest(words.begin() + static_cast<std::ptrdiff_t>(consumed), words.end());
    if (Status status = context.arguments.Parse(rest, command->options); !status)
        return Report(context, status);
    if (context.arguments.Positional().size() != command->positionalCount)
        return Report(context, Status::Invalid(std::string("usage: vellumark-cli ") + std::string(command->usage)));

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
