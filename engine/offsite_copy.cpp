#include "engine/offsite_copy.h"

#include "platform/file_system.h"

#include <algorithm>
#include <sys/stat.h>

namespace rk {

namespace {

// rclone's exit code for a folder or file that is not there.
constexpr int kRcloneNotFound = 3;

// What every transfer is given: its statistics once a second on one line
// (the window's progress bar reads them), and a few retries, so a storage
// that is gone fails within a minute rather than retrying for long.
const std::vector<std::string> kTransferOptions = {"--stats",   "1s", "--stats-one-line",    "-v",
                                                   "--retries", "2",  "--low-level-retries", "3"};

std::vector<std::string> With(std::vector<std::string> args, const std::vector<std::string>& more) {
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

// One line of "lsf --format psh --separator TAB": name, size, MD5 sum.
std::optional<RemoteFile> ListedFile(std::string_view line) {
    const std::size_t first = line.find('\t');
    if (first == std::string_view::npos)
        return std::nullopt;
    const std::size_t second = line.find('\t', first + 1);
    RemoteFile file;
    file.name = std::string(line.substr(0, first));
    const std::string size(line.substr(
        first + 1, second == std::string_view::npos ? std::string_view::npos : second - first - 1));
    if (size.empty() || size.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    file.size = std::stoll(size);
    if (second != std::string_view::npos)
        file.md5 = std::string(line.substr(second + 1));
    return file;
}

Result<std::vector<RemoteFile>> ListFiles(const std::string& where) {
    using Files = Result<std::vector<RemoteFile>>;
    // The sums are asked for; a storage that has none leaves them empty.
    const RcloneOutcome listed = RunRclone({"lsf", "--files-only", "--format", "psh", "--hash",
                                            "MD5", "--separator", "\t", "--", where});
    if (!listed.succeeded && listed.exitCode == kRcloneNotFound)
        return std::vector<RemoteFile>{};
    if (!listed.succeeded)
        return Files::Failure("cannot list " + where + ": " + listed.reason);
    std::vector<RemoteFile> files;
    for (const std::string_view line : RcloneOutputLines(listed.out))
        if (std::optional<RemoteFile> file = ListedFile(line))
            files.push_back(std::move(*file));
    return files;
}

std::optional<long long> LocalSize(const std::string& hostFile) {
    struct stat info {};
    if (stat(hostFile.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    return static_cast<long long>(info.st_size);
}

} // namespace

std::optional<CopyTarget> IncomingFolder(const CopyTarget& target) {
    std::string path = target.path;
    while (!path.empty() && path.back() == '/')
        path.pop_back();
    if (path.empty())
        return std::nullopt;
    const std::size_t slash = path.rfind('/');
    CopyTarget incoming = target;
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    incoming.path = (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) +
                    ".rk-incoming-" + name;
    return incoming;
}

Result<std::vector<RemoteFile>> ListCopyFiles(const CopyTarget& target) {
    return ListFiles(target.Text());
}

Result<std::string> LocalMd5(const std::string& hostFile) {
    const RcloneOutcome summed = RunRclone({"hashsum", "MD5", "--", hostFile});
    const std::size_t blank = summed.out.find(' ');
    if (!summed.succeeded || blank != 32)
        return Result<std::string>::Failure(
            "cannot read the MD5 sum of " + hostFile + ": " +
            (summed.reason.empty() ? "rclone gave none" : summed.reason));
    return summed.out.substr(0, blank);
}

Result<void> SendFiles(const CopyTarget& target, const std::string& hostFolder,
                       const std::vector<std::string>& names, const CopyWatch& watch) {
    if (names.empty())
        return {};
    const std::optional<CopyTarget> incoming = IncomingFolder(target);
    if (!incoming)
        return Result<void>::Failure(target.Text() + " names no folder for the copy");
    std::string list;
    for (const std::string& name : names)
        list += name + "\n";
    // A file of the same size there already is replaced all the same: a
    // storage without modification times would otherwise be taken to hold
    // it (the record of what was backed up keeps its size as it changes).
    const std::vector<std::string> chosen = {"--ignore-times", "--files-from-raw", "-"};
    const RcloneOutcome sent = RunRclone(
        With(With({"copy"}, chosen), With(kTransferOptions, {"--", hostFolder, incoming->Text()})),
        watch, list);
    if (sent.stopped)
        return Result<void>::Failure("the copy was cancelled");
    if (!sent.succeeded)
        return Result<void>::Failure("cannot send to " + target.Text() + ": " + sent.reason);
    CopyWatch moving = watch;
    moving.percent = {};
    const RcloneOutcome moved =
        RunRclone(With(With({"move", "--delete-empty-src-dirs"}, chosen),
                       With(kTransferOptions, {"--", incoming->Text(), target.Text()})),
                  moving, list);
    if (moved.stopped)
        return Result<void>::Failure("the copy was cancelled");
    if (!moved.succeeded)
        return Result<void>::Failure("cannot move the files sent into " + target.Text() + ": " +
                                     moved.reason);

    // Each file checked against the local one.
    const Result<std::vector<RemoteFile>> there = ListCopyFiles(target);
    if (!there)
        return Result<void>::Failure(there.reason());
    for (const std::string& name : names) {
        const auto found = std::find_if(there->begin(), there->end(),
                                        [&](const RemoteFile& file) { return file.name == name; });
        const std::string hostFile = hostFolder + "/" + name;
        const std::optional<long long> size = LocalSize(hostFile);
        if (found == there->end())
            return Result<void>::Failure(name + " is not on " + target.Text() + " after sending");
        if (!size)
            return Result<void>::Failure("the local file " + hostFile + " cannot be read");
        if (found->size != *size)
            return Result<void>::Failure(name + " on " + target.Text() + " has " +
                                         std::to_string(found->size) + " bytes, the local file " +
                                         std::to_string(*size));
        if (found->md5.empty())
            continue;
        const Result<std::string> md5 = LocalMd5(hostFile);
        if (!md5)
            return Result<void>::Failure(md5.reason());
        if (*md5 != found->md5)
            return Result<void>::Failure(name + " on " + target.Text() +
                                         " differs from the local file (MD5 sum)");
    }
    return {};
}

void RemoveIncoming(const CopyTarget& target) {
    if (const std::optional<CopyTarget> incoming = IncomingFolder(target))
        RunRclone(With({"purge"}, With(kTransferOptions, {"--", incoming->Text()})));
}

Result<void> DeleteCopyFile(const CopyTarget& target, const std::string& name) {
    const RcloneOutcome deleted =
        RunRclone(With({"deletefile"}, With(kTransferOptions, {"--", target.Inside(name)})));
    if (deleted.succeeded || deleted.exitCode == kRcloneNotFound)
        return {};
    return Result<void>::Failure("cannot delete " + name + " from " + target.Text() + ": " +
                                 deleted.reason);
}

Result<std::vector<CopyDifference>> CompareCopy(const CopyTarget& target,
                                                const std::string& hostFolder,
                                                const std::vector<std::string>& names,
                                                const CopyWatch& watch) {
    using Differences = Result<std::vector<CopyDifference>>;
    std::vector<CopyDifference> differences;
    if (names.empty())
        return differences;
    const Result<std::vector<RemoteFile>> files = ListCopyFiles(target);
    if (!files)
        return Differences::Failure(files.reason());
    bool summed = false;
    for (const RemoteFile& file : *files)
        summed = summed || !file.md5.empty();
    std::string list;
    for (const std::string& name : names)
        list += name + "\n";
    std::vector<std::string> args = {"check", "--one-way",        "--combined",
                                     "-",     "--files-from-raw", "-"};
    // Without sums, sizes alone would miss a file changed in place.
    if (!summed)
        args.emplace_back("--download");
    args =
        With(args, {"--retries", "2", "--low-level-retries", "3", "--", hostFolder, target.Text()});
    const RcloneOutcome checked = RunRclone(args, watch, list);
    if (checked.stopped)
        return Differences::Failure("the check of the copy was cancelled");
    for (const std::string_view line : RcloneOutputLines(checked.out)) {
        if (line.size() < 3 || line[1] != ' ')
            continue;
        const std::string name(line.substr(2));
        // "+": only here, so missing on the copy; "*": both, different;
        // "!": could not be read; "=": the same.
        switch (line[0]) {
        case '+':
            differences.push_back({name, "is missing"});
            break;
        case '*':
            differences.push_back({name, "differs from the local file"});
            break;
        case '!':
            differences.push_back({name, "could not be read"});
            break;
        default:
            break;
        }
    }
    std::sort(differences.begin(), differences.end(),
              [](const CopyDifference& a, const CopyDifference& b) { return a.name < b.name; });
    // rclone ends with 1 when it found differences; anything else without
    // a difference named is a failure of the check itself.
    if (!checked.succeeded && differences.empty())
        return Differences::Failure("cannot check the copy on " + target.Text() + ": " +
                                    checked.reason);
    return differences;
}

Result<void> FetchFolder(const CopyTarget& target, const std::string& hostFolder,
                         const CopyWatch& watch) {
    const RcloneOutcome fetched = RunRclone(
        With({"copy"}, With(kTransferOptions, {"--max-depth", "1", "--exclude", "/.*.partial", "--",
                                               target.Text(), hostFolder})),
        watch);
    if (fetched.stopped)
        return Result<void>::Failure("the download was cancelled");
    if (!fetched.succeeded)
        return Result<void>::Failure("cannot download " + target.Text() + ": " + fetched.reason);
    const RcloneOutcome checked = RunRclone({"check", "--one-way", "--max-depth", "1", "--exclude",
                                             "/.*.partial", "--", target.Text(), hostFolder},
                                            watch);
    if (!checked.succeeded)
        return Result<void>::Failure("the download of " + target.Text() +
                                     " does not match the copy: " + checked.reason);
    return {};
}

} // namespace rk
