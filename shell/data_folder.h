#pragma once
// Where the programs find the files that ship with them: the help pages and
// the sample. Installed, they sit under <prefix>/share/pixmend beside the
// <prefix>/bin the program runs from; run from a build folder, the program
// takes them from the source tree it was built from. The installed copy is
// tried first, so an installed program never depends on a source tree that
// happens to exist on the building machine.

#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

// The data folder under an installation prefix, relative to it.
inline constexpr std::string_view kInstalledDataFolder = "share/pixmend";

// The folders that may hold the shipped files, in the order they are tried,
// for a program in exeFolder built from sourceFolder (empty: unknown).
std::vector<std::filesystem::path> DataFolderCandidates(const std::filesystem::path& exeFolder,
                                                        const std::filesystem::path& sourceFolder);

// The first candidate folder that has the directory or file `relative` (for
// example "help/pages" or "samples/halftone.bmp"); nullopt when none has it.
std::optional<std::filesystem::path>
FindDataPath(std::string_view relative, const std::vector<std::filesystem::path>& candidates);

// The same for the running program (its own folder from /proc/self/exe, the
// source folder it was built from).
std::optional<std::filesystem::path> FindDataPath(std::string_view relative);
