#include "cli/ReportTargets.h"

#include "extract/output/ReportFile.h"
#include "util/FsPath.h"
#include "util/PdfFileName.h"

#include <filesystem>
#include <optional>
#include <system_error>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace quenlith::cli {

namespace {

namespace fs = std::filesystem;

fs::path normalised(const std::string &path)
{
    std::error_code ignored;
    return fs::weakly_canonical(fs::absolute(pathFromUtf8(path), ignored), ignored);
}

// The file at `path` as device and inode; none when nothing is there.
std::optional<std::pair<std::uint64_t, std::uint64_t>> fileIdentity(const std::string &path)
{
#ifndef _WIN32
    struct stat info { };
    if (::stat(path.c_str(), &info) == 0)
        return std::pair<std::uint64_t, std::uint64_t>(info.st_dev, info.st_ino);
#else
    (void)path;
#endif
    return std::nullopt;
}

// Whether `inner` is `outer` or lies below it.
bool within(const fs::path &inner, const fs::path &outer)
{
    const fs::path relative = inner.lexically_relative(outer);
    return !relative.empty() && *relative.begin() != "..";
}

// Whether the report at `report` would be the file at `other`.
class SameFile {
public:
    explicit SameFile(const std::string &report)
        : m_identity(fileIdentity(report))
        , m_path(normalised(report))
    {
    }

    bool operator()(const std::string &other) const
    {
        if (other.empty() || other == "-")
            return false;
        if (m_identity)
            return fileIdentity(other) == m_identity;
        return normalised(other) == m_path;
    }

    const fs::path &path() const
    {
        return m_path;
    }

private:
    std::optional<std::pair<std::uint64_t, std::uint64_t>> m_identity;
    fs::path m_path;
};

// The clash of the report `option` at `report` with an input; empty when there is none.
std::string inputClash(const CommandLine &line, const RecordSpool &paths, const std::string &report)
{
    const SameFile same(report);
    if (same(line.filesFrom))
        return "it is the --files-from list";
    if (same(line.passwordFile))
        return "it is the --password-file file";
    std::error_code error;
    const bool pdfName = isPdfFileName(utf8FromPath(pathFromUtf8(report).filename()));
    std::string clash;
    paths.forEach([&](std::uint64_t, const std::string &path) {
        if (same(path))
            clash = "it is the input " + path;
        // A document that the walk of an input folder finds.
        else if (pdfName && fs::is_directory(pathFromUtf8(path), error)
            && within(same.path(), normalised(path)))
            clash = "it is a document in the input folder " + path;
        return clash.empty();
    });
    return clash;
}

std::string clashOf(const CommandLine &line,
    const RecordSpool &paths,
    const std::string &report,
    const std::string &other,
    const std::string &outputFolder)
{
    if (!other.empty() && (other == report || (report != "-" && SameFile(report)(other))))
        return "--report and --report-csv name the same file";
    if (report == "-" && line.json)
        return "--json writes standard output too";
    if (const std::string refused = ReportFile::refusal(report); !refused.empty())
        return refused;
    if (ReportFile::classify(report) == ReportFile::Target::Stream)
        return {}; // written into, never replaced
    if (within(normalised(report), normalised(outputFolder)))
        return "it is inside the output folder " + outputFolder;
    return inputClash(line, paths, report);
}

} // namespace

std::string reportClash(
    const CommandLine &commandLine, const RecordSpool &paths, const std::string &outputFolder)
{
    const struct {
        const char *option;
        const std::string &path;
        const std::string &other;
    } reports[] = { { "--report", commandLine.reportPath, commandLine.reportCsvPath },
        { "--report-csv", commandLine.reportCsvPath, commandLine.reportPath } };
    for (const auto &report : reports) {
        if (report.path.empty())
            continue;
        const std::string clash
            = clashOf(commandLine, paths, report.path, report.other, outputFolder);
        if (!clash.empty())
            return std::string("not writing the report ") + report.option + " " + report.path + ": "
                + clash;
    }
    return {};
}

} // namespace quenlith::cli
