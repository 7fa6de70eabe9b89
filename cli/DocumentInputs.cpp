#include "cli/DocumentInputs.h"

#include "util/FsPath.h"
#include "util/PdfFileName.h"
#include "util/registry.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
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

namespace {

// The file named `name`, or standard input for "-"; null, with the reason in `error`, when the
// file cannot be opened.
std::istream *openInput(const std::string &name, std::ifstream &file, std::string &error)
{
    if (name == "-")
        return &std::cin;
    file.open(pathFromUtf8(name), std::ios::binary);
    if (!file) {
        error = "cannot read " + name + ": " + std::strerror(errno);
        return nullptr;
    }
    return &file;
}

} // namespace

bool readInputPaths(
    const CommandLine &commandLine, std::vector<std::string> &paths, std::string &error)
{
    error.clear();
    paths = commandLine.paths;
    if (commandLine.filesFrom.empty())
        return true;
    std::ifstream file;
    std::istream *in = openInput(commandLine.filesFrom, file, error);
    if (in == nullptr)
        return false;
    const char separator = commandLine.nulSeparated ? '\0' : '\n';
    for (std::string path; std::getline(*in, path, separator);) {
        if (!commandLine.nulSeparated && !path.empty() && path.back() == '\r')
            path.pop_back(); // a list written on Windows
        if (!path.empty())
            paths.push_back(std::move(path));
    }
    if (in->bad()) {
        error = "cannot read " + commandLine.filesFrom;
        return false;
    }
    return true;
}

std::vector<std::string> dropOutputFolder(const std::vector<std::string> &paths,
    const std::string &outputFolder,
    std::vector<std::string> &documents)
{
    std::vector<std::string> prefixes;
    std::error_code error;
    const auto output = std::filesystem::weakly_canonical(pathFromUtf8(outputFolder), error);
    if (error)
        return prefixes;
    for (const std::string &path : paths) {
        if (!std::filesystem::is_directory(pathFromUtf8(path), error))
            continue;
        const auto input = std::filesystem::weakly_canonical(pathFromUtf8(path), error);
        if (error)
            continue;
        const auto inside = output.lexically_relative(input);
        // Only a folder below the input: into the input folder itself, the documents are the
        // user's own.
        if (inside.empty() || inside == "." || *inside.begin() == "..")
            continue;
        // The walk spells its finds as the PATH followed by the rest.
        const std::string prefix
            = withTrailingSeparator(withTrailingSeparator(path) + utf8FromPath(inside));
        prefixes.push_back(prefix);
    }
    if (!prefixes.empty())
        std::erase_if(documents, [&](const std::string &document) {
            for (const std::string &prefix : prefixes) {
                if (document.compare(0, prefix.size(), prefix) == 0)
                    return true;
            }
            return false;
        });
    return prefixes;
}

bool readPasswordFile(const std::string &file, std::string &password, std::string &error)
{
    error.clear();
    password.clear();
    std::ifstream opened;
    std::istream *in = openInput(file, opened, error);
    if (in == nullptr)
        return false;
    std::getline(*in, password);
    if (!password.empty() && password.back() == '\r')
        password.pop_back();
    if (in->bad()) {
        error = "cannot read " + file;
        return false;
    }
    return true;
}

bool inShard(const std::string &path, unsigned shard, unsigned shardCount)
{
    if (shardCount <= 1)
        return true;
    std::error_code ignored;
    const std::string normal
        = utf8FromPath(std::filesystem::absolute(pathFromUtf8(path), ignored).lexically_normal());
    std::uint64_t hash = 14695981039346656037ull; // FNV-1a: the same on every machine
    for (const unsigned char c : normal) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    return hash % shardCount == shard - 1;
}

} // namespace quenlith::cli
