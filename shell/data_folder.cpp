#include "shell/data_folder.h"

#include <system_error>

namespace fs = std::filesystem;

std::vector<fs::path> DataFolderCandidates(const fs::path& exeFolder,
                                           const fs::path& sourceFolder) {
    std::vector<fs::path> candidates;
    if (!exeFolder.empty()) candidates.push_back(exeFolder.parent_path() / kInstalledDataFolder);
    if (!sourceFolder.empty()) candidates.push_back(sourceFolder);
    return candidates;
}

std::optional<fs::path> FindDataPath(std::string_view relative,
                                     const std::vector<fs::path>& candidates) {
    std::error_code ec;
    for (const fs::path& folder : candidates) {
        const fs::path p = folder / relative;
        if (fs::exists(p, ec)) return p;
    }
    return std::nullopt;
}

std::optional<fs::path> FindDataPath(std::string_view relative) {
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
#ifdef PIXMEND_BUILD_SOURCE_DIR
    const fs::path source = PIXMEND_BUILD_SOURCE_DIR;
#else
    const fs::path source;
#endif
    return FindDataPath(relative,
                        DataFolderCandidates(ec ? fs::path() : exe.parent_path(), source));
}
