#include "engine/copy_target.h"

#include "engine/rclone_run.h"

#include <algorithm>

namespace rk {

namespace {

bool HasControlCharacter(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u < 0x20 || u == 0x7f;
    });
}

// A ".." step would leave the folder the user named.
bool StepsUp(std::string_view path) {
    while (!path.empty()) {
        const std::size_t slash = path.find('/');
        if (path.substr(0, slash) == "..")
            return true;
        if (slash == std::string_view::npos)
            break;
        path.remove_prefix(slash + 1);
    }
    return false;
}

} // namespace

std::string CopyTarget::Text() const {
    return remote + ":" + path;
}

std::string CopyTarget::Inside(std::string_view name) const {
    return Text() + (path.empty() || path == "/" ? "" : "/") + std::string(name);
}

CopyTarget CopyTarget::Child(std::string_view name) const {
    CopyTarget child = *this;
    child.path = Inside(name).substr(remote.size() + 1);
    return child;
}

Result<std::vector<std::string>> ListRemotes() {
    using Remotes = Result<std::vector<std::string>>;
    if (!RcloneInstalled())
        return Remotes::Failure(std::string(kRcloneMissingText));
    const RcloneOutcome listed = RunRclone({"listremotes"});
    if (!listed.succeeded)
        return Remotes::Failure("rclone could not list its remotes: " + listed.reason);
    std::vector<std::string> remotes;
    std::string_view out = listed.out;
    while (!out.empty()) {
        const std::size_t end = out.find('\n');
        std::string_view line = out.substr(0, end);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
            line.remove_suffix(1);
        if (line.size() > 1 && line.back() == ':')
            remotes.emplace_back(line.substr(0, line.size() - 1));
        if (end == std::string_view::npos)
            break;
        out.remove_prefix(end + 1);
    }
    return remotes;
}

Result<CopyTarget> CheckCopyTarget(std::string_view text, const std::vector<std::string>& remotes) {
    using Target = Result<CopyTarget>;
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos || colon == 0)
        return Target::Failure("\"" + std::string(text) +
                               "\" does not name an rclone remote and path, as "
                               "\"offsite:backups/Documents\"");
    CopyTarget target;
    target.remote = std::string(text.substr(0, colon));
    target.path = std::string(text.substr(colon + 1));
    if (std::find(remotes.begin(), remotes.end(), target.remote) == remotes.end())
        return Target::Failure("rclone has no remote named \"" + target.remote +
                               "\" (make it with rclone config)");
    if (HasControlCharacter(target.path) || StepsUp(target.path))
        return Target::Failure("the path \"" + target.path + "\" on \"" + target.remote +
                               "\" cannot be used: it holds a control character or a \"..\" step");
    while (target.path.size() > 1 && target.path.back() == '/')
        target.path.pop_back();
    return target;
}

Result<CopyTarget> CheckCopyTarget(std::string_view text) {
    const Result<std::vector<std::string>> remotes = ListRemotes();
    if (!remotes)
        return Result<CopyTarget>::Failure(remotes.reason());
    return CheckCopyTarget(text, *remotes);
}

} // namespace rk
