// quenlith-cli: lists and extracts the files embedded in PDF documents from the command line.

#include "cli/CommandLine.h"
#include "cli/ExtractCommand.h"
#include "cli/Interruption.h"
#include "cli/ListCommand.h"

#include <exception>
#include <iostream>
#include <string>
#include <vector>

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
    const CommandLine &commandLine = parsed.commandLine;
    try {
        switch (commandLine.command) {
        case Command::Help:
            std::cout << helpText();
            return 0;
        case Command::Version:
            std::cout << "Quenlith " << QUENLITH_DISPLAY_VERSION << '\n';
            return 0;
        case Command::List:
            watchForInterruption();
            return runList(commandLine, std::cout);
        case Command::Extract:
            watchForInterruption();
            return runExtract(commandLine, std::cout, std::cerr);
        }
    } catch (const std::exception &error) {
        std::cout.flush();
        std::cerr << "quenlith-cli: " << error.what() << '\n';
    }
    return 1;
}
