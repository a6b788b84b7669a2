#pragma once
// Where a run finds a job's passwords: the command RAVELKEEP_PASSWORD_COMMAND
// names when it is set (the keyring is then not asked), else the desktop's
// keyring, found by the job store folder and the job's name; a password
// typed during this run of the program comes first. What a run hands the
// utilities is built here (engine/tool_runner.h hands it over).

#include "engine/tool_runner.h"
#include "platform/result.h"
#include "platform/secret_store.h"
#include "platform/secret_text.h"

#include <functional>
#include <optional>
#include <string>

namespace rk {

// The most passwords the utilities take, and the longest.
inline constexpr std::size_t kMostPasswords = 16;
inline constexpr std::size_t kLongestPassword = 1024;

// The keyring item's owner of the job in `jobFolder` (Windows text, the job
// store folder and the job's name, a trailing backslash or not).
platform::SecretOwner SecretOwnerOf(const std::string& jobFolder);

struct JobPasswordLookup {
    platform::KeyringState state = platform::KeyringState::Ready;
    platform::ClearedPasswords passwords;
    // Why none could be read, when the state is not Ready.
    std::string problem;
};

// The job's passwords, newest first: typed ones of this run, then the
// command's or the keyring's.
JobPasswordLookup LookUpJobPasswords(const std::string& jobFolder);

// Whether the keyring may show its own prompt to unlock itself (a person is
// there). Off until the program says so.
void SetKeyringMayPrompt(bool mayPrompt);

// Asks a person for a password the program has none of: the job's name and
// why; nothing when cancelled. The window installs one; windowless runs have
// none.
using PasswordAsker =
    std::function<std::optional<std::string>(const std::string& jobName, const std::string& why)>;
void SetPasswordAsker(PasswordAsker asker);

// Remembers a password typed for the job for the rest of this run of the
// program; it is never written anywhere.
void RememberTypedPassword(const std::string& jobFolder, const std::string& password);

// A password the utilities can take: not empty, at most kLongestPassword
// bytes, no line break. Empty when it can; else why not.
std::string PasswordProblem(const std::string& password);

// What a run of the job hands the utilities. `encrypt`: the zip utility
// encrypts what it writes (the job encrypts). `decrypt`: the run reads
// encrypted archives. Neither: nothing is looked up. When a password is
// needed and none is known, the asker is asked; without an answer, why not.
Result<ToolPasswords> PasswordsForRun(const std::string& jobFolder, bool encrypt, bool decrypt);

// What a run that reads `archivePaths` (Windows text) of the job in
// `jobFolder` hands the utilities: the job's passwords when one of them is
// encrypted, and, when the run `writesArchive` (a consolidation), the first
// for the zip utility when the job encrypts its new backups.
Result<ToolPasswords> PasswordsForArchives(const std::string& jobFolder,
                                           const std::vector<std::string>& archivePaths,
                                           bool writesArchive);

// Whether the job in `jobFolder` encrypts its new backups.
bool FolderJobEncrypts(const std::string& jobFolder);

} // namespace rk
