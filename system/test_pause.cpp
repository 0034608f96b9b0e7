#include "system/test_pause.h"

#include <signal.h>
#include <stdlib.h>

namespace vellumark {

void PauseForTest(std::string_view place)
{
    const char* listed = ::getenv("VELLUMARK_TEST_PAUSE");
    if (!listed)
        return;
    std::string_view names(listed);
    while (!names.empty()) {
        const auto comma = names.find(',');
        if (names.substr(0, comma) == place) {
            ::raise(SIGSTOP);
            return;
        }
        names = comma == std::string_view::npos ? std::string_view() : names.substr(comma + 1);
    }
}

}  // namespace vellumark
