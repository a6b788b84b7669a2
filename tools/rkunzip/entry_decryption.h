#pragma once
// rkunzip's reading of WinZip AES entries (see tools/common/winzip_aes.h)
// with the passwords it was given (tools/common/password_input.h): an entry
// is read with the first password whose verification value matches its
// own, and its authentication code is checked before its file is put in
// place. An entry no password opens, or whose code does not match, is
// refused with a line of its own.

#include "tools/common/password_input.h"
#include "tools/common/winzip_aes.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace rk::tools {

// Sets the passwords entries are read with; called once, before any worker
// starts. `passwords` must outlive the reading.
void DecryptWith(const Passwords& passwords);

// The passwords given, for the entries libzip deciphers.
const std::vector<std::string>& GivenPasswords();

// Why an entry was refused, beside the usual failures.
enum class Refusal : std::uint8_t {
    None,
    Password,       // no password given opens it
    Authentication, // its data or authentication code is damaged or altered
};

// The line that names an entry refused so.
std::string RefusalText(const std::string& name, Refusal refusal);

// Reading one entry's encrypted bytes; kept for the next entry.
class EntryDecryption {
  public:
    static constexpr std::size_t kHeaderSize = kAesSaltSize + kAesVerifierSize;

    // Takes the entry's salt and verification value; false when no password
    // given matches them.
    bool Begin(const unsigned char* header);
    bool Decrypt(const unsigned char* in, unsigned char* out, std::size_t length) {
        return cipher_.Decrypt(in, out, length);
    }
    // Whether the code stored after the data is the one its bytes give.
    bool Authentic(const unsigned char* storedCode);

  private:
    AesEntryCipher cipher_;
};

} // namespace rk::tools
