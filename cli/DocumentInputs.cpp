#include "cli/DocumentInputs.h"

#include "util/FsPath.h"
#include "util/PdfFileName.h"
#include "util/registry.h"

#include <algorithm>
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

bool isSeparator(char c)
{
#ifdef _WIN32
    return c == '/' || c == '\\';
#else
    return c == '/';
#endif
}

// The walk's order made independent of the file system's: a folder's files before those of its
// subfolders, level by level, and within a level by their paths compared bytewise, component by
// component.
bool walkOrder(const std::string &a, const std::string &b)
{
    const auto depth = [](const std::string &path) {
        return std::count_if(path.begin(), path.end(), isSeparator);
    };
    const auto da = depth(a);
    const auto db = depth(b);
    if (da != db)
        return da < db;
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        const int rx = isSeparator(x) ? -1 : static_cast<unsigned char>(x);
        const int ry = isSeparator(y) ? -1 : static_cast<unsigned char>(y);
        return rx < ry;
    });
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
    std::sort(found.begin(), found.end(), walkOrder);
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

// Reads the next entry up to `separator` into `entry`, without a carriage return before a line
// end. False at the end of the input; `tooLong` when the entry passes maxInputLine bytes, which
// ends the reading there (an endless line, such as /dev/zero gives, must not fill the memory).
bool nextEntry(std::istream &in, char separator, std::string &entry, bool &tooLong)
{
    char buffer[maxInputLine + 2]; // one byte more than allowed, and getline's NUL
    tooLong = false;
    in.getline(buffer, sizeof buffer, separator);
    const bool ended = !in.fail() && !in.eof(); // by the separator, which gcount() counts
    const auto stored = static_cast<std::size_t>(in.gcount()) - (ended ? 1 : 0);
    if (!ended && stored == 0)
        return false;
    entry.assign(buffer, stored);
    if (separator == '\n' && !entry.empty() && entry.back() == '\r')
        entry.pop_back(); // a list written on Windows
    tooLong = entry.size() > maxInputLine;
    in.clear(in.rdstate() & ~std::ios::failbit);
    return !tooLong;
}

std::string tooLongError(const std::string &file, std::size_t line)
{
    return "line " + std::to_string(line) + " of " + file + " is longer than "
        + std::to_string(maxInputLine) + " bytes";
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
    std::string path;
    bool tooLong = false;
    std::size_t line = 1;
    for (; nextEntry(*in, separator, path, tooLong); ++line) {
        if (!path.empty())
            paths.push_back(path);
    }
    if (tooLong) {
        error = tooLongError(commandLine.filesFrom, line);
        return false;
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
    bool tooLong = false;
    nextEntry(*in, '\n', password, tooLong);
    if (tooLong) {
        error = tooLongError(file, 1);
        return false;
    }
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
