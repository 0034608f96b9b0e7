#include "app/cli/cli_services.h"

#include <ostream>

namespace vellumark::cli {

void TerminalProgress::OnMessage(std::string_view text)
{
    if (!enabled_)
        return;
    constexpr std::size_t kWidth = 100;
    std::string line(text.substr(0, kWidth));
    line.resize(kWidth, ' ');
    err_ << '\r' << line << std::flush;
    lineShown_ = true;
}

void TerminalProgress::OnHide()
{
    if (enabled_ && lineShown_)
        err_ << '\r' << std::string(100, ' ') << '\r' << std::flush;
    lineShown_ = false;
}

LibraryStderrSilenced::LibraryStderrSilenced() : saved_(stderr), sink_(std::fopen("/dev/null", "we"))
{
    if (sink_)
        stderr = sink_;
}

LibraryStderrSilenced::~LibraryStderrSilenced()
{
    if (sink_) {
        stderr = saved_;
        std::fclose(sink_);
    }
}

}  // namespace vellumark::cli
