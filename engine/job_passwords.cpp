#include "engine/job_passwords.h"

#include "engine/archive_encryption.h"
#include "engine/job_encryption.h"
#include "platform/password_command.h"

#include <algorithm>
#include <map>

namespace rk {

namespace {

bool& KeyringMayPrompt() {
    static bool mayPrompt = false;
    return mayPrompt;
}

PasswordAsker& Asker() {
    static PasswordAsker asker;
    return asker;
}

// Typed passwords by job folder, newest first, for this run of the program.
std::map<std::string, platform::ClearedPasswords>& Typed() {
    static std::map<std::string, platform::ClearedPasswords> typed;
    return typed;
}

std::string FolderKey(const std::string& jobFolder) {
    std::string key = jobFolder;
    while (!key.empty() && key.back() == '\\')
        key.pop_back();
    return key;
}

// Adds the passwords not yet in `into` after those there.
void AddNew(std::vector<std::string>& into, const std::vector<std::string>& more) {
    for (const std::string& password : more)
        if (!password.empty() && std::find(into.begin(), into.end(), password) == into.end())
            into.push_back(password);
}

} // namespace

platform::SecretOwner SecretOwnerOf(const std::string& jobFolder) {
    const std::string folder = FolderKey(jobFolder);
    const size_t cut = folder.rfind('\\');
    if (cut == std::string::npos)
        return {std::string(), folder};
    return {folder.substr(0, cut + 1), folder.substr(cut + 1)};
}

void SetKeyringMayPrompt(bool mayPrompt) {
    KeyringMayPrompt() = mayPrompt;
}

void SetPasswordAsker(PasswordAsker asker) {
    Asker() = std::move(asker);
}

void RememberTypedPassword(const std::string& jobFolder, const std::string& password) {
    platform::ClearedPasswords& typed = Typed()[FolderKey(jobFolder)];
    std::vector<std::string> passwords{password};
    AddNew(passwords, typed.all());
    typed = platform::ClearedPasswords(std::move(passwords));
}

std::string PasswordProblem(const std::string& password) {
    if (password.empty())
        return "The password is empty.";
    if (password.size() > kLongestPassword)
        return "The password is longer than " + std::to_string(kLongestPassword) + " bytes.";
    if (password.find_first_of("\r\n") != std::string::npos)
        return "The password holds a line break.";
    return {};
}

JobPasswordLookup LookUpJobPasswords(const std::string& jobFolder) {
    JobPasswordLookup lookup;
    std::vector<std::string> passwords;
    if (const auto typed = Typed().find(FolderKey(jobFolder)); typed != Typed().end())
        AddNew(passwords, typed->second.all());
    if (const std::optional<std::string> command = platform::PasswordCommand()) {
        Result<std::vector<std::string>> printed = platform::PasswordsFromCommand(*command);
        if (printed) {
            AddNew(passwords, *printed);
            platform::ClearSecretTexts(*printed);
        } else {
            lookup.state = platform::KeyringState::Failed;
            lookup.problem = printed.reason();
        }
    } else {
        platform::KeyringAnswer answer =
            platform::ReadKeyringPasswords(SecretOwnerOf(jobFolder), KeyringMayPrompt());
        AddNew(passwords, answer.passwords);
        platform::ClearSecretTexts(answer.passwords);
        lookup.state = answer.state;
        lookup.problem = answer.problem;
    }
    // The utilities take so many, so long.
    std::erase_if(passwords,
                  [](const std::string& password) { return !PasswordProblem(password).empty(); });
    if (passwords.size() > kMostPasswords)
        passwords.resize(kMostPasswords);
    lookup.passwords = platform::ClearedPasswords(std::move(passwords));
    return lookup;
}

Result<ToolPasswords> PasswordsForRun(const std::string& jobFolder, bool encrypt, bool decrypt) {
    ToolPasswords handed;
    handed.encrypt = encrypt;
    if (!encrypt && !decrypt)
        return handed;
    JobPasswordLookup lookup = LookUpJobPasswords(jobFolder);
    const std::string jobName = SecretOwnerOf(jobFolder).jobName;
    const std::string why =
        encrypt
            ? "The backups of \"" + jobName + "\" are encrypted, and its password is not known"
            : "The backups of \"" + jobName + "\" are encrypted, and no password for them is known";
    if (lookup.passwords.empty() && Asker()) {
        std::optional<std::string> typed =
            Asker()(jobName, why + (lookup.problem.empty() ? "." : " (" + lookup.problem + ")."));
        if (typed && PasswordProblem(*typed).empty()) {
            RememberTypedPassword(jobFolder, *typed);
            lookup = LookUpJobPasswords(jobFolder);
        }
        if (typed)
            platform::ClearSecretText(*typed);
    }
    if (lookup.passwords.empty())
        return Result<ToolPasswords>::Failure(
            why + ": " + (lookup.problem.empty() ? "none is stored for it" : lookup.problem) + ".");
    handed.passwords = std::move(lookup.passwords);
    return handed;
}

bool FolderJobEncrypts(const std::string& jobFolder) {
    const platform::SecretOwner owner = SecretOwnerOf(jobFolder);
    if (owner.storeFolder.empty() || owner.jobName.empty())
        return false;
    return ReadJobEncryption(Job(owner.storeFolder, owner.jobName)).encrypt;
}

Result<ToolPasswords> PasswordsForArchives(const std::string& jobFolder,
                                           const std::vector<std::string>& archivePaths,
                                           bool writesArchive) {
    return PasswordsForRun(jobFolder, writesArchive && FolderJobEncrypts(jobFolder),
                           AnyArchiveEncrypted(archivePaths));
}

} // namespace rk
