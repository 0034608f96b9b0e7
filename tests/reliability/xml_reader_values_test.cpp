#include "core/catalog_file.h"
#include "config/xml_document.h"
#include "core/xml_pull_reader.h"
#include "tests/common/test_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <future>

#include <string>
#include <vector>

namespace vellumark {
namespace {

// Values that need decoding (entities, white space, the stored form) are held by the reader;
// every value taken for one element must stay valid while the next ones are decoded, however
// many there are. Short values are the telling case: they live inside their string object.
TEST(XmlReaderValues, EveryDecodedValueOfAnElementStaysValid)
{
    std::string text = "<fileinfo><file";
    std::vector<std::string> expected;
    for (int i = 0; i < 40; ++i) {
        text += " a" + std::to_string(i) + "=\"" + std::to_string(i) + "&amp;\"";
        expected.push_back(std::to_string(i) + "&");
    }
    text += "/></fileinfo>";
    XmlPullReader reader;
    reader.OpenText(text);
    ASSERT_EQ(reader.Next(), XmlPullReader::Event::StartElement);
    ASSERT_EQ(reader.Next(), XmlPullReader::Event::StartElement);
    std::vector<std::string_view> values;
    for (const XmlPullReader::Attribute& attribute : reader.Attributes())
        values.push_back(reader.Value(attribute));
    // Churn the heap so that freed blocks are handed out again before the values are read.
    std::vector<std::string> churn;
    for (int i = 0; i < 64; ++i)
        churn.emplace_back(15, 'x');
    ASSERT_EQ(values.size(), expected.size());
    for (std::size_t i = 0; i < values.size(); ++i)
        EXPECT_EQ(values[i], expected[i]) << "value " << i;
}

// The catalog loader takes all eleven values of an entry before it packs the record.
TEST(XmlReaderValues, CatalogEntryWithEveryFieldEscapedLoadsExactly)
{
    testing::TempDir dir;
    std::string element = "<file";
    for (const char* key : {"FileName", "FullPath", "FileSize", "FileTime", "FileExt", "FileType", "Description",
                            "FileNameLength", "PathNameLength", "SizePercentage"})
        element += std::string(" ") + key + "=\"" + key + "&lt;\"";
    const std::string path = dir / "Escaped.xml";
    testing::WriteFile(path, "<fileinfo>" + element + "/></fileinfo>");
    CatalogTree tree;
    NullProgress progress;
    ASSERT_TRUE(ReadCatalogFile(path, tree, progress));
    ASSERT_EQ(tree.NodeCount(), 1u);
    EXPECT_EQ(tree.First()->record.Field(kFileName), "FileName<");
    EXPECT_EQ(tree.First()->record.Field(kDescription), "Description<");
    EXPECT_EQ(tree.First()->record.Field(kSizePercentage), "SizePercentage<");
}

// A named pipe chosen as a catalog (the open dialog shows them) is refused at once instead of
// waiting for a writer that never comes; so are devices.
TEST(XmlReaderValues, ANamedPipeOrADeviceIsRefusedWithoutWaiting)
{
    testing::TempDir dir;
    const std::string pipe = dir / "pipe.xml";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    CatalogTree tree;
    NullProgress progress;
    std::future<Status> read = std::async(std::launch::async, [&] { return ReadCatalogFile(pipe, tree, progress); });
    const bool answered = read.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
    if (!answered) {
        // Let the blocked reader go, so that the test ends.
        const int writer = ::open(pipe.c_str(), O_WRONLY | O_NONBLOCK);
        if (writer >= 0)
            ::close(writer);
    }
    const Status status = read.get();
    EXPECT_TRUE(answered) << "reading a named pipe waited for a writer";
    EXPECT_FALSE(status.ok());
    EXPECT_NE(status.message().find("pipe.xml"), std::string::npos) << status.message();

    const Status device = ReadCatalogFile("/dev/zero", tree, progress);
    EXPECT_FALSE(device.ok());

    // The configuration's document refuses it too, before the XML component could wait on it.
    XmlDocument document;
    const Status parsed = document.ParseFile(pipe);
    EXPECT_FALSE(parsed.ok());
    EXPECT_NE(parsed.message().find("not a regular file"), std::string::npos) << parsed.message();
}

}  // namespace
}  // namespace vellumark
