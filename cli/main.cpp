// pixmend-cli: the spectral engine on the command line. Each command lives in
// its own command_*.cpp and registers itself; this file dispatches and is the
// one place where errors become a line on stderr and an exit status.

#include "app/data_folder.h"
#include "cli/cli_support.h"

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

namespace {
void PrintOverview(std::FILE* out) {
    std::fprintf(out, "usage: pixmend-cli COMMAND [ARGS...]\n\ncommands:\n");
    for (const auto& [name, command] : RegisteredCommands())
        std::fprintf(out, "  %-12s %s\n", name.c_str(), command.Summary.c_str());
    std::fprintf(out, "\n'pixmend-cli COMMAND --help' describes a command.\n");
    // Where a new user finds something to try the commands on.
    const auto sample = FindDataPath("samples/halftone.bmp");
    const auto filter = FindDataPath("samples/halftone.flt");
    if (sample && filter)
        std::fprintf(out, "\nA scanned halftone print to try, and a filter that cleans it:\n  %s\n  %s\n",
                     sample->c_str(), filter->c_str());
}
}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        PrintOverview(args.empty() ? stderr : stdout);
        return args.empty() ? 2 : 0;
    }
    const auto& commands = RegisteredCommands();
    const auto it = commands.find(args[0]);
    if (it == commands.end()) {
        std::fprintf(stderr, "pixmend-cli: unknown command '%s' (see pixmend-cli --help)\n", args[0].c_str());
        return 2;
    }
    const TCliCommand& command = it->second;
    args.erase(args.begin());
    for (const auto& a : args)
        if (a == "--help" || a == "-h") {
            std::fputs(command.Help.c_str(), stdout);
            return 0;
        }
    try {
        return command.Run(args);
    } catch (const EUsage& e) {
        std::fprintf(stderr, "pixmend-cli %s: %s (see pixmend-cli %s --help)\n", command.Name.c_str(),
                     e.what(), command.Name.c_str());
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "pixmend-cli %s: not enough memory\n", command.Name.c_str());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "pixmend-cli %s: %s\n", command.Name.c_str(), e.what());
    }
    return 2;
}
