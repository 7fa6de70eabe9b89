#pragma once

#include "extract/DocumentExtraction.h"

#include <string>
#include <vector>

namespace quenlith::cli {

enum class Command { Help, Version, List, Extract };

// The parsed command line of quenlith-cli.
struct CommandLine {
    Command command = Command::Help;
    bool json = false;
    // tried in turn when a document does not open with the empty password
    std::vector<std::string> passwords;
    std::string passwordFile; // the password is the first line of this file ("-": stdin)
    std::string outputFolder; // extract only; empty means the current folder
    unsigned jobs = 0; // worker threads; 0 means one per processor core
    ExistingFiles existing = ExistingFiles::Keep; // extract only
    std::string reportPath; // extract only: the run's JSON report, empty for none
    std::string reportCsvPath; // extract only: the run's CSV report, empty for none
    std::string filesFrom; // more paths, one a line (or NUL-separated); "-" for standard input
    bool nulSeparated = false; // -0: filesFrom separates paths with NUL bytes
    std::uint64_t maxSize = SizeLimits::defaultMaxAttachmentSize; // extract only: --max-size
    std::uint64_t maxRatio = SizeLimits::defaultMaxExpansionRatio; // extract only: --max-ratio
    // extract only: --max-document-size
    std::uint64_t maxDocumentSize = ExtractionOptions::defaultMaxDocumentSize;
    unsigned shard = 0; // --shard K/N: take only shard K (1..N) of N; 0 for all
    unsigned shardCount = 0;
    bool unlisted = false; // extract only: also write the embedded files that nothing lists
    bool nested = false; // extract only: also extract from attachments that are PDF documents
    bool invoicesOnly = false; // extract only: write only each document's invoice
    bool invoiceNames = false; // extract only: name each invoice XML after its invoice number
    // extract only, --layout flat: every file into the output folder as "<document>__<name>"
    bool flatLayout = false;
    // --include and --exclude: glob patterns for the attachments' stored names (see
    // AttachmentChoice); --ignore-case matches them without regard to case.
    std::vector<std::string> include;
    std::vector<std::string> exclude;
    bool ignoreCase = false;
    std::vector<std::string> paths;
};

// The outcome of parsing: `error` is a one-line usage message, empty when `commandLine` is valid.
struct ParsedCommandLine {
    CommandLine commandLine;
    std::string error;
};

// Parses the arguments that follow the program name. Options may come before or after the
// paths; "--" ends the options.
ParsedCommandLine parseCommandLine(const std::vector<std::string> &arguments);

// The attachments that --include, --exclude and --ignore-case choose.
AttachmentChoice attachmentChoice(const CommandLine &commandLine);

// The text printed by --help.
std::string helpText();

} // namespace quenlith::cli
