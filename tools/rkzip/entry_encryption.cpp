#include "tools/rkzip/entry_encryption.h"

#include <cstring>
#include <memory>

#include <openssl/rand.h>

namespace rk::tools {

namespace {

// Set before the packing threads start and only read after: the threads
// share it without a lock.
struct RunPassword {
    std::string password;
    std::unique_ptr<AesKeyMaker> keys;
    bool whenPacking = false;
    ~RunPassword() { ClearSecret(password.data(), password.size()); }
};

RunPassword& TheRunPassword() {
    static RunPassword run;
    return run;
}

// One cipher per packing thread: its context is made once.
EntryEncryption& ThreadEncryption() {
    thread_local EntryEncryption encryption;
    return encryption;
}

} // namespace

void EncryptEntriesWith(std::string_view password) {
    RunPassword& run = TheRunPassword();
    run.password.assign(password);
    run.keys = std::make_unique<AesKeyMaker>(password);
}

bool EncryptingEntries() {
    return TheRunPassword().keys != nullptr;
}

void EncryptWhenPacking(bool encrypt) {
    TheRunPassword().whenPacking = encrypt;
}

bool EncryptingWhenPacking() {
    const RunPassword& run = TheRunPassword();
    return run.whenPacking && run.keys != nullptr;
}

const std::string& EntryPassword() {
    return TheRunPassword().password;
}

bool EntryEncryption::Begin() {
    const AesKeyMaker* maker = TheRunPassword().keys.get();
    if (maker == nullptr || RAND_bytes(header_, static_cast<int>(kAesSaltSize)) != 1)
        return false;
    AesKeys keys;
    maker->Derive(header_, keys);
    std::memcpy(header_ + kAesSaltSize, keys.verifier.data(), kAesVerifierSize);
    return cipher_.Start(keys);
}

bool EncryptEntryBytes(const unsigned char* in, std::size_t length, ByteBuffer& out) {
    EntryEncryption& encryption = ThreadEncryption();
    if (!encryption.Begin())
        return false;
    out.resize(length + kAesOverhead);
    std::memcpy(out.data(), encryption.header(), EntryEncryption::kHeaderSize);
    unsigned char* data = out.data() + EntryEncryption::kHeaderSize;
    if (!encryption.Encrypt(in, data, length))
        return false;
    encryption.Finish(data + length);
    return true;
}

} // namespace rk::tools
