#include "platform/host_program.h"

#include <cstdlib>
#include <unistd.h>

namespace rk::platform {

bool HostProgramExists(const std::string& name) {
    if (name.empty())
        return false;
    if (name.find('/') != std::string::npos)
        return access(name.c_str(), X_OK) == 0;
    const char* path = std::getenv("PATH");
    std::string_view folders = path ? path : "/usr/bin:/bin";
    while (true) {
        const std::size_t colon = folders.find(':');
        std::string folder(folders.substr(0, colon));
        if (folder.empty())
            folder = ".";
        if (access((folder + "/" + name).c_str(), X_OK) == 0)
            return true;
        if (colon == std::string_view::npos)
            return false;
        folders.remove_prefix(colon + 1);
    }
}

ProcessOutcome RunHostProgram(const std::vector<std::string>& args, std::string_view input) {
    ProcessStart start;
    start.args = args;
    start.searchPath = true;
    start.feedInput = true;
    start.input = input;
    start.keepOutput = true;
    start.keepErrors = true;
    return SpawnAndWait(start);
}

} // namespace rk::platform
