#pragma once
// rkzip's encryption of the entries it writes: when it is given a password
// (see tools/common/password_input.h), every file and link entry is WinZip
// AES-256 (AE-2) with the first password. Packed files are encrypted on the
// packing threads right after they are deflated, so the costly part, the
// key derivation of each entry's own salt, runs on every core; files read as
// they are written are encrypted piece by piece on the way out.

#include "tools/common/winzip_aes.h"
#include "tools/rkzip/byte_buffer.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace rk::tools {

// Sets the password every entry of this run is encrypted with; called once,
// before any packing thread starts.
void EncryptEntriesWith(std::string_view password);

// Whether entries are encrypted in this run.
bool EncryptingEntries();

// Whether the packing threads encrypt what they pack: so for a new archive,
// which rkzip writes itself; libzip, adding entries to an archive, encrypts
// what it is given as it writes it.
void EncryptWhenPacking(bool encrypt);
bool EncryptingWhenPacking();

// The password, for the entries libzip writes when adding to an archive.
const std::string& EntryPassword();

// One entry's encryption: its salt and verification value first, then its
// bytes enciphered, then the authentication code.
class EntryEncryption {
  public:
    // Draws the entry's salt and derives its keys; false when no random
    // salt could be had or the cipher could not be set up.
    bool Begin();
    // The salt and the verification value, the data's first bytes.
    const unsigned char* header() const { return header_; }
    static constexpr std::size_t kHeaderSize = kAesSaltSize + kAesVerifierSize;
    bool Encrypt(const unsigned char* in, unsigned char* out, std::size_t length) {
        return cipher_.Encrypt(in, out, length);
    }
    void Finish(unsigned char* code) { cipher_.Finish(code); }

  private:
    AesEntryCipher cipher_;
    unsigned char header_[kHeaderSize] = {};
};

// The data of an entry holding `length` bytes of `in` (deflated or stored),
// encrypted, into `out`; false when it could not be encrypted.
bool EncryptEntryBytes(const unsigned char* in, std::size_t length, ByteBuffer& out);

} // namespace rk::tools
