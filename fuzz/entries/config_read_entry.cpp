#include "config/config.h"
#include "config/program_folder.h"
#include "fuzz/entries/fuzz_entries.h"
#include "fuzz/entries/fuzz_support.h"

#include <functional>

namespace vellumark::fuzz {

namespace {

// Every value the typed views give, or the failure each gives, one line per property.
class ViewDump {
public:
    template <typename Read>
    void Add(const char* name, Read read)
    {
        text_ += name;
        text_ += '=';
        try {
            text_ += Text(read());
        } catch (const ConfigError& error) {
            if (std::string_view(error.what()).empty())
                emptyMessage_ = true;
            text_ += "<failed>";
        }
        text_ += '\n';
    }
    const std::string& Text() const { return text_; }
    bool EmptyMessage() const { return emptyMessage_; }

private:
    static std::string Text(bool value) { return value ? "True" : "False"; }
    static std::string Text(int value) { return std::to_string(value); }
    static std::string Text(std::size_t value) { return std::to_string(value); }
    static std::string Text(const std::string& value) { return value; }

    std::string text_;
    bool emptyMessage_ = false;
};

void ReadEveryView(ViewDump& dump)
{
    const auto config = [] { return ConfigInstance().Root(); };
    dump.Add("versionNo", [&] { return config().VersionNo(); });
    dump.Add("max", [&] { return config().Frame().Maximized(); });
    dump.Add("left", [&] { return config().Frame().Left(); });
    dump.Add("top", [&] { return config().Frame().Top(); });
    dump.Add("height", [&] { return config().Frame().Height(); });
    dump.Add("width", [&] { return config().Frame().Width(); });
    dump.Add("plLeft.width", [&] { return config().Frame().LeftPane().Width(); });
    dump.Add("plLeft.col1", [&] { return config().Frame().LeftPane().NameColumnWidth(); });
    dump.Add("plLeft.col2", [&] { return config().Frame().LeftPane().TimeColumnWidth(); });
    dump.Add("plLeft.col3", [&] { return config().Frame().LeftPane().SizeColumnWidth(); });
    dump.Add("plHint.height", [&] { return config().Frame().DetailPane().Height(); });
    dump.Add("plHint.col1", [&] { return config().Frame().DetailPane().KeyColumnWidth(); });
    dump.Add("plHint.col2", [&] { return config().Frame().DetailPane().ValueColumnWidth(); });
    std::size_t count = 0;
    try {
        count = config().Columns().Count();
    } catch (const ConfigError&) {
    }
    dump.Add("nodes", [&] { return config().Columns().Count(); });
    // One past the end too: asking for a column that is not there must fail cleanly.
    for (std::size_t i = 0; i <= count && i < 64; ++i) {
        const auto node = [&, i] { return config().Columns().Column(i); };
        dump.Add("Name", [&] { return node().Name(); });
        dump.Add("Visible", [&] { return node().Visible(); });
        dump.Add("Index", [&] { return node().Index(); });
        dump.Add("DefaultExport", [&] { return node().DefaultExport(); });
        dump.Add("Width", [&] { return node().Width(); });
        dump.Add("ReadOnly", [&] { return node().ReadOnly(); });
        dump.Add("Align", [&] { return node().Align(); });
    }
}

}  // namespace

std::string ConfigRead(const std::uint8_t* data, std::size_t size)
{
    const std::string home = ScratchFolder() + "/home";
    if (Status status = SetProgramFolder(home); !status)
        return "cannot use the program folder: " + status.message();
    const std::string file = home + "/VellumarkConfig.xml";
    PutFile(file, std::string_view(reinterpret_cast<const char*>(data), size));
    ResetConfigInstance();

    try {
        ConfigInstance();
    } catch (const ConfigError& error) {
        if (std::string_view(error.what()).empty())
            return "a configuration that does not load gave no message";
        // A file that does not load is left as it was, and the next use tries it again.
        if (ReadWhole(file) != std::string_view(reinterpret_cast<const char*>(data), size))
            return "a configuration that does not load was changed";
        try {
            ConfigInstance();
            return "a configuration that did not load loads the second time";
        } catch (const ConfigError&) {
            return {};
        }
    }

    ViewDump before;
    ReadEveryView(before);
    if (before.EmptyMessage())
        return "a view failed without a message";

    // A value written through a view is read back as written.
    try {
        WindowFrame frame = ConfigInstance().Root().Frame();
        frame.SetLeft(-12345);
        frame.SetMaximized(false);
        if (frame.Left() != -12345 || frame.Maximized())
            return "a frame value written through the view reads back different";
    } catch (const ConfigError&) {
    }

    if (Status status = ConfigInstance().SaveConfig(); !status)
        return "saving the configuration failed: " + status.message();
    ResetConfigInstance();
    try {
        ConfigInstance();
    } catch (const ConfigError& error) {
        return std::string("the saved configuration does not load: ") + error.what();
    }
    // The saved file gives every view what it gave before, except for the two values set above.
    ViewDump after;
    ReadEveryView(after);
    const auto withoutFrameEdits = [](std::string text) {
        for (const char* line : {"left=", "max="}) {
            const std::size_t at = text.find(std::string("\n") + line);
            if (at != std::string::npos)
                text.erase(at + 1, text.find('\n', at + 1) - at - 1);
        }
        return text;
    };
    if (withoutFrameEdits(after.Text()) != withoutFrameEdits(before.Text()))
        return "the saved configuration reads back different:" +
               FirstDifference(withoutFrameEdits(before.Text()), withoutFrameEdits(after.Text()));
    return {};
}

}  // namespace vellumark::fuzz
