#include "tools/rkunzip/entry_decryption.h"

#include <memory>
#include <vector>

#include <openssl/crypto.h>

namespace rk::tools {

namespace {

// Set before the workers start and only read after.
std::vector<std::unique_ptr<AesKeyMaker>>& KeyMakers() {
    static std::vector<std::unique_ptr<AesKeyMaker>> makers;
    return makers;
}

// The caller's, which it keeps for the run and clears.
const Passwords*& GivenList() {
    static const Passwords* given = nullptr;
    return given;
}

} // namespace

const std::vector<std::string>& GivenPasswords() {
    static const std::vector<std::string> none;
    return GivenList() != nullptr ? GivenList()->list() : none;
}

void DecryptWith(const Passwords& passwords) {
    GivenList() = &passwords;
    auto& makers = KeyMakers();
    makers.clear();
    for (const auto& password : passwords.list())
        makers.push_back(std::make_unique<AesKeyMaker>(password));
}

std::string RefusalText(const std::string& name, Refusal refusal) {
    switch (refusal) {
    case Refusal::Password:
        return name + ": wrong or missing password";
    case Refusal::Authentication:
        return name + ": authentication failed: the data is damaged or altered";
    case Refusal::None:
        break;
    }
    return name;
}

bool EntryDecryption::Begin(const unsigned char* header) {
    // The passwords in the order given: the newest first.
    for (const auto& maker : KeyMakers()) {
        AesKeys keys;
        maker->Derive(header, keys);
        if (CRYPTO_memcmp(keys.verifier.data(), header + kAesSaltSize, kAesVerifierSize) == 0)
            return cipher_.Start(keys);
    }
    return false;
}

bool EntryDecryption::Authentic(const unsigned char* storedCode) {
    unsigned char code[kAesAuthCodeSize];
    cipher_.Finish(code);
    const bool same = CRYPTO_memcmp(code, storedCode, kAesAuthCodeSize) == 0;
    ClearSecret(code, sizeof code);
    return same;
}

} // namespace rk::tools
