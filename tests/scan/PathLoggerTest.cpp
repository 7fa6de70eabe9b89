#include "scan/pathLogger.h"

#include "scan/FileSystemService.h"
#include "tests/support/FileContents.h"
#include "tests/support/ScratchFolder.h"
#include "util/Error.h"
#include "util/registry.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace quenlith {
namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

std::string P(const std::string &text)
{
    return fixtures::nativeSeparators(text);
}

// Subfolder and file names by folder path (ending in the separator).
using Folders = std::map<std::string, std::pair<Strings, Strings>>;

// A scripted file system that writes its listings into the trace the yields go to. A folder
// that a listing names but the map lacks cannot be read.
struct FakeFileSystem : FileSystemService {
    bool folderExists(const std::string &path) override
    {
        return folders.count(withTrailingSeparator(path)) != 0;
    }
    Strings subFolderNames(const std::string &folder) override
    {
        return listing(folder, "subfolders").first;
    }
    Strings fileNames(const std::string &folder) override
    {
        return listing(folder, "files").second;
    }
    std::string folderIdentity(const std::string &folder) override
    {
        return withTrailingSeparator(folder);
    }
    const std::pair<Strings, Strings> &listing(const std::string &folder, const std::string &what)
    {
        *trace += what + " " + folder + " ";
        if (folders.count(folder) == 0)
            throw Error(ErrorNumber::PermissionDenied, "Permission denied");
        return folders.at(folder);
    }

    Folders folders;
    std::string *trace;
};

// R holds r1, r2 and the subfolders A and B; A holds a1 and C; C holds c1; B holds b1.
const Folders workedExample { { P("/R/"), { { "A", "B" }, { "r1", "r2" } } },
    { P("/R/A/"), { { "C" }, { "a1" } } },
    { P("/R/B/"), { {}, { "b1" } } },
    { P("/R/A/C/"), { {}, { "c1" } } } };

// A logger on the fake, initialised and (unless `root` is empty) run on `root`.
struct Scan {
    std::string trace; // "y " per yield, and the listings
    std::function<void()> onYield = [] {};
    pathLogger logger { [this] {
        trace += "y ";
        onYield();
    } };

    explicit Scan(const Folders &folders, bool fullFileNamesOnly = true, std::string root = "/R")
    {
        logger.setFileSystemFactory([this, folders] {
            auto fake = std::make_unique<FakeFileSystem>();
            fake->folders = folders;
            fake->trace = &trace;
            return fake;
        });
        logger.PathLogInit();
        if (!fullFileNamesOnly) // PathLogInit made it true
            logger.setFullFileNamesOnly(false);
        if (!root.empty())
            logger.LogPath(P(root));
    }

    // The four lists as "key=item" in list order, Count and the skipped folders, in one text.
    std::string state()
    {
        std::ostringstream out;
        const auto dump = [&out](const char *name, const auto &list) {
            out << name;
            for (int i = 1; i <= list->Count(); ++i)
                out << " " << list->keyAt(i) << "=" << list->Item(i);
        };
        dump("paths", logger.pathNames());
        dump("; files", logger.fullFileNames());
        dump("; names", logger.fileNames());
        dump("; pointers", logger.pathPointers());
        out << "; count " << logger.Count() << "; skipped";
        for (const auto &folder : logger.skippedFolders())
            out << " " << folder.path << ": " << folder.reason;
        return out.str();
    }

    // The number of the Error that LogPath on the root throws; 0 when it throws none.
    int logPathError()
    {
        try {
            logger.LogPath(P("/R"));
        } catch (const Error &error) {
            return error.number();
        }
        return 0;
    }
};

// The walk yields at the start; per folder after its listing, per subfolder, before the files,
// (before the file loop in fullFileNamesOnly mode,) per file, and when the folder is done. A
// second LogPath without PathLogInit yields, then meets the key K0 again; Terminate yields once.
TEST(PathLogger, WorkedExampleInBothModes)
{
    for (const bool fullOnly : { true, false }) {
        Scan scan(workedExample, fullOnly);
        EXPECT_EQ(scan.state(),
            P("paths K0=/R/ K2=/R/A/ K3=/R/B/ K4=/R/A/C/; files K1=/R/r1 K2=/R/r2 K3=/R/A/a1 "
              "K4=/R/B/b1 K5=/R/A/C/c1")
                + (fullOnly ? "; names; pointers"
                            : "; names K1=r1 K2=r2 K3=a1 K4=b1 K5=c1; pointers K1=1 K2=1 K3=2 "
                              "K4=3 K5=4")
                + "; count 6; skipped");
        EXPECT_EQ(scan.logPathError(), ErrorNumber::DuplicateKey);
        scan.logger.Terminate();
        EXPECT_EQ(scan.logPathError(), 91);
        const std::string loop = fullOnly ? "y " : "";
        EXPECT_EQ(scan.trace,
            P("y subfolders /R/ y y y y files /R/ " + loop
                + "y y y subfolders /R/A/ y y y files /R/A/ " + loop
                + "y y subfolders /R/B/ y y files /R/B/ " + loop
                + "y y subfolders /R/A/C/ y y files /R/A/C/ " + loop + "y y y y "));
    }
}

TEST(PathLogger, EmptyTreeMissingRootAndUnreadableFolder)
{
    const Folders empty { { P("/R/"), {} } };
    auto unreadableA = workedExample;
    unreadableA.erase(P("/R/A/"));
    for (const std::string root : { "/R", "/R/", "/nowhere" })
        EXPECT_EQ(Scan(empty, true, root).state(),
            root == "/nowhere" ? "paths; files; names; pointers; count 0; skipped"
                               : P("paths K0=/R/; files; names; pointers; count 1; skipped"));
    // A keeps the entry its parent's listing gave it, and adds neither C nor a1.
    EXPECT_EQ(Scan(unreadableA).state(),
        P("paths K0=/R/ K2=/R/A/ K3=/R/B/; files K1=/R/r1 K2=/R/r2 K3=/R/B/b1")
            + P("; names; pointers; count 4; skipped /R/A/: Permission denied"));
}

TEST(PathLogger, ListsOutliveTerminateEvenFromTheYieldHook)
{
    // A handler run from a yield point ends the scan in its middle: the walk keeps its lists.
    Scan interrupted(workedExample, true, "");
    int yields = 0;
    interrupted.onYield = [&] {
        if (++yields == 8) // within the root's files
            interrupted.logger.Terminate();
    };
    const auto held = interrupted.logger.fullFileNames();
    interrupted.logger.LogPath(P("/R"));
    EXPECT_EQ(held->Count(), 5);
    EXPECT_EQ(interrupted.logger.fullFileNames()->Count(), 0) << "not terminated";
    interrupted.logger.PathLogInit();
    interrupted.logger.LogPath(P("/nowhere")); // a missing root keeps Count
    EXPECT_EQ(interrupted.logger.Count(), 6);
}

// Real folders through the std::filesystem service, whose listing order is the platform's.
TEST(PathLoggerOnDisk, LinkCyclesEndAndOnlyRegularFilesAreRecorded)
{
    const fixtures::ScratchFolder scratch("quenlith-scan");
    const fs::path root = scratch.path();
    for (const char *folder : { "A", "B", "closed" })
        fs::create_directory(root / folder);
    std::ofstream(root / "A" / "a.pdf") << "x";
    std::ofstream(root / "B" / "noext") << "x";
    fs::create_directory_symlink(root, root / "A" / "up");
    fs::create_directory_symlink(root / "A", root / "B" / "toA");
    fs::create_directory_symlink(root / "missing", root / "dangling");
    ASSERT_EQ(::mkfifo((root / "pipe.pdf").c_str(), 0600), 0);
    fs::permissions(root / "closed", fs::perms::none);

    pathLogger logger;
    logger.PathLogInit();
    logger.LogPath(root.string());
    fs::permissions(root / "closed", fs::perms::owner_all);
    EXPECT_EQ(logger.pathNames()->Count(), 4); // the root, A, B and closed, each once
    const auto files = logger.fullFileNames();
    EXPECT_EQ(std::set<std::string>(files->begin(), files->end()),
        (std::set<std::string> { scratch.file(P("A/a.pdf")), scratch.file(P("B/noext")) }));
    EXPECT_EQ(logger.skippedFolders().size(), ::geteuid() == 0 ? 0u : 1u) << "unless run as root";
}

} // namespace
} // namespace quenlith
