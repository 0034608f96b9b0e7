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
    const auto config = [] { return ConfigInstance().GetConfig(); };
    dump.Add("versionNo", [&] { return config().versionNo(); });
    dump.Add("max", [&] { return config().frame().max(); });
    dump.Add("left", [&] { return config().frame().left(); });
    dump.Add("top", [&] { return config().frame().top(); });
    dump.Add("height", [&] { return config().frame().height(); });
    dump.Add("width", [&] { return config().frame().width(); });
    dump.Add("plLeft.width", [&] { return config().frame().plLeft().width(); });
    dump.Add("plLeft.col1", [&] { return config().frame().plLeft().col1(); });
    dump.Add("plLeft.col2", [&] { return config().frame().plLeft().col2(); });
    dump.Add("plLeft.col3", [&] { return config().frame().plLeft().col3(); });
    dump.Add("plHint.height", [&] { return config().frame().plHint().height(); });
    dump.Add("plHint.col1", [&] { return config().frame().plHint().col1(); });
    dump.Add("plHint.col2", [&] { return config().frame().plHint().col2(); });
    std::size_t count = 0;
    try {
        count = config().nodes().Count();
    } catch (const ConfigError&) {
    }
    dump.Add("nodes", [&] { return config().nodes().Count(); });
    // One past the end too: asking for a column that is not there must fail cleanly.
    for (std::size_t i = 0; i <= count && i < 64; ++i) {
        const auto node = [&, i] { return config().nodes().Node(i); };
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
        TXMLFrameType frame = ConfigInstance().GetConfig().frame();
        frame.SetLeft(-12345);
        frame.SetMax(false);
        if (frame.left() != -12345 || frame.max())
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
