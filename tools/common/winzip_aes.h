#pragma once
// WinZip AES-256 entries (AE-2), as 7-Zip, bsdtar and the WinZip family read
// and write them. An encrypted entry's data is a 16-byte random salt, a
// 2-byte password verification value, the entry's (deflated or stored)
// bytes enciphered with AES-256 in WinZip's counter mode (a little-endian
// block counter from 1), and the first 10 bytes of an HMAC-SHA1 of the
// enciphered bytes. Its headers give method 99 with the real method in the
// extra field 0x9901 (vendor version 2, "AE", strength 3) and a CRC of 0:
// the authentication code is the check.
// The keys come from PBKDF2-HMAC-SHA1 of the password and the entry's salt,
// 1000 rounds, 66 bytes: the cipher key, the MAC key and the verification
// value. Every entry has its own salt, so no two entries share a keystream.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include <openssl/sha.h>

typedef struct evp_cipher_ctx_st EVP_CIPHER_CTX;

namespace rk::tools {

inline constexpr std::uint16_t kAesMethod = 99;
inline constexpr std::uint16_t kAesExtraFieldId = 0x9901;
// The field's header and its 7 bytes.
inline constexpr std::size_t kAesExtraFieldSize = 11;
inline constexpr std::uint16_t kAesVendorVersion = 2;
inline constexpr unsigned char kAesStrength256 = 3;
inline constexpr std::size_t kAesSaltSize = 16;
inline constexpr std::size_t kAesVerifierSize = 2;
inline constexpr std::size_t kAesAuthCodeSize = 10;
// What the salt, the verification value and the code add to the data.
inline constexpr std::size_t kAesOverhead = kAesSaltSize + kAesVerifierSize + kAesAuthCodeSize;
// The version a reader needs for AES entries.
inline constexpr std::uint16_t kAesVersionNeeded = 51;
inline constexpr int kAesKeyRounds = 1000;

// The keys of one entry; cleared when they go.
struct AesKeys {
    std::array<unsigned char, 32> cipher{};
    std::array<unsigned char, 32> mac{};
    std::array<unsigned char, kAesVerifierSize> verifier{};
    AesKeys() = default;
    ~AesKeys();
    AesKeys(const AesKeys&) = delete;
    AesKeys& operator=(const AesKeys&) = delete;
};

// Derives entry keys from one password. The password's HMAC states are
// made once, and each of PBKDF2's rounds is then two SHA-1 blocks from
// them: the same result as PKCS5_PBKDF2_HMAC, at a third of its cost.
class AesKeyMaker {
  public:
    explicit AesKeyMaker(std::string_view password);
    ~AesKeyMaker();
    AesKeyMaker(const AesKeyMaker&) = delete;
    AesKeyMaker& operator=(const AesKeyMaker&) = delete;

    void Derive(const unsigned char* salt, AesKeys& keys) const;

  private:
    SHA_CTX inner_{};
    SHA_CTX outer_{};
};

// HMAC-SHA1 over bytes given in pieces, its key's states made once.
class HmacSha1 {
  public:
    HmacSha1() = default;
    ~HmacSha1();
    HmacSha1(const HmacSha1&) = delete;
    HmacSha1& operator=(const HmacSha1&) = delete;

    void Start(const unsigned char* key, std::size_t length);
    void Add(const unsigned char* data, std::size_t length);
    // The first kAesAuthCodeSize bytes of the MAC.
    void Finish(unsigned char* code);

  private:
    SHA_CTX running_{};
    SHA_CTX outer_{};
};

// AES-256 in WinZip's counter mode with the entry's HMAC, for one entry at a
// time; kept for the next (its cipher context is made once).
class AesEntryCipher {
  public:
    AesEntryCipher();
    ~AesEntryCipher();
    AesEntryCipher(const AesEntryCipher&) = delete;
    AesEntryCipher& operator=(const AesEntryCipher&) = delete;

    // False when OpenSSL could not set the cipher up.
    bool Start(const AesKeys& keys);
    // Enciphers `length` bytes of `in` into `out` (which may be `in`) and
    // adds them to the MAC.
    bool Encrypt(const unsigned char* in, unsigned char* out, std::size_t length);
    // Adds `length` enciphered bytes to the MAC and deciphers them.
    bool Decrypt(const unsigned char* in, unsigned char* out, std::size_t length);
    // The authentication code of all the enciphered bytes.
    void Finish(unsigned char* code) { mac_.Finish(code); }

  private:
    bool Apply(const unsigned char* in, unsigned char* out, std::size_t length);
    bool MakeKeystream(std::size_t blocks);

    EVP_CIPHER_CTX* context_ = nullptr;
    HmacSha1 mac_;
    std::uint64_t counterLow_ = 0;
    std::uint64_t counterHigh_ = 0;
    // Keystream made ahead and how much of it is used.
    std::array<unsigned char, 4096> counters_{};
    std::array<unsigned char, 4096> keystream_{};
    std::size_t made_ = 0;
    std::size_t used_ = 0;
};

// The extra field of an AES entry whose bytes are of `realMethod` (8 or 0).
void AppendAesExtraField(std::vector<unsigned char>& out, std::uint16_t realMethod);

// What an entry's 0x9901 field says.
struct AesFieldFacts {
    std::uint16_t vendorVersion = 0;
    unsigned char strength = 0;
    std::uint16_t realMethod = 0;
};
// Looks for the field among an entry's extra fields.
std::optional<AesFieldFacts> FindAesExtraField(std::string_view extraFields);

// Clears memory that held a password or keys.
void ClearSecret(void* data, std::size_t length);

} // namespace rk::tools
