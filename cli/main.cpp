// quenlith-cli: lists and extracts the files embedded in PDF documents from the command line.

#include "cli/CommandLine.h"
#include "cli/DocumentInputs.h"
#include "cli/ExtractCommand.h"
#include "cli/Interruption.h"
#include "cli/ListCommand.h"
#include "cli/ReportTargets.h"
#include "util/Utf8Text.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#ifndef _WIN32
#include <poll.h>
#include <unistd.h>
#endif

namespace {

// Whether standard output is a pipe whose reader has gone. The stream's own errno is lost once
// an earlier write failed, so the pipe itself is asked.
bool readerGone()
{
#ifndef _WIN32
    pollfd out { STDOUT_FILENO, 0, 0 };
    return ::poll(&out, 1, 0) == 1 && (out.revents & POLLERR) != 0;
#else
    return false;
#endif
}

// A report that did not reach standard output (a full disk, /dev/full) is a failure of the
// command, not a success nobody saw. A reader that went away (`| head -1`) ends the program as
// it ends other command-line tools: by SIGPIPE, quietly, also where the signal was ignored.
int checkedOutput(int status)
{
    errno = 0;
    std::cout.flush();
    if (std::cout)
        return status;
    const int error = errno;
#ifdef SIGPIPE
    if (error == EPIPE || readerGone()) {
        std::signal(SIGPIPE, SIG_DFL);
        std::raise(SIGPIPE);
    }
#endif
    std::cerr << "quenlith-cli: cannot write the output: "
              << (error != 0 ? std::strerror(error) : "write error") << '\n';
    return 1;
}

} // namespace

int main(int argc, char **argv)
{
    using namespace quenlith::cli;
    std::ios::sync_with_stdio(false);
    const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    const ParsedCommandLine parsed = parseCommandLine(arguments);
    if (!parsed.error.empty()) {
        std::cerr << "quenlith-cli: " << parsed.error << "\n"
                  << "Try 'quenlith-cli --help' for more information.\n";
        return 2;
    }
    CommandLine commandLine = parsed.commandLine;
    try {
        std::string error;
        quenlith::RecordSpool paths; // the run's inputs: a list of any length costs no memory
        if (!readInputPaths(parsed.commandLine, paths, error)) {
            std::cerr << "quenlith-cli: " << error << '\n';
            return 1;
        }
        if (const std::string clash = reportClash(commandLine,
                paths,
                commandLine.outputFolder.empty() ? "." : commandLine.outputFolder);
            !clash.empty()) {
            std::cerr << "quenlith-cli: " << quenlith::terminalText(clash) << '\n';
            return 2;
        }
        commandLine.filesFrom.clear();
        std::string password;
        if (!commandLine.passwordFile.empty()) {
            if (!readPasswordFile(commandLine.passwordFile, password, error)) {
                std::cerr << "quenlith-cli: " << error << '\n';
                return 1;
            }
            commandLine.passwords = { password };
        }
        switch (commandLine.command) {
        case Command::Help:
            std::cout << helpText();
            return checkedOutput(0);
        case Command::Version:
            std::cout << "Quenlith " << QUENLITH_DISPLAY_VERSION << '\n';
            return checkedOutput(0);
        case Command::List:
            watchForInterruption();
            return checkedOutput(runList(commandLine, paths, std::cout));
        case Command::Extract:
            watchForInterruption();
            return checkedOutput(runExtract(commandLine, paths, std::cout, std::cerr));
        }
    } catch (const std::exception &error) {
        std::cout.flush();
        std::cerr << "quenlith-cli: " << error.what() << '\n';
    }
    return 1;
}
