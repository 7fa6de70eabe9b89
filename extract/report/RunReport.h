#pragma once

#include "extract/DocumentExtraction.h"
#include "scan/pathLogger.h"

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace quenlith {

// Everything one extraction run did, as its reports give it.
struct RunRecord {
    std::string program; // "quenlith" or "quenlith-cli"
    std::string outputFolder; // ends in a separator
    std::vector<DocumentResult> documents; // in input order
    std::vector<SkippedFolder> skippedFolders;
    std::string error; // why the run could not start at all; empty when it did
};

struct RunTotals {
    std::int64_t documents = 0;
    std::int64_t documentsFailed = 0;
    std::int64_t attachments = 0;
    std::int64_t written = 0; // written, renamed or overwritten in this run
    std::int64_t renamed = 0;
    std::int64_t overwritten = 0;
    std::int64_t unchanged = 0;
    std::int64_t skipped = 0;
    std::int64_t failed = 0; // every other outcome, checksum mismatches included
    std::uint64_t bytesWritten = 0; // bytes this run put on disk (unchanged files not counted)

    void add(const DocumentResult &document);
};

RunTotals totalsOf(const std::vector<DocumentResult> &documents);

// The JSON status word of a document: its open status word, or "folder-failed" and
// "not-processed".
std::string documentStatusWord(const DocumentResult &document);

enum class ReportFormat { Json, Csv };

// Writes a run's report as its documents come, so that a run of any size never holds the whole
// report: the JSON of docs/cli-json.md, or CSV with one row per attachment (and one for each
// document that gave none, failed or was repaired, its attachment columns empty, its reason
// "repaired: " and its warnings for a repaired one): document path, document folder, attachment
// name, key, size, sha256, status, reason. `header` gives program, outputFolder and error.
class RunReportStream {
public:
    RunReportStream(std::ostream &out, ReportFormat format, const RunRecord &header);
    ~RunReportStream();
    RunReportStream(const RunReportStream &) = delete;
    RunReportStream &operator=(const RunReportStream &) = delete;

    void add(const DocumentResult &document);
    // Ends the report; call once, after the last add().
    void finish(const std::vector<SkippedFolder> &skippedFolders, const RunTotals &totals);

private:
    struct Json;
    std::ostream &m_out;
    ReportFormat m_format;
    std::unique_ptr<Json> m_json;
};

// A whole run at once, as RunReportStream writes it.
void writeRunJson(std::ostream &out, const RunRecord &run);
void writeRunCsv(std::ostream &out, const RunRecord &run);

// One CSV field: invalid UTF-8 becomes U+FFFD, control characters but tab become "\xHH"; a
// leading "=", "+", "-", "@", tab, carriage return or NUL gets a "'" first, so that a spreadsheet
// shows a hostile name instead of running it as a formula; quoted when it holds a comma,
// semicolon, quote or edge blank.
std::string csvField(const std::string &text);

// A report file written through a temporary file renamed into place when complete, so that a
// failure keeps what was there.
class RunReportFile {
public:
    RunReportFile();
    ~RunReportFile();
    RunReportFile(const RunReportFile &) = delete;
    RunReportFile &operator=(const RunReportFile &) = delete;

    // False, with the reason in plain words in `error`, when the file cannot be created.
    bool open(
        const std::string &path, ReportFormat format, const RunRecord &header, std::string &error);
    void add(const DocumentResult &document);
    // Ends the report and puts it in place; false with the reason in `error`.
    bool commit(const std::vector<SkippedFolder> &skippedFolders,
        const RunTotals &totals,
        std::string &error);

private:
    struct State;
    std::unique_ptr<State> m_state;
};

// A run's report in both formats, written to temporary files as the run goes, so that a report
// offered when the run has ended needs no document kept in memory. save() gives exactly what
// saveRunReport() would give for the same documents. The documents are formatted and written on
// a thread of the spool's own, a few documents behind add(): the window's thread would otherwise
// spend a tenth of a run of small documents on a report that may never be wanted.
class RunReportSpool {
public:
    RunReportSpool();
    ~RunReportSpool();
    RunReportSpool(const RunReportSpool &) = delete;
    RunReportSpool &operator=(const RunReportSpool &) = delete;

    // False, with the reason in plain words in `error`, when the temporary files cannot be made.
    bool open(const RunRecord &header, std::string &error);
    // Counts the document in totals() and, once open, adds it to the report.
    void add(DocumentResult document);
    const RunTotals &totals() const;
    // Ends the report (the first time) and writes it to `path` through a temporary file renamed
    // into place. False, with the reason in `error`, also when the spool failed earlier.
    bool save(const std::string &path, ReportFormat format, std::string &error);

private:
    struct Part;
    struct Writer;
    void write(const DocumentResult &document);

    RunTotals m_totals;
    std::vector<SkippedFolder> m_skippedFolders;
    std::unique_ptr<Part> m_parts[2]; // JSON, CSV
    std::string m_error; // why the spool cannot give a report
    bool m_finished = false;
    std::unique_ptr<Writer> m_writer; // null: written in add() itself
};

// Writes the report to `path` through a temporary file renamed into place, so that a failure
// keeps what was there. False, with the reason in plain words in `error`, on failure.
bool saveRunReport(
    const std::string &path, const RunRecord &run, ReportFormat format, std::string &error);

} // namespace quenlith
