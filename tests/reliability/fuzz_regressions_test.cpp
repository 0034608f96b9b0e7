#include "fuzz/entries/fuzz_entries.h"
#include "tests/common/test_support.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace vellumark {
namespace {

// Every input a fuzz target once failed on, and the seeds, run through its entry function.
// A crash fails the suite outright; a broken property fails the case with its text.
void ReplayFolder(const std::string& target, fuzz::Entry entry, const char* kind, int& replayed)
{
    const std::filesystem::path folder = std::filesystem::path(VELLUMARK_FUZZ_DIR) / kind / target;
    if (!std::filesystem::is_directory(folder))
        return;
    for (const auto& file : std::filesystem::directory_iterator(folder)) {
        const std::string bytes = testing::ReadFile(file.path().string());
        const std::string fault = entry(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
        EXPECT_EQ(fault, "") << file.path();
        ++replayed;
    }
}

void Replay(const std::string& target, fuzz::Entry entry)
{
    int replayed = 0;
    ReplayFolder(target, entry, "regressions", replayed);
    ReplayFolder(target, entry, "corpus", replayed);
    EXPECT_GT(replayed, 0) << "no inputs for " << target;
}

TEST(FuzzRegressions, CatalogLoad) { Replay("catalog_load", fuzz::CatalogLoad); }
TEST(FuzzRegressions, CatalogSearch) { Replay("catalog_search", fuzz::CatalogSearch); }
TEST(FuzzRegressions, ConfigRead) { Replay("config_read", fuzz::ConfigRead); }
TEST(FuzzRegressions, NameRules) { Replay("name_rules", fuzz::NameRules); }

}  // namespace
}  // namespace vellumark
