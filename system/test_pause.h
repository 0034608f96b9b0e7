#pragma once

#include <string_view>

namespace vellumark {

// A named place in a writer where a test can stop the process to force an interleaving with
// other processes: when the environment variable VELLUMARK_TEST_PAUSE lists the name (names
// separated by ","), the process stops itself (SIGSTOP) there until it is continued (SIGCONT).
// Without the variable nothing happens.
//
//     catalog-locked   an edit holds the catalog's lock and has not read the catalog yet
//     catalog-read     an edit or update holds the lock and has its new tree, not yet written
//     temporary-written  a save's temporary file is complete and synced, not yet renamed
void PauseForTest(std::string_view place);

}  // namespace vellumark
