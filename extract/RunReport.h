#pragma once

#include "extract/DocumentExtraction.h"
#include "scan/pathLogger.h"

#include <cstdint>
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
    std::int64_t documentsFailed = 0;
    std::int64_t attachments = 0;
    std::int64_t written = 0; // written, renamed or overwritten in this run
    std::int64_t renamed = 0;
    std::int64_t overwritten = 0;
    std::int64_t unchanged = 0;
    std::int64_t skipped = 0;
    std::int64_t failed = 0; // every other outcome, checksum mismatches included
    std::uint64_t bytesWritten = 0; // bytes this run put on disk (unchanged files not counted)
};

RunTotals totalsOf(const std::vector<DocumentResult> &documents);

// The JSON status word of a document: its open status word, or "folder-failed" and
// "not-processed".
std::string documentStatusWord(const DocumentResult &document);

// The run as one JSON document (see docs/cli-json.md) and as CSV, one row per attachment (and
// one for each document that failed before any attachment): document path, document folder,
// attachment name, key, size, sha256, status, reason.
void writeRunJson(std::ostream &out, const RunRecord &run);
void writeRunCsv(std::ostream &out, const RunRecord &run);

// One CSV field: quoted when it holds a comma, quote, line break or edge blank; invalid UTF-8
// becomes U+FFFD; a leading "=", "+", "-", "@" or tab gets a "'" first, so that a spreadsheet
// shows a hostile name instead of running it as a formula.
std::string csvField(const std::string &text);

enum class ReportFormat { Json, Csv };

// Writes the report to `path` through a temporary file renamed into place, so that a failure
// keeps what was there. False, with the reason in plain words in `error`, on failure.
bool saveRunReport(
    const std::string &path, const RunRecord &run, ReportFormat format, std::string &error);

} // namespace quenlith
