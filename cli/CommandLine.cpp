#include "cli/CommandLine.h"

#include <charconv>

namespace quenlith::cli {

namespace {

constexpr unsigned maxJobs = 256;

// Reads an option that takes a value: "--name VALUE", "--name=VALUE", or "-xVALUE"/"-x VALUE"
// for the short form. Returns false when `argument` is not this option.
bool takeValue(const std::vector<std::string> &arguments,
    std::size_t &i,
    const std::string &longName,
    const std::string &shortName,
    std::string &value,
    std::string &error)
{
    const std::string &argument = arguments[i];
    std::string inlineValue;
    bool hasInline = false;
    if (argument == longName || (!shortName.empty() && argument == shortName)) {
        // the value is the next argument
    } else if (argument.rfind(longName + "=", 0) == 0) {
        inlineValue = argument.substr(longName.size() + 1);
        hasInline = true;
    } else if (!shortName.empty() && argument.size() > 2 && argument.rfind(shortName, 0) == 0) {
        inlineValue = argument.substr(shortName.size());
        hasInline = true;
    } else {
        return false;
    }
    if (hasInline) {
        value = inlineValue;
    } else if (i + 1 < arguments.size()) {
        value = arguments[++i];
    } else {
        error = "option '" + argument + "' needs a value";
    }
    return true;
}

} // namespace

ParsedCommandLine parseCommandLine(const std::vector<std::string> &arguments)
{
    ParsedCommandLine parsed;
    CommandLine &line = parsed.commandLine;
    std::string &error = parsed.error;
    bool commandSeen = false;
    bool optionsEnded = false;
    bool outputGiven = false;
    std::string extractOnly; // the last option given that only extract takes
    bool helpAsked = false;
    bool versionAsked = false;

    for (std::size_t i = 0; i < arguments.size() && error.empty(); ++i) {
        const std::string &argument = arguments[i];
        const bool isOption = !optionsEnded && argument.size() > 1 && argument[0] == '-';
        if (!isOption) {
            if (!commandSeen) {
                commandSeen = true;
                if (argument == "list")
                    line.command = Command::List;
                else if (argument == "extract")
                    line.command = Command::Extract;
                else if (argument == "help")
                    helpAsked = true;
                else
                    error = "unknown command '" + argument + "'";
            } else {
                line.paths.push_back(argument);
            }
            continue;
        }
        std::string value;
        if (argument == "--") {
            optionsEnded = true;
        } else if (argument == "--help" || argument == "-h") {
            helpAsked = true;
        } else if (argument == "--version" || argument == "-V") {
            versionAsked = true;
        } else if (argument == "--json") {
            line.json = true;
        } else if (takeValue(arguments, i, "--password-file", "", value, error)) {
            if (error.empty() && value.empty())
                error = "--password-file needs a file, or - for standard input";
            line.passwordFile = value;
        } else if (argument == "--unlisted") {
            line.unlisted = true;
            extractOnly = "--unlisted";
        } else if (argument == "--nested") {
            line.nested = true;
            extractOnly = "--nested";
        } else if (argument == "--invoices-only") {
            line.invoicesOnly = true;
            extractOnly = "--invoices-only";
        } else if (takeValue(arguments, i, "--layout", "", value, error)) {
            if (value == "flat" || value == "folders")
                line.flatLayout = value == "flat";
            else if (error.empty())
                error = "--layout needs flat or folders, not '" + value + "'";
            extractOnly = "--layout";
        } else if (takeValue(arguments, i, "--password", "", value, error)) {
            line.password = value;
        } else if (takeValue(arguments, i, "--output", "-o", value, error)) {
            if (error.empty() && value.empty())
                error = "the output folder must not be empty";
            line.outputFolder = value;
            outputGiven = true;
        } else if (takeValue(arguments, i, "--jobs", "-j", value, error)) {
            unsigned jobs = 0;
            const auto [end, status]
                = std::from_chars(value.data(), value.data() + value.size(), jobs);
            if (error.empty()
                && (status != std::errc() || end != value.data() + value.size() || jobs < 1
                    || jobs > maxJobs))
                error = "--jobs needs a whole number from 1 to " + std::to_string(maxJobs)
                    + ", not '" + value + "'";
            line.jobs = jobs;
        } else if (argument == "-0" || argument == "--null") {
            line.nulSeparated = true;
        } else if (takeValue(arguments, i, "--files-from", "", value, error)) {
            if (error.empty() && value.empty())
                error = "--files-from needs a file, or - for standard input";
            line.filesFrom = value;
        } else if (takeValue(arguments, i, "--shard", "", value, error)) {
            const auto slash = value.find('/');
            const auto number = [](const std::string &text, unsigned &out) {
                const auto [end, status]
                    = std::from_chars(text.data(), text.data() + text.size(), out);
                return status == std::errc() && end == text.data() + text.size();
            };
            if (error.empty()
                && (slash == std::string::npos || !number(value.substr(0, slash), line.shard)
                    || !number(value.substr(slash + 1), line.shardCount) || line.shardCount < 1
                    || line.shard < 1 || line.shard > line.shardCount))
                error = "--shard needs K/N with 1 <= K <= N, not '" + value + "'";
        } else if (takeValue(arguments, i, "--max-document-size", "", value, error)) {
            const auto [end, status]
                = std::from_chars(value.data(), value.data() + value.size(), line.maxDocumentSize);
            if (error.empty()
                && (status != std::errc() || end != value.data() + value.size()
                    || line.maxDocumentSize < 1))
                error = "--max-document-size needs a number of bytes of at least 1, not '" + value
                    + "'";
            extractOnly = "--max-document-size";
        } else if (takeValue(arguments, i, "--max-size", "", value, error)
            || takeValue(arguments, i, "--max-ratio", "", value, error)) {
            const bool size = argument.rfind("--max-size", 0) == 0;
            std::uint64_t number = 0;
            const auto [end, status]
                = std::from_chars(value.data(), value.data() + value.size(), number);
            if (error.empty()
                && (status != std::errc() || end != value.data() + value.size() || number < 1))
                error = std::string(size ? "--max-size needs a number of bytes"
                                         : "--max-ratio needs a whole number")
                    + " of at least 1, not '" + value + "'";
            (size ? line.maxSize : line.maxRatio) = number;
            extractOnly = size ? "--max-size" : "--max-ratio";
        } else if (takeValue(arguments, i, "--existing", "", value, error)) {
            if (value == "keep")
                line.existing = ExistingFiles::Keep;
            else if (value == "overwrite")
                line.existing = ExistingFiles::Overwrite;
            else if (value == "skip")
                line.existing = ExistingFiles::Skip;
            else if (error.empty())
                error = "--existing needs keep, overwrite or skip, not '" + value + "'";
            extractOnly = "--existing";
        } else if (takeValue(arguments, i, "--report", "", value, error)) {
            if (error.empty() && value.empty())
                error = "the report file must not be empty";
            line.reportPath = value;
            extractOnly = "--report";
        } else if (takeValue(arguments, i, "--report-csv", "", value, error)) {
            if (error.empty() && value.empty())
                error = "the report file must not be empty";
            line.reportCsvPath = value;
            extractOnly = "--report-csv";
        } else {
            error = "unknown option '" + argument + "'";
        }
    }
    if (!error.empty())
        return parsed;
    if (helpAsked) {
        line.command = Command::Help;
        return parsed;
    }
    if (versionAsked) {
        line.command = Command::Version;
        return parsed;
    }
    if (!commandSeen)
        error = "no command given (list or extract)";
    else if (line.paths.empty() && line.filesFrom.empty())
        error = "no PATH given";
    else if (!line.password.empty() && !line.passwordFile.empty())
        error = "give either --password or --password-file";
    else if (line.passwordFile == "-" && line.filesFrom == "-")
        error = "--password-file and --files-from cannot both read standard input";
    else if (line.nulSeparated && line.filesFrom.empty())
        error = "option -0 applies only with --files-from";
    else if (outputGiven && line.command != Command::Extract)
        error = "option -o/--output applies only to extract";
    else if (!extractOnly.empty() && line.command != Command::Extract)
        error = "option " + extractOnly + " applies only to extract";
    return parsed;
}

std::string helpText()
{
    return "Usage: quenlith-cli list [--json] [--jobs N] [--password PW] PATH...\n"
           "       quenlith-cli extract [-o DIR] [--jobs N] [--json] [--password PW]\n"
           "                            [--existing keep|overwrite|skip] [--report FILE]\n"
           "                            [--report-csv FILE] [--files-from FILE [-0]]\n"
           "                            [--shard K/N] [--unlisted] [--nested]\n"
           "                            [--invoices-only] [--layout folders|flat] PATH...\n"
           "       quenlith-cli --version | --help\n"
           "\n"
           "Lists or extracts the files embedded in PDF documents. A PATH is a document or a\n"
           "folder; folders are searched through their whole tree for files whose names end\n"
           "in \".pdf\" (in any mix of capitals).\n"
           "\n"
           "Commands:\n"
           "  list      show each document's attachments: name, where the document lists\n"
           "            it, size, modification date; \"unlisted\" marks embedded files\n"
           "            that nothing in the document refers to as an attachment; and the\n"
           "            electronic invoice (Factur-X, ZUGFeRD, XRechnung, Order-X) that its\n"
           "            XMP metadata declares, \"(missing)\" when no attachment holds it\n"
           "  extract   write each document's attachments into its own folder inside DIR,\n"
           "            named after the document (report.pdf -> DIR/report/)\n"
           "\n"
           "Options:\n"
           "  -o, --output DIR   folder that receives the document folders (default: the\n"
           "                     current folder; created when missing)\n"
           "  -j, --jobs N       documents processed at once (default: one per core)\n"
           "      --json         print one JSON document instead of text\n"
           "      --password PW  try PW for documents that do not open without a password\n"
           "      --password-file FILE\n"
           "                     the same with the first line of FILE (- for standard input),\n"
           "                     which other users cannot see as they can a command line\n"
           "      --existing keep|overwrite|skip\n"
           "                     what to do with a file already in a document folder: keep\n"
           "                     it and write the new one as \"name (2).ext\" (default; a\n"
           "                     file with the same bytes is left alone as unchanged),\n"
           "                     overwrite it when its bytes differ, or skip the attachment\n"
           "      --report FILE  also write the run's JSON, with each file's SHA-256, to FILE\n"
           "      --report-csv FILE\n"
           "                     also write one CSV row per attachment to FILE\n"
           "      --max-size BYTES\n"
           "                     stop an attachment whose data grows past BYTES (default\n"
           "                     4 GiB), and past twice its declared size\n"
           "      --max-ratio N  stop an attachment past 100 MiB whose data grows past N\n"
           "                     times its stored size (default 1000): a decompression bomb\n"
           "      --max-document-size BYTES\n"
           "                     stop a document's attachments once together they pass\n"
           "                     BYTES (default 16 GiB)\n"
           "      --files-from FILE\n"
           "                     read more PATHs from FILE, one a line (- for standard input)\n"
           "  -0, --null         the PATHs in FILE are separated by NUL bytes (find -print0)\n"
           "      --shard K/N    extract only the K-th of N shares of the documents; N runs\n"
           "                     with K = 1..N and the same PATHs do the whole job once,\n"
           "                     with the folders a single run gives\n"
           "      --unlisted     also write the unlisted embedded files, after the others\n"
           "      --nested       also extract the attachments of attachments that are PDF\n"
           "                     documents, into \"NAME.attachments/\" beside each, up to 8\n"
           "                     levels deep\n"
           "      --invoices-only\n"
           "                     write only the invoice XML that each document declares; a\n"
           "                     document that declares none is reported as \"no invoice\",\n"
           "                     one whose declared invoice is missing fails\n"
           "      --layout folders|flat\n"
           "                     folders: one folder per document (default); flat: every\n"
           "                     file into DIR itself, named \"DOCUMENT__NAME\" (report.pdf's\n"
           "                     a.xml -> DIR/report__a.xml); nested documents keep folders\n"
           "  -h, --help         show this help\n"
           "  -V, --version      show the version\n"
           "\n"
           "Exit status: 0 when everything was listed or written, 1 when a document, an\n"
           "attachment or a folder failed, 2 on a usage error.\n";
}

} // namespace quenlith::cli
