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

// Breadth-first: pathNames is the queue of folders, and the cursor walks it. A subfolder is
// queued only when its real identity is new (or cannot be told yet, in which case it is checked
// again when the walk reaches it), so a link back to a parent or a second link to one folder
// never makes the walk enter a folder twice.
void pathLogger::LogPath(const std::string &strPARENT)
{
    const std::shared_ptr<FileSystemService> service = fileSystem;
    if (!service)
        throw Error(91, "The path logger needs PathLogInit before LogPath");
    m_skippedFolders.clear();
    if (!service->folderExists(strPARENT))
        return;

    int cursor = 1;
    int knownFolders = 1;
    fileCounter = 1;
    yield();

    // Held here so that a Terminate from the yield hook cannot free them under the walk.
    const std::shared_ptr<StringList> pathsHeld = created(m_pathNames);
    const std::shared_ptr<StringList> fullNamesHeld = created(m_fullFileNames);
    const std::shared_ptr<StringList> namesHeld = created(m_fileNames);
    const std::shared_ptr<IntList> pointersHeld = created(m_pathPointers);
    StringList &paths = *pathsHeld;
    StringList &fullNames = *fullNamesHeld;
    StringList &names = *namesHeld;
    IntList &pointers = *pointersHeld;

    std::unordered_set<std::string> visited;
    // Identity of each queued folder by position - 1; empty while it could not be told.
    std::vector<std::string> identities;
    const auto identityOf = [&service](const std::string &folder) {
        try {
            return service->folderIdentity(folder);
        } catch (const Error &) {
            return std::string();
        }
    };

    paths.add(AddTrailingBackslash(strPARENT), key(0));
    identities.push_back(identityOf(paths.Item(1)));
    if (!identities.back().empty())
        visited.insert(identities.back());

    do {
        const std::string current = paths.Item(cursor);
        bool readable = true;
        if (identities[static_cast<std::size_t>(cursor - 1)].empty()) {
            // Not known when queued: tell it now, and do not enter a folder met before.
            try {
                std::string identity = service->folderIdentity(current);
                readable = visited.insert(identity).second;
                identities[static_cast<std::size_t>(cursor - 1)] = std::move(identity);
            } catch (const Error &error) {
                skip(current, error.description());
                readable = false;
            }
        }

        std::vector<std::string> subFolders;
        if (readable) {
            try {
                subFolders = service->subFolderNames(current);
            } catch (const Error &error) {
                skip(current, error.description());
                readable = false;
            }
        }
        yield();
        for (const std::string &subFolder : subFolders) {
            yield();
            const std::string path = current + subFolder + preferredSeparator();
            std::string subIdentity = identityOf(path);
            if (!subIdentity.empty() && !visited.insert(subIdentity).second)
                continue;
            knownFolders = incremented(knownFolders);
            paths.add(path, key(knownFolders));
            identities.push_back(std::move(subIdentity));
        }

        yield();
        std::vector<std::string> files;
        if (readable) {
            try {
                files = service->fileNames(current);
            } catch (const Error &error) {
                skip(current, error.description());
            }
        }
        if (m_fullFileNamesOnly) {
            yield();
            for (const std::string &file : files) {
                fullNames.add(current + file, key(fileCounter));
                fileCounter = incremented(fileCounter);
                yield();
            }
        } else {
            for (const std::string &file : files) {
                names.add(file, key(fileCounter));
                fullNames.add(current + file, key(fileCounter));
                pointers.add(cursor, key(fileCounter));
                fileCounter = incremented(fileCounter);
                yield();
            }
        }

        yield();
        cursor = incremented(cursor);
    } while (cursor <= knownFolders);
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
