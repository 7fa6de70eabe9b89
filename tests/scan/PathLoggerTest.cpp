#include "scan/pathLogger.h"

#include "scan/FileSystemService.h"
#include "util/Error.h"
#include "util/registry.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

namespace quenlith {
namespace {

namespace fs = std::filesystem;

const std::string S(1, preferredSeparator());

// A scripted file system: folders by path (ending in the separator), listed in a fixed order.
// It records every call and every yield in one trace, so the order of yield points can be
// checked.
class FakeFileSystem : public FileSystemService {
public:
    struct Folder {
        std::vector<std::string> subFolders;
        std::vector<std::string> files;
        std::string identity; // defaults to the path
        bool unreadable = false;
    };

    explicit FakeFileSystem(std::map<std::string, Folder> folders, std::vector<std::string> *trace)
        : m_folders(std::move(folders))
        , m_trace(trace)
    {
    }

    bool folderExists(const std::string &path) override
    {
        return find(path) != nullptr;
    }
    std::vector<std::string> subFolderNames(const std::string &folder) override
    {
        log("subfolders " + folder);
        return readable(folder).subFolders;
    }
    std::vector<std::string> fileNames(const std::string &folder) override
    {
        log("files " + folder);
        return readable(folder).files;
    }
    std::string folderIdentity(const std::string &folder) override
    {
        const Folder *found = find(folder);
        if (found == nullptr)
            throw Error(ErrorNumber::PathNotFound, "No such file or directory");
        return found->identity.empty() ? withTrailingSeparator(folder) : found->identity;
    }

private:
    const Folder *find(const std::string &path) const
    {
        const auto it = m_folders.find(withTrailingSeparator(path));
        return it == m_folders.end() ? nullptr : &it->second;
    }
    const Folder &readable(const std::string &path) const
    {
        const Folder *found = find(path);
        if (found == nullptr)
            throw Error(ErrorNumber::PathNotFound, "No such file or directory");
        if (found->unreadable)
            throw Error(ErrorNumber::PermissionDenied, "Permission denied");
        return *found;
    }
    void log(const std::string &entry)
    {
        if (m_trace != nullptr)
            m_trace->push_back(entry);
    }

    std::map<std::string, Folder> m_folders;
    std::vector<std::string> *m_trace;
};

// The tree of the worked example: R holds r1, r2 and the subfolders A and B; A holds a1 and
// the subfolder C; C holds c1; B holds b1.
using Folders = std::map<std::string, FakeFileSystem::Folder>;

Folders workedExample()
{
    const std::string r = S + "R" + S;
    return {
        { r, { { "A", "B" }, { "r1", "r2" }, {}, false } },
        { r + "A" + S, { { "C" }, { "a1" }, {}, false } },
        { r + "B" + S, { {}, { "b1" }, {}, false } },
        { r + "A" + S + "C" + S, { {}, { "c1" }, {}, false } },
    };
}

struct Scan {
    std::vector<std::string> trace;
    std::function<void()> onYield; // a handler that runs while events are let through
    pathLogger logger { [this] {
        trace.push_back("yield");
        if (onYield)
            onYield();
    } };

    explicit Scan(Folders folders)
    {
        logger.setFileSystemFactory(
            [this, folders] { return std::make_unique<FakeFileSystem>(folders, &trace); });
    }
};

template <typename T> std::vector<T> items(const KeyedList<T> &list)
{
    return std::vector<T>(list.begin(), list.end());
}

std::vector<std::string> keys(const KeyedList<std::string> &list)
{
    std::vector<std::string> result;
    for (int i = 1; i <= list.Count(); ++i)
        result.push_back(list.keyAt(i));
    return result;
}

std::string modeName(const ::testing::TestParamInfo<bool> &row)
{
    return row.param ? "FullFileNamesOnly" : "AllLists";
}

class WorkedExample : public ::testing::TestWithParam<bool> { };

TEST_P(WorkedExample, RecordsFoldersLevelByLevelAndFilesFolderByFolder)
{
    const bool fullFileNamesOnly = GetParam();
    Scan scan(workedExample());
    scan.logger.PathLogInit();
    scan.logger.setFullFileNamesOnly(fullFileNamesOnly);
    scan.logger.LogPath(S + "R");

    const std::string r = S + "R" + S;
    const auto paths = scan.logger.pathNames();
    EXPECT_EQ(items(*paths),
        (std::vector<std::string> { r, r + "A" + S, r + "B" + S, r + "A" + S + "C" + S }));
    EXPECT_EQ(keys(*paths), (std::vector<std::string> { "K0", "K2", "K3", "K4" }));
    const auto full = scan.logger.fullFileNames();
    EXPECT_EQ(items(*full),
        (std::vector<std::string> { r + "r1",
            r + "r2",
            r + "A" + S + "a1",
            r + "B" + S + "b1",
            r + "A" + S + "C" + S + "c1" }));
    EXPECT_EQ(keys(*full), (std::vector<std::string> { "K1", "K2", "K3", "K4", "K5" }));
    EXPECT_EQ(scan.logger.Count(), 6);
    EXPECT_TRUE(scan.logger.skippedFolders().empty());

    if (fullFileNamesOnly) {
        EXPECT_EQ(scan.logger.fileNames()->Count(), 0);
        EXPECT_EQ(scan.logger.pathPointers()->Count(), 0);
        return;
    }
    const auto names = scan.logger.fileNames();
    const auto pointers = scan.logger.pathPointers();
    EXPECT_EQ(items(*names), (std::vector<std::string> { "r1", "r2", "a1", "b1", "c1" }));
    EXPECT_EQ(items(*pointers), (std::vector<int> { 1, 1, 2, 3, 4 }));
    EXPECT_EQ(keys(*names), keys(*full));
    for (int k = 1; k <= full->Count(); ++k) {
        EXPECT_EQ(full->Item(k), paths->Item(pointers->Item(k)) + names->Item(k));
        EXPECT_EQ(pointers->keyAt(k), full->keyAt(k));
    }
}

INSTANTIATE_TEST_SUITE_P(BothModes, WorkedExample, ::testing::Values(false, true), modeName);

TEST(PathLogger, YieldsAtEveryPointOfTheWalkInOrder)
{
    const std::string r = S + "R" + S;
    for (const bool fullFileNamesOnly : { true, false }) {
        Scan scan(Folders { { r, { { "A" }, { "r1" }, {}, false } }, { r + "A" + S, {} } });
        scan.logger.PathLogInit();
        scan.logger.setFullFileNamesOnly(fullFileNamesOnly);
        scan.logger.LogPath(r);
        std::vector<std::string> expected { "yield", // start
            "subfolders " + r,
            "yield", // listing obtained
            "yield", // before queuing A
            "yield", // before the file listing
            "files " + r };
        if (fullFileNamesOnly)
            expected.push_back("yield"); // before the file loop
        expected.insert(expected.end(),
            { "yield", // after r1
                "yield", // folder finished
                "subfolders " + r + "A" + S,
                "yield",
                "yield",
                "files " + r + "A" + S });
        if (fullFileNamesOnly)
            expected.push_back("yield");
        expected.push_back("yield");
        EXPECT_EQ(scan.trace, expected) << "fullFileNamesOnly " << fullFileNamesOnly;

        scan.trace.clear();
        scan.logger.Terminate();
        EXPECT_EQ(scan.trace, std::vector<std::string> { "yield" });
    }
}

TEST(PathLogger, StoresTheRootWithExactlyOneTrailingSeparator)
{
    const std::string r = S + "R" + S;
    for (const std::string &root : { S + "R", S + "R" + S }) {
        Scan scan(Folders { { r, {} } });
        scan.logger.PathLogInit();
        scan.logger.LogPath(root);
        const auto paths = scan.logger.pathNames();
        ASSERT_EQ(paths->Count(), 1) << root;
        EXPECT_EQ(paths->Item("K0"), r) << root;
    }
}

TEST(PathLogger, EmptyTreeRecordsOnlyTheRoot)
{
    const std::string r = S + "R" + S;
    Scan scan(Folders { { r, {} } });
    scan.logger.PathLogInit();
    scan.logger.LogPath(r);
    EXPECT_EQ(items(*scan.logger.pathNames()), std::vector<std::string> { r });
    EXPECT_EQ(scan.logger.fullFileNames()->Count(), 0);
    EXPECT_EQ(scan.logger.Count(), 1);
}

TEST(PathLogger, MissingRootChangesNothingAndKeepsCount)
{
    Scan scan(workedExample());
    EXPECT_EQ(scan.logger.Count(), 0);
    scan.logger.PathLogInit();
    scan.logger.LogPath(S + "nowhere");
    EXPECT_EQ(scan.logger.Count(), 0);
    EXPECT_EQ(scan.logger.pathNames()->Count(), 0);
    EXPECT_TRUE(scan.logger.skippedFolders().empty());

    scan.logger.PathLogInit();
    scan.logger.LogPath(S + "R");
    scan.logger.Terminate();
    scan.logger.PathLogInit();
    scan.logger.LogPath(S + "nowhere");
    EXPECT_EQ(scan.logger.Count(), 6);
    EXPECT_EQ(scan.logger.fullFileNames()->Count(), 0);
}

TEST(PathLogger, ListsOutliveTerminateAndAreReplacedAfterIt)
{
    Scan scan(workedExample());
    EXPECT_EQ(scan.logger.fileNames()->Count(), 0); // before any scan: an empty list
    scan.logger.PathLogInit();
    EXPECT_TRUE(scan.logger.fullFileNamesOnly());
    scan.logger.setFullFileNamesOnly(false);
    scan.logger.LogPath(S + "R");
    const auto full = scan.logger.fullFileNames();
    const auto names = scan.logger.fileNames();
    scan.logger.Terminate();
    EXPECT_EQ(full->Count(), 5);
    EXPECT_EQ(names->Item(5), "c1");
    EXPECT_EQ(scan.logger.fullFileNames()->Count(), 0);
    EXPECT_NE(scan.logger.fullFileNames(), full);
    EXPECT_EQ(scan.logger.Count(), 6);
    EXPECT_FALSE(scan.logger.fullFileNamesOnly());
}

TEST(PathLogger, MisuseIsRefusedWithAnError)
{
    Scan scan(workedExample());
    try {
        scan.logger.LogPath(S + "R");
        FAIL() << "LogPath before PathLogInit must throw";
    } catch (const Error &error) {
        EXPECT_EQ(error.number(), 91);
    }

    scan.logger.PathLogInit();
    scan.logger.LogPath(S + "R");
    try {
        scan.logger.LogPath(S + "R");
        FAIL() << "a second LogPath without PathLogInit must hit the duplicate key K0";
    } catch (const Error &error) {
        EXPECT_EQ(error.number(), ErrorNumber::DuplicateKey);
    }
}

TEST(PathLogger, TerminateFromTheYieldHookLeavesTheWalkItsLists)
{
    Scan scan(workedExample());
    bool terminated = false;
    scan.onYield = [&] {
        if (!terminated && scan.trace.size() > 6) {
            terminated = true;
            scan.logger.Terminate();
        }
    };
    scan.logger.PathLogInit();
    const auto full = scan.logger.fullFileNames();
    scan.logger.LogPath(S + "R");
    EXPECT_TRUE(terminated);
    EXPECT_EQ(full->Count(), 5);
    EXPECT_EQ(scan.logger.fullFileNames()->Count(), 0);
}

TEST(PathLogger, UnreadableFolderIsSkippedAndTheWalkGoesOn)
{
    auto folders = workedExample();
    const std::string a = S + "R" + S + "A" + S;
    folders[a].unreadable = true;
    Scan scan(folders);
    scan.logger.PathLogInit();
    scan.logger.LogPath(S + "R");

    // A keeps the entry its parent's listing gave it, and adds neither C nor a1.
    EXPECT_EQ(items(*scan.logger.pathNames()),
        (std::vector<std::string> { S + "R" + S, a, S + "R" + S + "B" + S }));
    EXPECT_EQ(items(*scan.logger.fullFileNames()),
        (std::vector<std::string> {
            S + "R" + S + "r1", S + "R" + S + "r2", S + "R" + S + "B" + S + "b1" }));
    EXPECT_EQ(scan.logger.Count(), 4);
    ASSERT_EQ(scan.logger.skippedFolders().size(), 1u);
    EXPECT_EQ(scan.logger.skippedFolders()[0].path, a);
    EXPECT_EQ(scan.logger.skippedFolders()[0].reason, "Permission denied");
}

TEST(PathLogger, FolderReachedTwiceIsEnteredOnce)
{
    const std::string r = S + "R" + S;
    // "up" leads back to R, "alias" to A: neither is queued.
    Scan scan(Folders {
        { r, { { "A", "alias" }, { "r1" }, {}, false } },
        { r + "A" + S, { { "up" }, { "a1" }, {}, false } },
        { r + "A" + S + "up" + S, { { "A", "alias" }, { "r1" }, r, false } },
        { r + "alias" + S, { { "up" }, { "a1" }, r + "A" + S, false } },
    });
    scan.logger.PathLogInit();
    scan.logger.LogPath(r);
    EXPECT_EQ(items(*scan.logger.pathNames()), (std::vector<std::string> { r, r + "A" + S }));
    EXPECT_EQ(items(*scan.logger.fullFileNames()),
        (std::vector<std::string> { r + "r1", r + "A" + S + "a1" }));
}

// Real folders on disk, through the std::filesystem service.
class PathLoggerOnDisk : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "quenlith-scan-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_root = pattern;
    }
    void TearDown() override
    {
        std::error_code error;
        for (const auto &entry : fs::recursive_directory_iterator(m_root, error))
            fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, error);
        fs::remove_all(m_root, error);
    }
    void touch(const fs::path &path)
    {
        fs::create_directories(path.parent_path());
        std::ofstream(path) << "x";
    }
    std::string root() const
    {
        return m_root.string();
    }

    fs::path m_root;
};

TEST_F(PathLoggerOnDisk, RecordsEveryRegularFileWhateverItsExtension)
{
    touch(m_root / "a.pdf");
    touch(m_root / "b.PDF");
    touch(m_root / "noext");
    touch(m_root / "sub" / "c.txt");
    fs::create_directories(m_root / "empty");
    ASSERT_EQ(::mkfifo((m_root / "pipe.pdf").c_str(), 0600), 0);

    pathLogger logger;
    logger.PathLogInit();
    logger.LogPath(root());
    auto files = items(*logger.fullFileNames());
    std::sort(files.begin(), files.end());
    const std::string r = root() + S;
    EXPECT_EQ(files,
        (std::vector<std::string> {
            r + "a.pdf", r + "b.PDF", r + "noext", r + "sub" + S + "c.txt" }));
    auto paths = items(*logger.pathNames());
    std::sort(paths.begin(), paths.end());
    EXPECT_EQ(paths, (std::vector<std::string> { r, r + "empty" + S, r + "sub" + S }));
    EXPECT_EQ(logger.Count(), 5);
}

TEST_F(PathLoggerOnDisk, SymbolicLinkCycleEnds)
{
    touch(m_root / "A" / "a1");
    touch(m_root / "B" / "b1");
    fs::create_directory_symlink(m_root, m_root / "A" / "up");
    fs::create_directory_symlink(m_root / "A", m_root / "B" / "toA");
    fs::create_directory_symlink(m_root / "missing", m_root / "dangling");

    pathLogger logger;
    logger.PathLogInit();
    logger.LogPath(root());
    EXPECT_EQ(logger.pathNames()->Count(), 3); // the root, A and B, each once
    auto files = items(*logger.fullFileNames());
    std::sort(files.begin(), files.end());
    const std::string r = root() + S;
    EXPECT_EQ(files, (std::vector<std::string> { r + "A" + S + "a1", r + "B" + S + "b1" }));
}

TEST_F(PathLoggerOnDisk, UnreadableFolderIsSkippedWithItsReason)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "running as root, which reads every folder: the unreadable case is "
                        "covered with the scripted file system instead";
    touch(m_root / "open" / "o1");
    touch(m_root / "closed" / "c1");
    fs::permissions(m_root / "closed", fs::perms::none);

    pathLogger logger;
    logger.PathLogInit();
    logger.LogPath(root());
    const std::string r = root() + S;
    EXPECT_EQ(items(*logger.fullFileNames()), std::vector<std::string> { r + "open" + S + "o1" });
    ASSERT_EQ(logger.skippedFolders().size(), 1u);
    EXPECT_EQ(logger.skippedFolders()[0].path, r + "closed" + S);
    EXPECT_EQ(logger.skippedFolders()[0].reason, "Permission denied");
}

} // namespace
} // namespace quenlith
