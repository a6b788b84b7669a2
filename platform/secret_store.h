#pragma once
// The passwords of an encrypted job, kept in the desktop's Secret Service
// keyring (through libsecret), one item per job, found by the job store
// folder and the job name. The item holds the job's passwords newest first,
// one per line, so archives made before a password change still open.

#include "platform/result.h"
#include "platform/secret_text.h"

#include <string>
#include <vector>

namespace rk::platform {

// Which job an item belongs to: the job store folder (Windows text, as
// JobStoreFolder) and the job's name.
struct SecretOwner {
    std::string storeFolder;
    std::string jobName;
};

// Why the keyring could not answer.
enum class KeyringState {
    Ready,       // it answered
    Unavailable, // no session bus, or no Secret Service on it
    Locked,      // the job's item (or the keyring) is locked and was not unlocked
    Failed,      // it answered with an error
};

struct KeyringAnswer {
    KeyringState state = KeyringState::Ready;
    // The job's passwords, newest first; empty when none is stored.
    std::vector<std::string> passwords;
    // What went wrong, for the user, when state is not Ready.
    std::string problem;
};

// Reads the job's passwords. With `mayAskToUnlock` the keyring may show its
// own prompt to unlock a locked keyring (a person is there); without, a
// locked item answers Locked and nothing waits for anyone.
KeyringAnswer ReadKeyringPasswords(const SecretOwner& owner, bool mayAskToUnlock);

// Stores the job's passwords (newest first), replacing what was stored. The
// keyring may ask to be unlocked.
[[nodiscard]] Result<void> StoreKeyringPasswords(const SecretOwner& owner,
                                                 const std::vector<std::string>& passwords);

// Removes the job's item, when there is one.
[[nodiscard]] Result<void> ForgetKeyringPasswords(const SecretOwner& owner);

} // namespace rk::platform
