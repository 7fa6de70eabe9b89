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

// Whole decimal number, all of `text`, at least `least`.
template <typename Number> bool wholeNumber(const std::string &text, Number &out, Number least)
{
    const auto [end, status] = std::from_chars(text.data(), text.data() + text.size(), out);
    return status == std::errc() && end == text.data() + text.size() && out >= least;
}

// What parsing has seen so far.
struct ParseState {
    ParseState(CommandLine &commandLine, std::string &errorText)
        : line(commandLine)
        , error(errorText)
    {
    }
    CommandLine &line;
    std::string &error;
    bool outputGiven = false;
    std::string extractOnly; // the last option given that only extract takes
    bool helpAsked = false;
    bool versionAsked = false;
};

using Apply = void (*)(ParseState &state, const std::string &value);

struct OptionSpec {
    const char *longName;
    const char *shortName; // "" for none
    bool takesValue;
    bool extractOnly;
    Apply apply;
};

void needsFile(ParseState &state, const std::string &option, const std::string &value)
{
    if (value.empty())
        state.error = option + " needs a file, or - for standard input";
}

void setShard(ParseState &state, const std::string &value)
{
    CommandLine &line = state.line;
    const auto slash = value.find('/');
    if (slash == std::string::npos || !wholeNumber(value.substr(0, slash), line.shard, 1u)
        || !wholeNumber(value.substr(slash + 1), line.shardCount, 1u)
        || line.shard > line.shardCount)
        state.error = "--shard needs K/N with 1 <= K <= N, not '" + value + "'";
}

void setExisting(ParseState &state, const std::string &value)
{
    if (value == "keep")
        state.line.existing = ExistingFiles::Keep;
    else if (value == "overwrite")
        state.line.existing = ExistingFiles::Overwrite;
    else if (value == "skip")
        state.line.existing = ExistingFiles::Skip;
    else
        state.error = "--existing needs keep, overwrite or skip, not '" + value + "'";
}

void setBytes(ParseState &state, const std::string &value, const char *option, std::uint64_t &out)
{
    if (!wholeNumber(value, out, std::uint64_t { 1 }))
        state.error
            = std::string(option) + " needs a number of bytes of at least 1, not '" + value + "'";
}

void setReport(ParseState &state, const std::string &value, std::string &out)
{
    if (value.empty())
        state.error = "the report file must not be empty";
    out = value;
}

const OptionSpec options[] = {
    { "--help",
        "-h",
        false,
        false,
        [](ParseState &s, const std::string &) { s.helpAsked = true; } },
    { "--version",
        "-V",
        false,
        false,
        [](ParseState &s, const std::string &) { s.versionAsked = true; } },
    { "--json", "", false, false, [](ParseState &s, const std::string &) { s.line.json = true; } },
    { "--null",
        "-0",
        false,
        false,
        [](ParseState &s, const std::string &) { s.line.nulSeparated = true; } },
    { "--unlisted",
        "",
        false,
        true,
        [](ParseState &s, const std::string &) { s.line.unlisted = true; } },
    { "--nested",
        "",
        false,
        true,
        [](ParseState &s, const std::string &) { s.line.nested = true; } },
    { "--invoices-only",
        "",
        false,
        true,
        [](ParseState &s, const std::string &) { s.line.invoicesOnly = true; } },
    { "--invoice-names",
        "",
        false,
        true,
        [](ParseState &s, const std::string &) { s.line.invoiceNames = true; } },
    { "--ignore-case",
        "",
        false,
        false,
        [](ParseState &s, const std::string &) { s.line.ignoreCase = true; } },
    { "--include",
        "",
        true,
        false,
        [](ParseState &s, const std::string &v) { s.line.include.push_back(v); } },
    { "--exclude",
        "",
        true,
        false,
        [](ParseState &s, const std::string &v) { s.line.exclude.push_back(v); } },
    { "--password",
        "",
        true,
        false,
        [](ParseState &s, const std::string &v) { s.line.passwords.push_back(v); } },
    { "--password-file",
        "",
        true,
        false,
        [](ParseState &s, const std::string &v) {
            needsFile(s, "--password-file", v);
            s.line.passwordFile = v;
        } },
    { "--files-from",
        "",
        true,
        false,
        [](ParseState &s, const std::string &v) {
            needsFile(s, "--files-from", v);
            s.line.filesFrom = v;
        } },
    { "--output",
        "-o",
        true,
        false,
        [](ParseState &s, const std::string &v) {
            if (v.empty())
                s.error = "the output folder must not be empty";
            s.line.outputFolder = v;
            s.outputGiven = true;
        } },
    { "--jobs",
        "-j",
        true,
        false,
        [](ParseState &s, const std::string &v) {
            if (!wholeNumber(v, s.line.jobs, 1u) || s.line.jobs > maxJobs)
                s.error = "--jobs needs a whole number from 1 to " + std::to_string(maxJobs)
                    + ", not '" + v + "'";
        } },
    { "--shard", "", true, false, setShard },
    { "--layout",
        "",
        true,
        true,
        [](ParseState &s, const std::string &v) {
            if (v != "flat" && v != "folders")
                s.error = "--layout needs flat or folders, not '" + v + "'";
            s.line.flatLayout = v == "flat";
        } },
    { "--existing", "", true, true, setExisting },
    { "--max-size",
        "",
        true,
        true,
        [](ParseState &s, const std::string &v) { setBytes(s, v, "--max-size", s.line.maxSize); } },
    { "--max-ratio",
        "",
        true,
        true,
        [](ParseState &s, const std::string &v) {
            if (!wholeNumber(v, s.line.maxRatio, std::uint64_t { 1 }))
                s.error = "--max-ratio needs a whole number of at least 1, not '" + v + "'";
        } },
    { "--max-document-size",
        "",
        true,
        true,
        [](ParseState &s, const std::string &v) {
            setBytes(s, v, "--max-document-size", s.line.maxDocumentSize);
        } },
    { "--report",
        "",
        true,
        true,
        [](ParseState &s, const std::string &v) { setReport(s, v, s.line.reportPath); } },
    { "--report-csv",
        "",
        true,
        true,
        [](ParseState &s, const std::string &v) { setReport(s, v, s.line.reportCsvPath); } },
};

// Applies the option at arguments[i] (and its value), moving `i` past what it took.
void applyOption(const std::vector<std::string> &arguments, std::size_t &i, ParseState &state)
{
    const std::string &argument = arguments[i];
    for (const OptionSpec &option : options) {
        bool matched = false;
        std::string value;
        if (!option.takesValue) {
            matched = argument == option.longName || argument == option.shortName;
        } else {
            matched
                = takeValue(arguments, i, option.longName, option.shortName, value, state.error);
            if (matched && !state.error.empty())
                return;
        }
        if (!matched)
            continue;
        option.apply(state, value);
        if (option.extractOnly)
            state.extractOnly = option.longName;
        return;
    }
    state.error = "unknown option '" + argument + "'";
}

// The rules between options, once all are read; empty when they hold.
std::string conflictOf(const ParseState &state, bool commandSeen)
{
    const CommandLine &line = state.line;
    if (!commandSeen)
        return "no command given (list or extract)";
    if (line.paths.empty() && line.filesFrom.empty())
        return "no PATH given";
    if (!line.passwords.empty() && !line.passwordFile.empty())
        return "give either --password or --password-file";
    if (line.passwordFile == "-" && line.filesFrom == "-")
        return "--password-file and --files-from cannot both read standard input";
    if (line.ignoreCase && line.include.empty() && line.exclude.empty())
        return "option --ignore-case applies only with --include or --exclude";
    if (line.nulSeparated && line.filesFrom.empty())
        return "option -0 applies only with --files-from";
    if (state.outputGiven && line.command != Command::Extract)
        return "option -o/--output applies only to extract";
    if (!state.extractOnly.empty() && line.command != Command::Extract)
        return "option " + state.extractOnly + " applies only to extract";
    return {};
}

// Takes the command or a PATH.
void applyWord(const std::string &argument, bool &commandSeen, ParseState &state)
{
    if (commandSeen) {
        state.line.paths.push_back(argument);
        return;
    }
    commandSeen = true;
    if (argument == "list")
        state.line.command = Command::List;
    else if (argument == "extract")
        state.line.command = Command::Extract;
    else if (argument == "help")
        state.helpAsked = true;
    else
        state.error = "unknown command '" + argument + "'";
}

} // namespace

ParsedCommandLine parseCommandLine(const std::vector<std::string> &arguments)
{
    ParsedCommandLine parsed;
    ParseState state(parsed.commandLine, parsed.error);
    bool commandSeen = false;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < arguments.size() && parsed.error.empty(); ++i) {
        const std::string &argument = arguments[i];
        if (optionsEnded || argument.size() < 2 || argument[0] != '-')
            applyWord(argument, commandSeen, state);
        else if (argument == "--")
            optionsEnded = true;
        else
            applyOption(arguments, i, state);
    }
    if (!parsed.error.empty())
        return parsed;
    if (state.helpAsked || state.versionAsked) {
        parsed.commandLine.command = state.helpAsked ? Command::Help : Command::Version;
        return parsed;
    }
    parsed.error = conflictOf(state, commandSeen);
    return parsed;
}

AttachmentChoice attachmentChoice(const CommandLine &commandLine)
{
    AttachmentChoice choice;
    for (const std::string &pattern : commandLine.include)
        choice.include.emplace_back(pattern, commandLine.ignoreCase);
    for (const std::string &pattern : commandLine.exclude)
        choice.exclude.emplace_back(pattern, commandLine.ignoreCase);
    return choice;
}

namespace {

// The usage lines and what the commands do.
const char *const usageText
    = "Usage: quenlith-cli list [--json] [--jobs N] [--password PW]\n"
      "                         [--include GLOB] [--exclude GLOB] [--ignore-case] PATH...\n"
      "       quenlith-cli extract [-o DIR] [--jobs N] [--json] [--password PW]\n"
      "                            [--existing keep|overwrite|skip] [--report FILE]\n"
      "                            [--report-csv FILE] [--files-from FILE [-0]]\n"
      "                            [--shard K/N] [--unlisted] [--nested]\n"
      "                            [--invoices-only] [--invoice-names]\n"
      "                            [--include GLOB] [--exclude GLOB] [--ignore-case]\n"
      "                            [--layout folders|flat] PATH...\n"
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
      "            XMP metadata declares, \"(missing)\" when no attachment holds it, or\n"
      "            that an XML attachment is; with its number, date, parties and total\n"
      "  extract   write each document's attachments into its own folder inside DIR,\n"
      "            named after the document (report.pdf -> DIR/report/)\n"
      "\n";

} // namespace

std::string helpText()
{
    return std::string(usageText)
        + "Options:\n"
          "  -o, --output DIR   folder that receives the document folders (default: the\n"
          "                     current folder; created when missing)\n"
          "  -j, --jobs N       documents processed at once (default: one per core)\n"
          "      --json         print one JSON document instead of text\n"
          "      --password PW  try PW for documents that do not open without a password;\n"
          "                     give it again to try more passwords, in turn\n"
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
          "                     write only the invoice XML of each document (declared, or\n"
          "                     an XML attachment that is an invoice); a document without\n"
          "                     one is reported as \"no invoice\", one whose declared\n"
          "                     invoice is missing fails\n"
          "      --invoice-names\n"
          "                     name each invoice XML after its invoice number\n"
          "                     (471102.xml); a clash gets \" (2)\" as usual\n"
          "      --include GLOB only the attachments whose stored names match GLOB (* any\n"
          "                     characters, ? one, [a-z] one of a set); give it again for\n"
          "                     more patterns, any of which may match\n"
          "      --exclude GLOB not the attachments whose names match GLOB, even when\n"
          "                     included; repeatable. extract reports the others as\n"
          "                     skipped and does not look into those that are PDFs; list\n"
          "                     shows and counts only the chosen ones\n"
          "      --ignore-case  match --include and --exclude without regard to case\n"
          "      --layout folders|flat\n"
          "                     folders: one folder per document (default); flat: every\n"
          "                     file into DIR itself, named \"DOCUMENT__NAME\" (report.pdf's\n"
          "                     a.xml -> DIR/report__a.xml); nested documents keep folders\n"
          "  -h, --help         show this help\n"
          "  -V, --version      show the version\n"
          "\n"
          "Exit status:\n"
          "  0    everything was listed or written\n"
          "  1    a document, an attachment, a folder, a report or the output failed\n"
          "  2    usage error: a wrong option, or a report that would replace an input\n"
          "  130  interrupted (Ctrl+C)\n";
}

} // namespace quenlith::cli
