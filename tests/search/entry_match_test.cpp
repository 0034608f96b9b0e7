#include "search/catalog_search.h"
#include "search/entry_match.h"
#include "services/messages.h"
#include "tests/common/test_support.h"
#include "tests/search/search_test_support.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace vellumark {
namespace {

using testing::CatalogText;
using testing::FileEntry;
using testing::TempDir;
using testing::WriteFile;

// The names of the entries of a one-catalog library that the patterns find.
class MatchRules : public ::testing::Test {
protected:
    std::vector<std::string> Find(std::string_view name, std::string_view extension, std::string_view description,
                                  bool caseSensitive = false, bool wholeValues = false)
    {
        SearchRequest request;
        request.scopePath = folder_ / "Disc.xml";
        request.namePattern = name;
        request.extensionPattern = extension;
        request.descriptionPattern = description;
        request.caseSensitive = caseSensitive;
        request.wholeValues = wholeValues;
        NullProgress progress;
        CatalogTree results;
        const SearchOutcome outcome = SearchCatalogs(request, progress, results);
        EXPECT_TRUE(outcome.Complete());
        std::vector<std::string> names;
        for (int row = 0; row < results.TopLevelCount(); ++row)
            names.emplace_back(results.TopLevel(row)->record.Field(kFileName));
        return names;
    }

    void SetUp() override
    {
        WriteFile(folder_ / "Disc.xml",
                  CatalogText("<file FileName=\"Music\" FullPath=\"/cd/Music\" FileType=\"directory\">"
                              + FileEntry("Rock.mp3", "mp3") + FileEntry("rock.mp3", "mp3")
                              + FileEntry("Rock.MP3", "MP3") + FileEntry("rock.mp3.bak", "bak")
                              + FileEntry("Hard rock live.avi", "avi") + FileEntry("track.mp4", "mp4")
                              + FileEntry("two  blanks.mp3", "mp3") + FileEntry("one blank.mp3", "mp3")
                              + FileEntry("data.txt", "txt") + FileEntry("notes.txt", "txt")
                              + FileEntry("ärger.ogg", "ogg")
                              + "<file FileName=\"mp3\" FullPath=\"/cd/Music/mp3\" FileType=\"directory\"/>"
                              + "<file FullPath=\"/cd/Music/nameless\" FileExt=\"mp3\" Description=\"no name\"/>"
                              + "<file FileName=\"bills.pdf\" FileExt=\"pdf\" Description=\"Tax &amp; insurance\"/>"
                              + "</file>"));
    }

    TempDir folder_;
};

using Names = std::vector<std::string>;

TEST_F(MatchRules, CaseSensitiveSwitchDecidesTheSubstringTest)
{
    EXPECT_EQ(Find("Rock", "", "", true), (Names{"Rock.mp3", "Rock.MP3"}));
    EXPECT_EQ(Find("rock", "", "", false),
              (Names{"Rock.mp3", "rock.mp3", "Rock.MP3", "rock.mp3.bak", "Hard rock live.avi"}));
    // Upper-casing touches a to z only: "ä" and "Ä" stay different letters.
    EXPECT_EQ(Find("ÄRGER", "", ""), Names{});
    EXPECT_EQ(Find("äRGER", "", ""), Names{"ärger.ogg"});
}

TEST_F(MatchRules, WholeValuesCompareTheWholeFieldIgnoringCaseOfLatinLetters)
{
    EXPECT_EQ(Find("rock.mp3", "", "", false, true), (Names{"Rock.mp3", "rock.mp3", "Rock.MP3"}));
    EXPECT_EQ(Find("rock.mp3", "", "", true, true), Names{"rock.mp3"});
    EXPECT_EQ(Find("rock", "", "", false, true), Names{});
    EXPECT_EQ(Find("", "MP3", "", false, true),
              (Names{"Rock.mp3", "rock.mp3", "Rock.MP3", "two  blanks.mp3", "one blank.mp3", ""}));
}

TEST_F(MatchRules, ExtensionIsTheStoredTextWithoutDotAndDirectoriesHaveNone)
{
    const Names mp3 = Find("", "mp3", "");
    EXPECT_EQ(mp3, (Names{"Rock.mp3", "rock.mp3", "Rock.MP3", "two  blanks.mp3", "one blank.mp3", ""}));
    EXPECT_EQ(Find("", ".mp3", ""), Names{});
    EXPECT_EQ(Find("", "mp", ""),
              (Names{"Rock.mp3", "rock.mp3", "Rock.MP3", "track.mp4", "two  blanks.mp3", "one blank.mp3", ""}));
    // The folder "mp3" is found by its name but never by an extension.
    EXPECT_EQ(Find("mp3", "", "", false, true), Names{"mp3"});
    EXPECT_EQ(Find("mp3", "mp3", "", false, true), Names{});
}

TEST_F(MatchRules, ConditionsAreCombinedAndBlanksAreSearchedAsTyped)
{
    EXPECT_EQ(Find("a", "txt", ""), Names{"data.txt"});
    EXPECT_EQ(Find("  ", "mp3", ""), Names{"two  blanks.mp3"});
    // A missing attribute fails its condition; the nameless entry still matches the others.
    EXPECT_EQ(Find("", "mp3", "name"), Names{""});
    EXPECT_EQ(Find("n", "mp3", "name"), Names{});
}

TEST_F(MatchRules, ValuesAreComparedDecoded)
{
    EXPECT_EQ(Find("", "", "tax & INS"), Names{"bills.pdf"});
    EXPECT_EQ(Find("", "", "&amp;"), Names{});
}

// The matcher alone, on values in memory.
EntryValues Values(std::optional<std::string_view> name, std::optional<std::string_view> extension = std::nullopt,
                   std::optional<std::string_view> description = std::nullopt)
{
    EntryValues values;
    values.fields[kFileName] = name;
    values.fields[kFileExt] = extension;
    values.fields[kDescription] = description;
    return values;
}

SearchRequest Patterns(std::string name, std::string extension = {}, std::string description = {},
                       bool caseSensitive = false, bool wholeValues = false)
{
    SearchRequest request;
    request.namePattern = std::move(name);
    request.extensionPattern = std::move(extension);
    request.descriptionPattern = std::move(description);
    request.caseSensitive = caseSensitive;
    request.wholeValues = wholeValues;
    return request;
}

TEST(EntryMatchesTest, NoConditionMatchesEveryEntryEvenWithoutValues)
{
    const SearchConditions none{SearchRequest{}};
    EXPECT_TRUE(none.Fields().empty());
    EXPECT_TRUE(EntryMatches(none, EntryValues{}));
    EXPECT_TRUE(EntryMatches(none, Values("anything")));
}

TEST(EntryMatchesTest, OnlyTheFieldsOfGivenPatternsAreLookedAtInTestOrder)
{
    EXPECT_EQ(SearchConditions(Patterns("a", "", "d")).Fields(), (std::vector<int>{kFileName, kDescription}));
    EXPECT_EQ(SearchConditions(Patterns("a", "b", "c")).Fields(),
              (std::vector<int>{kFileName, kFileExt, kDescription}));
    // A field no condition names may be missing.
    EXPECT_TRUE(EntryMatches(SearchConditions(Patterns("", "mp3")), Values(std::nullopt, "mp3")));
}

TEST(EntryMatchesTest, AMissingValueFailsItsConditionAnEmptyOneNeverContainsAPattern)
{
    const SearchConditions conditions(Patterns("", "", "note"));
    EXPECT_FALSE(EntryMatches(conditions, Values("a.txt", "txt", std::nullopt)));
    EXPECT_FALSE(EntryMatches(conditions, Values("a.txt", "txt", "")));
    EXPECT_TRUE(EntryMatches(conditions, Values(std::nullopt, std::nullopt, "a NOTE")));
}

TEST(EntryMatchesTest, CaseAndWholeValueRules)
{
    const auto matches = [](const SearchRequest& request, std::string_view name) {
        return EntryMatches(SearchConditions(request), Values(name));
    };
    EXPECT_TRUE(matches(Patterns("rock"), "Hard ROCK live.avi"));
    EXPECT_FALSE(matches(Patterns("rock", "", "", true), "Hard ROCK live.avi"));
    EXPECT_TRUE(matches(Patterns("rock.mp3", "", "", false, true), "Rock.MP3"));
    EXPECT_FALSE(matches(Patterns("rock.mp3", "", "", true, true), "Rock.MP3"));
    EXPECT_TRUE(matches(Patterns("rock.mp3", "", "", true, true), "rock.mp3"));
    EXPECT_FALSE(matches(Patterns("rock", "", "", false, true), "rock.mp3"));
    // Only a to z change case; other bytes compare as they are.
    EXPECT_FALSE(matches(Patterns("\xC3\x84RGER"), "\xC3\xA4rger"));
    EXPECT_TRUE(matches(Patterns("\xC3\xA4RGER"), "\xC3\xA4rger"));
    EXPECT_TRUE(matches(Patterns("  "), "two  blanks"));
    EXPECT_FALSE(matches(Patterns("  "), "one blank"));
    EXPECT_FALSE(matches(Patterns("longer than the value"), "short"));
}

TEST(EntryMatchesTest, EveryConditionMustHold)
{
    const SearchConditions conditions(Patterns("a", "txt"));
    EXPECT_TRUE(EntryMatches(conditions, Values("data.txt", "txt")));
    EXPECT_FALSE(EntryMatches(conditions, Values("notes.txt", "txt")));
    EXPECT_FALSE(EntryMatches(conditions, Values("data.csv", "csv")));
}

TEST(EntryMatchesTest, ARecordInMemoryIsMatchedByItsFields)
{
    EntryRecord record;
    record.SetField(kFileName, "Best of.mp3");
    record.SetField(kFileExt, "mp3");
    EXPECT_TRUE(EntryMatches(SearchConditions(Patterns("best", "MP3")), ValuesOfRecord(record)));
    EXPECT_FALSE(EntryMatches(SearchConditions(Patterns("", "", "x")), ValuesOfRecord(record)));
}

TEST(CheckSearchConditionTest, RefusesBlankPatternsAndMissingScope)
{
    SearchRequest request;
    request.scopePath = "/lib";
    request.namePattern = " \t ";
    request.descriptionPattern = "  ";
    const Status blank = CheckSearchCondition(request);
    EXPECT_EQ(blank.code(), Status::Code::Invalid);
    EXPECT_EQ(blank.message(), messages::kInputSearchCondition);

    request.extensionPattern = "mp3";
    EXPECT_TRUE(CheckSearchCondition(request).ok());

    request.scopePath.clear();
    EXPECT_EQ(CheckSearchCondition(request).message(), messages::kInputSearchCondition);
}

}  // namespace
}  // namespace vellumark
