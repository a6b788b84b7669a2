// SHA1_Transform is the one call that runs a single SHA-1 block from a kept
// state, which is what makes PBKDF2 cheap here; OpenSSL 3 keeps it but marks
// it as of its old interface.
#define OPENSSL_SUPPRESS_DEPRECATED

#include "tools/common/winzip_aes.h"

#include <algorithm>
#include <cstring>

#include <openssl/crypto.h>
#include <openssl/evp.h>

namespace rk::tools {

namespace {

constexpr std::size_t kShaBlock = 64;
constexpr std::size_t kShaDigest = 20;
constexpr std::size_t kAesBlock = 16;
// The bytes PBKDF2 makes for AES-256: two keys and the verification value.
constexpr std::size_t kDerivedSize = 32 + 32 + kAesVerifierSize;

// The state after `key` padded and XORed with `pad`, as HMAC starts.
void StartKeyed(SHA_CTX& context, const unsigned char* key, std::size_t length, unsigned char pad) {
    std::array<unsigned char, kShaBlock> block{};
    std::array<unsigned char, kShaDigest> digest{};
    if (length > kShaBlock) {
        SHA1(key, length, digest.data());
        key = digest.data();
        length = digest.size();
    }
    std::memcpy(block.data(), key, length);
    for (auto& byte : block)
        byte ^= pad;
    SHA1_Init(&context);
    SHA1_Update(&context, block.data(), block.size());
    ClearSecret(block.data(), block.size());
    ClearSecret(digest.data(), digest.size());
}

void PutDigest(const SHA_CTX& state, unsigned char* out) {
    const SHA_LONG words[5] = {state.h0, state.h1, state.h2, state.h3, state.h4};
    for (int i = 0; i < 5; ++i) {
        out[4 * i] = static_cast<unsigned char>(words[i] >> 24);
        out[4 * i + 1] = static_cast<unsigned char>(words[i] >> 16);
        out[4 * i + 2] = static_cast<unsigned char>(words[i] >> 8);
        out[4 * i + 3] = static_cast<unsigned char>(words[i]);
    }
}

// One SHA-1 block holding a 20-byte message that follows one block already
// hashed: the message, the end mark, and the length of both (84 bytes).
void PadTwentyAfterOneBlock(unsigned char* block) {
    std::memset(block + kShaDigest, 0, kShaBlock - kShaDigest);
    block[kShaDigest] = 0x80;
    constexpr unsigned bits = (kShaBlock + kShaDigest) * 8;
    block[kShaBlock - 2] = static_cast<unsigned char>(bits >> 8);
    block[kShaBlock - 1] = static_cast<unsigned char>(bits);
}

} // namespace

void ClearSecret(void* data, std::size_t length) {
    OPENSSL_cleanse(data, length);
}

AesKeys::~AesKeys() {
    ClearSecret(cipher.data(), cipher.size());
    ClearSecret(mac.data(), mac.size());
    ClearSecret(verifier.data(), verifier.size());
}

AesKeyMaker::AesKeyMaker(std::string_view password) {
    const auto* key = reinterpret_cast<const unsigned char*>(password.data());
    StartKeyed(inner_, key, password.size(), 0x36);
    StartKeyed(outer_, key, password.size(), 0x5c);
}

AesKeyMaker::~AesKeyMaker() {
    ClearSecret(&inner_, sizeof inner_);
    ClearSecret(&outer_, sizeof outer_);
}

void AesKeyMaker::Derive(const unsigned char* salt, AesKeys& keys) const {
    // PBKDF2: block i is U1 ^ U2 ^ ... with U1 = HMAC(salt || i) and
    // U(n+1) = HMAC(Un). The salt and the block number take 20 bytes, as
    // every Un does, so every HMAC is one inner and one outer block.
    static_assert(kAesSaltSize + 4 == kShaDigest);
    std::array<unsigned char, kShaBlock> innerBlock{};
    std::array<unsigned char, kShaBlock> outerBlock{};
    std::array<unsigned char, kShaDigest> total{};
    std::array<unsigned char, 4 * kShaDigest> derived{};
    PadTwentyAfterOneBlock(innerBlock.data());
    PadTwentyAfterOneBlock(outerBlock.data());
    for (std::uint32_t number = 1; (number - 1) * kShaDigest < kDerivedSize; ++number) {
        std::memcpy(innerBlock.data(), salt, kAesSaltSize);
        innerBlock[16] = static_cast<unsigned char>(number >> 24);
        innerBlock[17] = static_cast<unsigned char>(number >> 16);
        innerBlock[18] = static_cast<unsigned char>(number >> 8);
        innerBlock[19] = static_cast<unsigned char>(number);
        for (int round = 0; round < kAesKeyRounds; ++round) {
            SHA_CTX state = inner_;
            SHA1_Transform(&state, innerBlock.data());
            PutDigest(state, outerBlock.data());
            state = outer_;
            SHA1_Transform(&state, outerBlock.data());
            PutDigest(state, innerBlock.data());
            if (round == 0)
                std::memcpy(total.data(), innerBlock.data(), kShaDigest);
            else
                for (std::size_t i = 0; i < kShaDigest; ++i)
                    total[i] ^= innerBlock[i];
        }
        std::memcpy(derived.data() + (number - 1) * kShaDigest, total.data(), kShaDigest);
    }
    std::memcpy(keys.cipher.data(), derived.data(), 32);
    std::memcpy(keys.mac.data(), derived.data() + 32, 32);
    std::memcpy(keys.verifier.data(), derived.data() + 64, kAesVerifierSize);
    ClearSecret(innerBlock.data(), innerBlock.size());
    ClearSecret(outerBlock.data(), outerBlock.size());
    ClearSecret(total.data(), total.size());
    ClearSecret(derived.data(), derived.size());
}

HmacSha1::~HmacSha1() {
    ClearSecret(&running_, sizeof running_);
    ClearSecret(&outer_, sizeof outer_);
}

void HmacSha1::Start(const unsigned char* key, std::size_t length) {
    StartKeyed(running_, key, length, 0x36);
    StartKeyed(outer_, key, length, 0x5c);
}

void HmacSha1::Add(const unsigned char* data, std::size_t length) {
    SHA1_Update(&running_, data, length);
}

void HmacSha1::Finish(unsigned char* code) {
    std::array<unsigned char, kShaDigest> digest{};
    SHA1_Final(digest.data(), &running_);
    SHA1_Update(&outer_, digest.data(), digest.size());
    SHA1_Final(digest.data(), &outer_);
    std::memcpy(code, digest.data(), kAesAuthCodeSize);
    ClearSecret(digest.data(), digest.size());
}

AesEntryCipher::AesEntryCipher() : context_(EVP_CIPHER_CTX_new()) {}

AesEntryCipher::~AesEntryCipher() {
    EVP_CIPHER_CTX_free(context_);
    ClearSecret(keystream_.data(), keystream_.size());
}

bool AesEntryCipher::Start(const AesKeys& keys) {
    if (context_ == nullptr ||
        EVP_EncryptInit_ex(context_, EVP_aes_256_ecb(), nullptr, keys.cipher.data(), nullptr) !=
            1 ||
        EVP_CIPHER_CTX_set_padding(context_, 0) != 1)
        return false;
    mac_.Start(keys.mac.data(), keys.mac.size());
    counterLow_ = 0;
    counterHigh_ = 0;
    made_ = 0;
    used_ = 0;
    return true;
}

bool AesEntryCipher::MakeKeystream(std::size_t blocks) {
    // WinZip's counter: a 128-bit little-endian number, 1 for the first block.
    for (std::size_t i = 0; i < blocks; ++i) {
        if (++counterLow_ == 0)
            ++counterHigh_;
        unsigned char* block = counters_.data() + i * kAesBlock;
        for (int b = 0; b < 8; ++b) {
            block[b] = static_cast<unsigned char>(counterLow_ >> (8 * b));
            block[8 + b] = static_cast<unsigned char>(counterHigh_ >> (8 * b));
        }
    }
    int length = 0;
    const int wanted = static_cast<int>(blocks * kAesBlock);
    if (EVP_EncryptUpdate(context_, keystream_.data(), &length, counters_.data(), wanted) != 1 ||
        length != wanted)
        return false;
    made_ = static_cast<std::size_t>(length);
    used_ = 0;
    return true;
}

bool AesEntryCipher::Apply(const unsigned char* in, unsigned char* out, std::size_t length) {
    while (length > 0) {
        if (used_ == made_) {
            const std::size_t blocks =
                std::min(keystream_.size() / kAesBlock, (length + kAesBlock - 1) / kAesBlock);
            if (!MakeKeystream(blocks))
                return false;
        }
        const std::size_t n = std::min(length, made_ - used_);
        const unsigned char* key = keystream_.data() + used_;
        std::size_t i = 0;
        for (; i + 8 <= n; i += 8) {
            std::uint64_t a = 0;
            std::uint64_t b = 0;
            std::memcpy(&a, in + i, 8);
            std::memcpy(&b, key + i, 8);
            a ^= b;
            std::memcpy(out + i, &a, 8);
        }
        for (; i < n; ++i)
            out[i] = static_cast<unsigned char>(in[i] ^ key[i]);
        used_ += n;
        in += n;
        out += n;
        length -= n;
    }
    return true;
}

bool AesEntryCipher::Encrypt(const unsigned char* in, unsigned char* out, std::size_t length) {
    if (!Apply(in, out, length))
        return false;
    mac_.Add(out, length);
    return true;
}

bool AesEntryCipher::Decrypt(const unsigned char* in, unsigned char* out, std::size_t length) {
    mac_.Add(in, length);
    return Apply(in, out, length);
}

void AppendAesExtraField(std::vector<unsigned char>& out, std::uint16_t realMethod) {
    const unsigned char field[kAesExtraFieldSize] = {
        static_cast<unsigned char>(kAesExtraFieldId),
        static_cast<unsigned char>(kAesExtraFieldId >> 8),
        7,
        0,
        static_cast<unsigned char>(kAesVendorVersion),
        static_cast<unsigned char>(kAesVendorVersion >> 8),
        'A',
        'E',
        kAesStrength256,
        static_cast<unsigned char>(realMethod),
        static_cast<unsigned char>(realMethod >> 8)};
    out.insert(out.end(), field, field + kAesExtraFieldSize);
}

std::optional<AesFieldFacts> FindAesExtraField(std::string_view fields) {
    const auto at = [&fields](std::size_t i) {
        return static_cast<std::uint16_t>(static_cast<unsigned char>(fields[i]) |
                                          static_cast<unsigned char>(fields[i + 1]) << 8);
    };
    std::size_t i = 0;
    while (i + 4 <= fields.size()) {
        const std::uint16_t id = at(i);
        const std::uint16_t size = at(i + 2);
        if (i + 4 + size > fields.size())
            return std::nullopt;
        if (id == kAesExtraFieldId && size >= 7 && fields[i + 6] == 'A' && fields[i + 7] == 'E') {
            AesFieldFacts facts;
            facts.vendorVersion = at(i + 4);
            facts.strength = static_cast<unsigned char>(fields[i + 8]);
            facts.realMethod = at(i + 9);
            return facts;
        }
        i += 4 + size;
    }
    return std::nullopt;
}

} // namespace rk::tools
