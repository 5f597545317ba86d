#include "base/DataFolder.h"

#include <filesystem>
#include <system_error>

#include "base/Fatal.h"

namespace fs = std::filesystem;

namespace {

bool holdsData(const std::string& folder)
{
    std::error_code error;
    return !folder.empty() && fs::is_directory(fs::path(folder) / "data", error);
}

}  // namespace

std::string findDataFolder(const std::string& workingFolder, const std::string& executableFolder)
{
    if (holdsData(workingFolder))
        return workingFolder;
    if (holdsData(executableFolder))
        return executableFolder;
    const std::string beside = executableFolder.empty() ? "" : " nor beside the program in " + executableFolder;
    throwFatal("[Kelvarro] No data/ folder in the working folder " + workingFolder + beside +
               "; start the program from its build folder, which holds the generated data/.");
}

std::string executableFolder()
{
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    return error ? std::string() : self.parent_path().string();
}
