// pixmend-cli: the spectral engine on the command line. Each command lives in
// its own command_*.cpp and registers itself; this file dispatches and is the
// one place where errors become a line on stderr and an exit status.

#include "cli/cli_support.h"
#include "shell/data_folder.h"
#include "spectral/memory_budget.h"

#include <QtGlobal>

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

namespace {
void PrintOverview(std::FILE* out) {
    std::fprintf(out, "usage: pixmend-cli COMMAND [ARGS...]\n\ncommands:\n");
    for (const auto& [name, command] : RegisteredCommands())
        std::fprintf(out, "  %-12s %s\n", name.c_str(), command.Summary.c_str());
    std::fprintf(out, "\n'pixmend-cli COMMAND --help' describes a command. --quiet (-q) anywhere\n"
                      "turns off progress and report lines; --fast anywhere makes every\n"
                      "transform the fast one (O(n log n) at every size, as accurate, but not\n"
                      "bit-identical with the exact transform). Every command takes --max-memory\n"
                      "SIZE (like 800M or 2G): larger pictures and spectra are refused. Exit\n"
                      "status: 0 done, 1 a file failed, 2 a wrong command line.\n");
    // Where a new user finds something to try the commands on.
    const auto sample = FindDataPath("samples/halftone.bmp");
    const auto filter = FindDataPath("samples/halftone.flt");
    if (sample && filter)
        std::fprintf(
            out, "\nA scanned halftone print to try, and a filter that cleans it:\n  %s\n  %s\n",
            sample->c_str(), filter->c_str());
}
} // namespace

int main(int argc, char** argv) {
    // The image plug-ins report damaged files through Qt's message log as well
    // as through their result; the result becomes our one line, the log goes.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--quiet" || a == "-q")
            SetQuiet(true);
        else if (a == "--fast")
            SetFastTransform(true);
        else
            args.push_back(a);
    }
    if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        PrintOverview(args.empty() ? stderr : stdout);
        return args.empty() ? 2 : 0;
    }
    const auto& commands = RegisteredCommands();
    const auto it = commands.find(args[0]);
    if (it == commands.end()) {
        std::fprintf(stderr, "pixmend-cli: unknown command '%s' (see pixmend-cli --help)\n",
                     args[0].c_str());
        return 2;
    }
    const TCliCommand& command = it->second;
    args.erase(args.begin());
    // --max-memory SIZE holds for every command: bitmaps, stores and resized
    // spectra beyond it are refused as they would be beyond the machine's.
    for (size_t i = 0; i < args.size(); ++i) {
        const bool joined = args[i].rfind("--max-memory=", 0) == 0;
        if (!joined && args[i] != "--max-memory") continue;
        if (!joined && i + 1 == args.size()) {
            std::fprintf(stderr, "pixmend-cli %s: --max-memory needs a size, for example 2G\n",
                         command.Name.c_str());
            return 2;
        }
        const std::string text = joined ? args[i].substr(13) : args[i + 1];
        const uint64_t limit = ParseMemorySize(text);
        if (limit == 0) {
            std::fprintf(stderr,
                         "pixmend-cli %s: --max-memory: '%s' is not a size (like 800M or 2G)\n",
                         command.Name.c_str(), text.c_str());
            return 2;
        }
        SetMemoryLimit(limit);
        args.erase(args.begin() + std::ptrdiff_t(i),
                   args.begin() + std::ptrdiff_t(i + (joined ? 1 : 2)));
        --i;
    }
    for (const auto& a : args)
        if (a == "--help" || a == "-h") {
            std::fputs(command.Help.c_str(), stdout);
            return 0;
        }
    // Which transform ran belongs with the results, so it is said up front.
    if (FastTransform() && !Quiet())
        std::fprintf(
            stderr,
            "pixmend-cli: fast transform (close to, not bit-identical with, the exact one)\n");
    // Exit status: 0 done, 1 a file (or the work on it) failed, 2 the command
    // line was wrong.
    try {
        return command.Run(args);
    } catch (const EUsage& e) {
        std::fprintf(stderr, "pixmend-cli %s: %s (see pixmend-cli %s --help)\n",
                     command.Name.c_str(), e.what(), command.Name.c_str());
        return 2;
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "pixmend-cli: not enough memory\n");
    } catch (const EFileFailure& e) {
        std::fprintf(stderr, "pixmend-cli: %s: %s\n", e.File().c_str(), e.what());
    } catch (const std::exception& e) {
        const TFileMessage m = ToolMessage(MessageOf(e));
        if (m.File.empty())
            std::fprintf(stderr, "pixmend-cli: %s\n", m.Text.c_str());
        else
            std::fprintf(stderr, "pixmend-cli: %s: %s\n", m.File.c_str(), m.Text.c_str());
    }
    return 1;
}
