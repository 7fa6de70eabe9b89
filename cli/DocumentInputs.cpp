#include "cli/DocumentInputs.h"

#include "util/FsPath.h"
#include "util/PdfFileName.h"

#include <exception>
#include <filesystem>
#include <set>
#include <system_error>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace quenlith::cli {

namespace {

// Identifies a file whatever path text names it, so that "./a.pdf" and "a.pdf" count once.
std::string identityOf(const std::string &path)
{
#ifndef _WIN32
    // One stat instead of resolving every component of the path.
    struct stat info { };
    if (::stat(path.c_str(), &info) == 0)
        return std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino);
    return path;
#else
    std::error_code error;
    const std::filesystem::path canonical
        = std::filesystem::weakly_canonical(pathFromUtf8(path), error);
    return error ? path : utf8FromPath(canonical);
#endif
}

void walkFolder(const std::string &folder, std::vector<std::string> &found, DocumentInputs &inputs)
{
    pathLogger logger;
    try {
        logger.PathLogInit();
        logger.setFullFileNamesOnly(true);
        logger.LogPath(folder);
    } catch (const std::exception &error) {
        // The walk ends early; what it found so far is kept.
        inputs.skippedFolders.push_back({ folder, error.what() });
    }
    for (const std::string &fullFileName : *logger.fullFileNames()) {
        if (isPdfFileName(fullFileName))
            found.push_back(fullFileName);
    }
    for (const SkippedFolder &skipped : logger.skippedFolders())
        inputs.skippedFolders.push_back(skipped);
    logger.Terminate();
}

} // namespace

DocumentInputs collectDocuments(const std::vector<std::string> &paths)
{
    DocumentInputs inputs;
    std::set<std::string> seen;
    for (const std::string &path : paths) {
        std::vector<std::string> found;
        std::error_code error;
        if (std::filesystem::is_directory(pathFromUtf8(path), error))
            walkFolder(path, found, inputs);
        else
            found.push_back(path); // opening it tells whether it is a readable document
        for (std::string &document : found) {
            if (seen.insert(identityOf(document)).second)
                inputs.documents.push_back(std::move(document));
        }
    }
    return inputs;
}

} // namespace quenlith::cli
