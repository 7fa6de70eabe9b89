#include "cli/DocumentInputs.h"

#include "cli/PathSort.h"
#include "util/CompactStringSet.h"
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

void walkFolder(const std::string &folder,
    std::vector<std::string> &found,
    std::vector<SkippedFolder> &skippedFolders)
{
    pathLogger logger;
    try {
        logger.PathLogInit();
        logger.setFullFileNamesOnly(true);
        logger.LogPath(folder);
    } catch (const std::exception &error) {
        // The walk ends early; what it found so far is kept.
        skippedFolders.push_back({ folder, error.what() });
    }
    for (const std::string &fullFileName : *logger.fullFileNames()) {
        if (isPdfFileName(fullFileName))
            found.push_back(fullFileName);
    }
    std::sort(found.begin(), found.end(), walkOrder);
    for (const SkippedFolder &skipped : logger.skippedFolders())
        skippedFolders.push_back(skipped);
    logger.Terminate();
}

} // namespace

void DocumentInputs::collect(const RecordSpool &paths, const std::string &outputFolder)
{
    CompactStringSet seen; // identities
    std::vector<std::string> folders;
    paths.forEach([&](std::uint64_t, const std::string &path) {
        std::vector<std::string> found;
        std::error_code error;
        if (std::filesystem::is_directory(pathFromUtf8(path), error)) {
            folders.push_back(path);
            walkFolder(path, found, m_skippedFolders);
        } else {
            found.push_back(path); // opening it tells whether it is a readable document
        }
        for (const std::string &document : found) {
            if (seen.insert(identityOf(document)).second)
                m_documents.push_back(m_spool.add(document));
        }
        return true;
    });
    if (!outputFolder.empty())
        dropOutputFolder(folders, outputFolder);
}

void DocumentInputs::name(DocumentNamer &namer)
{
    PathSort sorted;
    for (std::size_t i = 0; i < m_documents.size(); ++i)
        sorted.add(m_spool.at(m_documents[i]), i);
    m_names.assign(m_documents.size(), 0);
    sorted.forEachSorted([&](const std::string &path, std::uint64_t index) {
        m_names[index] = m_nameSpool.add(namer.next(path));
    });
}

void DocumentInputs::keepShard(unsigned shard, unsigned shardCount)
{
    if (shardCount <= 1)
        return;
    std::size_t kept = 0;
    for (std::size_t i = 0; i < m_documents.size(); ++i) {
        if (!inShard(m_spool.at(m_documents[i]), shard, shardCount))
            continue;
        m_documents[kept] = m_documents[i];
        if (!m_names.empty())
            m_names[kept] = m_names[i];
        ++kept;
    }
    m_documents.resize(kept);
    m_documents.shrink_to_fit();
    if (!m_names.empty()) {
        m_names.resize(kept);
        m_names.shrink_to_fit();
    }
}

std::size_t DocumentInputs::size() const
{
    return m_documents.size();
}

std::string DocumentInputs::document(std::size_t index) const
{
    return m_spool.at(m_documents[index]);
}

std::string DocumentInputs::nameOf(std::size_t index) const
{
    return m_names.empty() ? std::string() : m_nameSpool.at(m_names[index]);
}

const std::vector<SkippedFolder> &DocumentInputs::skippedFolders() const
{
    return m_skippedFolders;
}

const std::vector<std::string> &DocumentInputs::droppedFolders() const
{
    return m_droppedFolders;
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

bool readInputPaths(const CommandLine &commandLine, RecordSpool &paths, std::string &error)
{
    error.clear();
    for (const std::string &path : commandLine.paths)
        paths.add(path);
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
            paths.add(path);
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

void DocumentInputs::dropOutputFolder(
    const std::vector<std::string> &folders, const std::string &outputFolder)
{
    std::vector<std::string> &prefixes = m_droppedFolders;
    std::error_code error;
    const auto output = std::filesystem::weakly_canonical(pathFromUtf8(outputFolder), error);
    if (error)
        return;
    for (const std::string &path : folders) {
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
        std::erase_if(m_documents, [&](std::uint64_t position) {
            const std::string document = m_spool.at(position);
            for (const std::string &prefix : prefixes) {
                if (document.compare(0, prefix.size(), prefix) == 0)
                    return true;
            }
            return false;
        });
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
