#include "app/cli/cli.h"
#include "core/catalog_file.h"
#include "export/excel_export.h"
#include "library/library_ops.h"
#include "system/mount_table.h"
#include "tests/common/test_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <map>
#include <sstream>
#include <string>

namespace vellumark {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

// Faults that only a real file system gives (no space left, a read-only volume; neither stops
// at permissions, so they hold for root as well) are made in a child process with a mount
// namespace of its own: a small tmpfs is mounted over a temporary folder there and nothing
// outside the child sees it. Machines that allow no such namespace skip these tests.
constexpr int kSkipped = 77;

bool EnterPrivateMountNamespace()
{
    if (::unshare(CLONE_NEWNS) != 0) {
        const uid_t uid = ::getuid();
        const gid_t gid = ::getgid();
        if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0)
            return false;
        const auto put = [](const char* file, const std::string& text) {
            const int fd = ::open(file, O_WRONLY);
            const bool ok = fd >= 0 && ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
            if (fd >= 0)
                ::close(fd);
            return ok;
        };
        put("/proc/self/setgroups", "deny");
        if (!put("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1") ||
            !put("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1"))
            return false;
    }
    return ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}

// Runs the check in a child with a tmpfs of the given size mounted at `folder`; the check's
// text (empty when it held) comes back through a pipe.
void RunOnTmpfs(const std::string& folder, const char* size, const std::function<std::string()>& check)
{
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(pipeFds[0]);
        if (!EnterPrivateMountNamespace() ||
            ::mount("tmpfs", folder.c_str(), "tmpfs", 0, (std::string("size=") + size).c_str()) != 0)
            ::_exit(kSkipped);
        const std::string fault = check();
        if (::write(pipeFds[1], fault.data(), fault.size()) < 0)
            ::_exit(2);
        ::_exit(fault.empty() ? 0 : 1);
    }
    ::close(pipeFds[1]);
    std::string fault;
    char buffer[4096];
    for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;)
        fault.append(buffer, static_cast<std::size_t>(n));
    ::close(pipeFds[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "the child crashed";
    if (WEXITSTATUS(status) == kSkipped)
        GTEST_SKIP() << "no private mount namespace here";
    EXPECT_EQ(fault, "");
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

// Every file and folder below the folder, with the bytes of the files.
std::map<std::string, std::string> TreeState(const std::string& folder)
{
    std::map<std::string, std::string> state;
    for (const std::string& name : testing::ListFolder(folder)) {
        const std::string path = folder + "/" + name;
        if (::access((path + "/.").c_str(), F_OK) == 0) {
            state[name + "/"] = "";
            for (const auto& [below, bytes] : TreeState(path))
                state[name + "/" + below] = bytes;
        } else {
            state[name] = ReadFile(path);
        }
    }
    return state;
}

// Fills the file system until no block is left.
void FillUp(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const std::string block(4096, 'f');
    while (::write(fd, block.data(), block.size()) > 0) {
    }
    // Keep a few bytes' worth of slack away too: tmpfs counts whole pages.
    ::close(fd);
}

std::string Expect(bool condition, const std::string& what) { return condition ? std::string() : what + "\n"; }

TEST(FullDisk, LibraryOperationsOnAReadOnlyVolumeFailAndChangeNothing)
{
    TempDir dir;
    RunOnTmpfs(dir.Path(), "1m", [&] {
        const std::string root = dir / "CatalogLibrary";
        testing::MakeDirs(root + "/A/Sub");
        testing::MakeDirs(root + "/B");
        WriteFile(root + "/A/a.xml", "a");
        WriteFile(root + "/A/Sub/s.xml", "s");
        WriteFile(root + "/c.xml", "c");
        if (::mount(nullptr, dir.Path().c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) != 0)
            return std::string("cannot make the volume read-only");
        const auto before = TreeState(root);
        const LinuxVolumeInfo volumes;
        const std::pair<const char*, std::function<Status()>> operations[] = {
            {"create group", [&] { return CreateGroup(root + "/New"); }},
            {"rename group", [&] { return RenameLibraryItem(root + "/A", root + "/A2"); }},
            {"rename catalog", [&] { return RenameLibraryItem(root + "/c.xml", root + "/d.xml"); }},
            {"move group", [&] { return MoveLibraryItem(root + "/A", root + "/B"); }},
            {"move catalog", [&] { return MoveLibraryItem(root + "/c.xml", root + "/B"); }},
            {"delete group", [&] { return DeleteFolderTree(root + "/A", volumes); }},
            {"delete catalog", [&] { return DeleteCatalogFile(root + "/c.xml"); }},
        };
        std::string faults;
        for (const auto& [name, operation] : operations) {
            const Status status = operation();
            faults += Expect(!status.ok() && !status.message().empty(), std::string(name) + " did not report the failure");
            faults += Expect(TreeState(root) == before, std::string(name) + " changed the library");
        }
        return faults;
    });
}

TEST(FullDisk, LibraryOperationsWithAFileWhereAFolderBelongs)
{
    TempDir dir;
    const std::string root = dir / "CatalogLibrary";
    testing::MakeDirs(root + "/A");
    WriteFile(root + "/file", "x");
    const auto before = TreeState(root);
    const Status create = CreateGroup(root + "/file/New");
    EXPECT_FALSE(create.ok());
    EXPECT_NE(create.message().find("file/New"), std::string::npos) << create.message();
    const Status move = MoveLibraryItem(root + "/A", root + "/file");
    EXPECT_EQ(move.code(), Status::Code::Invalid);
    const Status rename = RenameLibraryItem(root + "/A", root + "/file/A");
    EXPECT_FALSE(rename.ok());
    EXPECT_TRUE(TreeState(root) == before);
}

// The workbook library writes its file itself, past the fault hook of the writes; a volume
// without space is the fault it meets. The old file stays, nothing is left beside it.
TEST(FullDisk, WritesOnAFullVolumeFailAndKeepTheOldFiles)
{
    TempDir dir;
    RunOnTmpfs(dir.Path(), "256k", [&] {
        CatalogTree tree;
        CatalogTreeNode* root = tree.Append(nullptr);
        root->record.SetField(kFileName, "Disc");
        root->record.SetField(kFileType, kKindFile);
        for (int i = 0; i < 2000; ++i) {
            CatalogTreeNode* node = tree.Append(root);
            node->record.SetField(kFileName, "file number " + std::to_string(i) + ".bin");
            node->record.SetField(kFileType, kKindFile);
        }
        const std::string out = dir / "out";
        testing::MakeDirs(out);
        WriteFile(out + "/Disc.xlsx", "old workbook");
        WriteFile(out + "/Disc.xml", "old catalog");
        FillUp(dir / "filler");
        const auto before = TreeState(out);

        NullProgress progress;
        const std::vector<std::string> columns = {"FileName", "FileType"};
        std::string faults;
        const Status excel = WriteWorkbook(tree, columns, out + "/Disc.xlsx", progress);
        faults += Expect(excel.code() == Status::Code::Failed && !excel.message().empty(),
                         "the workbook on a full volume did not fail: " + excel.message());
        const Status catalog = WriteCatalogFile(tree, out + "/Disc.xml", progress);
        faults += Expect(catalog.code() == Status::Code::Failed && !catalog.message().empty(),
                         "the catalog on a full volume did not fail: " + catalog.message());
        faults += Expect(TreeState(out) == before, "a failed write on a full volume changed the folder");

        // With room again both succeed.
        std::remove((dir / "filler").c_str());
        faults += Expect(WriteWorkbook(tree, columns, out + "/Disc.xlsx", progress).ok(),
                         "the workbook fails with room on the volume");
        faults += Expect(WriteCatalogFile(tree, out + "/Disc.xml", progress).ok(),
                         "the catalog fails with room on the volume");
        faults += Expect(testing::ListFolder(out).size() == 2, "writes with room left files behind");
        return faults;
    });
}

// The workbook library prints "[ERROR]" lines of its own on stderr when it fails; the
// command-line tool reports a failure in one line, its own.
TEST(FullDisk, AWorkbookExportOnAFullVolumeFailsWithOneLine)
{
    TempDir dir;
    TempDir captured;
    RunOnTmpfs(dir.Path(), "256k", [&] {
        const std::string home = dir / "home";
        const std::string source = dir / "source";
        testing::MakeDirs(source);
        for (int i = 0; i < 300; ++i)
            WriteFile(source + "/file number " + std::to_string(i) + ".bin", "");
        std::ostringstream out;
        std::ostringstream err;
        if (cli::Run({"--home", home, "scan", source, "--name", "Disc"}, out, err, false) != 0)
            return "the scan failed: " + err.str();
        FillUp(dir / "filler");

        const std::string stderrFile = captured / "stderr";
        const int saved = ::dup(2);
        const int sink = ::open(stderrFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(sink, 2);
        const int code = cli::Run({"--home", home, "export", "Disc.xml", "--format", "xlsx", "--out", dir / "Disc.xlsx"},
                                  out, err, false);
        ::dup2(saved, 2);
        ::close(sink);
        ::close(saved);
        const std::string lines = err.str();
        return Expect(code == 1, "the export did not fail: " + std::to_string(code))
               + Expect(lines.rfind("vellumark-cli: ", 0) == 0 && lines.find('\n') == lines.size() - 1,
                        "not one line of the tool's own: " + lines)
               + Expect(ReadFile(stderrFile).empty(), "the library printed: " + ReadFile(stderrFile));
    });
}

}  // namespace
}  // namespace vellumark
