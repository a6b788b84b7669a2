#pragma once
// Locks the Secret Service's default collection, as a screen lock or the end
// of a session does (libsecret, kept apart from the Qt headers).

#include <string>

namespace rk::test {

// True when the Secret Service answers and its default collection exists
// and is unlocked (the daemon made and unlocked the login keyring).
bool DefaultKeyringReady();

// Empty when the collection was locked; else why not.
std::string LockDefaultKeyring();

} // namespace rk::test
