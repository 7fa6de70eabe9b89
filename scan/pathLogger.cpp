#include "scan/pathLogger.h"

#include "scan/FileSystemService.h"
#include "scan/StdFileSystemService.h"
#include "util/Error.h"
#include "util/registry.h"

#include <climits>
#include <unordered_set>

namespace quenlith {

namespace {

std::string key(int number)
{
    return "K" + std::to_string(number);
}

// The list, created first when the reference is empty; lists are made on demand.
template <typename List> std::shared_ptr<List> created(std::shared_ptr<List> &list)
{
    if (!list)
        list = std::make_shared<List>();
    return list;
}

} // namespace

pathLogger::pathLogger(YieldHook yieldHook)
    : m_yieldHook(std::move(yieldHook))
    , m_fileSystemFactory([] { return std::make_unique<StdFileSystemService>(); })
{
}

pathLogger::~pathLogger() = default;

void pathLogger::setFileSystemFactory(std::function<std::unique_ptr<FileSystemService>()> factory)
{
    m_fileSystemFactory = std::move(factory);
}

void pathLogger::PathLogInit()
{
    fileSystem = m_fileSystemFactory();
    m_fullFileNamesOnly = true;
    m_fileNames.reset();
    m_pathPointers.reset();
    m_pathNames.reset();
    m_fullFileNames.reset();
    m_skippedFolders.clear();
}

std::string pathLogger::AddTrailingBackslash(const std::string &path)
{
    if (!path.empty() && isPathSeparator(path.back()))
        return path;
    return path + preferredSeparator();
}

void pathLogger::yield()
{
    if (m_yieldHook)
        m_yieldHook();
}

int pathLogger::incremented(int value)
{
    if (value == INT_MAX)
        throw Error(ErrorNumber::Overflow, "Overflow");
    return value + 1;
}

void pathLogger::skip(const std::string &folder, const std::string &reason)
{
    m_skippedFolders.push_back({ folder, reason });
}

// The state of one LogPath: the service and lists it holds, and the folders it has met.
struct pathLogger::Walk {
    std::shared_ptr<FileSystemService> service;
    // Held here so that a Terminate from the yield hook cannot free them under the walk.
    std::shared_ptr<StringList> paths;
    std::shared_ptr<StringList> fullNames;
    std::shared_ptr<StringList> names;
    std::shared_ptr<IntList> pointers;
    std::unordered_set<std::string> visited;
    // Identity of each queued folder by position - 1; empty while it could not be told.
    std::vector<std::string> identities;
    int knownFolders = 1;

    std::string identityOf(const std::string &folder) const
    {
        try {
            return service->folderIdentity(folder);
        } catch (const Error &) {
            return std::string();
        }
    }
};

// Breadth-first: pathNames is the queue of folders, and the cursor walks it. A subfolder is
// queued only when its real identity is new (or cannot be told yet, in which case it is checked
// again when the walk reaches it), so a link back to a parent or a second link to one folder
// never makes the walk enter a folder twice.
void pathLogger::LogPath(const std::string &strPARENT)
{
    Walk walk;
    walk.service = fileSystem;
    if (!walk.service)
        throw Error(91, "The path logger needs PathLogInit before LogPath");
    m_skippedFolders.clear();
    if (!walk.service->folderExists(strPARENT))
        return;

    int cursor = 1;
    fileCounter = 1;
    yield();
    walk.paths = created(m_pathNames);
    walk.fullNames = created(m_fullFileNames);
    walk.names = created(m_fileNames);
    walk.pointers = created(m_pathPointers);
    walk.paths->add(AddTrailingBackslash(strPARENT), key(0));
    walk.identities.push_back(walk.identityOf(walk.paths->Item(1)));
    if (!walk.identities.back().empty())
        walk.visited.insert(walk.identities.back());

    do {
        const std::string current = walk.paths->Item(cursor);
        bool readable = isNewFolder(walk, cursor);
        const std::vector<std::string> subFolders
            = listed(current, readable, [&] { return walk.service->subFolderNames(current); });
        yield();
        queueSubFolders(walk, current, subFolders);
        yield();
        recordFiles(walk, cursor, listed(current, readable, [&] {
            return walk.service->fileNames(current);
        }));
        yield();
        cursor = incremented(cursor);
    } while (cursor <= walk.knownFolders);
}

bool pathLogger::isNewFolder(Walk &walk, int cursor)
{
    std::string &identity = walk.identities[static_cast<std::size_t>(cursor - 1)];
    if (!identity.empty())
        return true;
    // Not known when queued: tell it now, and do not enter a folder met before.
    const std::string folder = walk.paths->Item(cursor);
    try {
        identity = walk.service->folderIdentity(folder);
        return walk.visited.insert(identity).second;
    } catch (const Error &error) {
        skip(folder, error.description());
        return false;
    }
}

std::vector<std::string> pathLogger::listed(const std::string &folder,
    bool &readable,
    const std::function<std::vector<std::string>()> &list)
{
    if (!readable)
        return {};
    try {
        return list();
    } catch (const Error &error) {
        skip(folder, error.description());
        readable = false;
        return {};
    }
}

void pathLogger::queueSubFolders(
    Walk &walk, const std::string &folder, const std::vector<std::string> &subFolders)
{
    for (const std::string &subFolder : subFolders) {
        yield();
        const std::string path = folder + subFolder + preferredSeparator();
        std::string subIdentity = walk.identityOf(path);
        if (!subIdentity.empty() && !walk.visited.insert(subIdentity).second)
            continue;
        walk.knownFolders = incremented(walk.knownFolders);
        walk.paths->add(path, key(walk.knownFolders));
        walk.identities.push_back(std::move(subIdentity));
    }
}

void pathLogger::recordFiles(Walk &walk, int cursor, const std::vector<std::string> &files)
{
    const std::string folder = walk.paths->Item(cursor);
    if (m_fullFileNamesOnly) {
        yield();
        for (const std::string &file : files) {
            walk.fullNames->add(folder + file, key(fileCounter));
            fileCounter = incremented(fileCounter);
            yield();
        }
        return;
    }
    for (const std::string &file : files) {
        walk.names->add(file, key(fileCounter));
        walk.fullNames->add(folder + file, key(fileCounter));
        walk.pointers->add(cursor, key(fileCounter));
        fileCounter = incremented(fileCounter);
        yield();
    }
}

int pathLogger::Count() const
{
    return fileCounter;
}

void pathLogger::Terminate()
{
    yield();
    fileSystem.reset();
    m_fileNames.reset();
    m_pathNames.reset();
    m_pathPointers.reset();
    m_fullFileNames.reset();
}

bool pathLogger::fullFileNamesOnly() const
{
    return m_fullFileNamesOnly;
}

void pathLogger::setFullFileNamesOnly(bool fullPath)
{
    m_fullFileNamesOnly = fullPath;
}

std::shared_ptr<pathLogger::StringList> pathLogger::fileNames()
{
    return created(m_fileNames);
}

std::shared_ptr<pathLogger::StringList> pathLogger::pathNames()
{
    return created(m_pathNames);
}

std::shared_ptr<pathLogger::IntList> pathLogger::pathPointers()
{
    return created(m_pathPointers);
}

std::shared_ptr<pathLogger::StringList> pathLogger::fullFileNames()
{
    return created(m_fullFileNames);
}

const std::vector<SkippedFolder> &pathLogger::skippedFolders() const
{
    return m_skippedFolders;
}

} // namespace quenlith
