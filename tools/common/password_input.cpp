#include "tools/common/password_input.h"

#include "tools/common/messages.h"
#include "tools/common/winzip_aes.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace rk::tools {

namespace {

// Every line at its longest, with its line end.
constexpr std::size_t kLongestInput = kMostPasswords * (kLongestPassword + 1);

void ClearString(std::string& text) {
    ClearSecret(text.data(), text.capacity());
    text.clear();
}

// Reads the descriptor whole: from its start when it is a file (a memfd the
// caller wrote leaves its offset at the end), else until the writer closes.
// One byte past the bound is read, so that too much shows.
bool ReadAll(int fd, std::string& bytes, int& error) {
    struct stat info {};
    if (fstat(fd, &info) != 0) {
        error = errno;
        return false;
    }
    const bool seekable = S_ISREG(info.st_mode);
    bytes.assign(kLongestInput + 1, '\0');
    std::size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t n =
            seekable ? pread(fd, bytes.data() + got, bytes.size() - got, static_cast<off_t>(got))
                     : read(fd, bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            error = errno;
            return false;
        }
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    // Shortened in place: the bytes beyond stay in the buffer the string
    // keeps, and are cleared with it.
    bytes.resize(got);
    return true;
}

} // namespace

Passwords::~Passwords() {
    Clear();
}

Passwords::Passwords(Passwords&& other) noexcept : list_(std::move(other.list_)) {
    other.list_.clear();
}

Passwords& Passwords::operator=(Passwords&& other) noexcept {
    if (this != &other) {
        Clear();
        list_ = std::move(other.list_);
        other.list_.clear();
    }
    return *this;
}

void Passwords::Clear() {
    for (auto& password : list_)
        ClearString(password);
    list_.clear();
}

bool Passwords::TakeLines(const std::string& bytes, std::string& problem) {
    Clear();
    if (bytes.empty()) {
        problem = "it holds no password";
        return false;
    }
    // Room for every line first, so that no password is moved (and left
    // behind uncleared) as the list grows.
    list_.reserve(kMostPasswords);
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find('\n', start);
        if (end == std::string::npos)
            end = bytes.size();
        if (list_.size() == kMostPasswords) {
            problem = "it holds more than " + std::to_string(kMostPasswords) + " lines";
            Clear();
            return false;
        }
        if (end - start > kLongestPassword) {
            problem = "a line is longer than " + std::to_string(kLongestPassword) + " bytes";
            Clear();
            return false;
        }
        list_.emplace_back();
        list_.back().reserve(kLongestPassword);
        list_.back().assign(bytes, start, end - start);
        start = end + 1;
    }
    return true;
}

Result<Passwords> ReadPasswordsFrom(const char* value) {
    if (value == nullptr)
        return Passwords();
    const std::string text = value;
    const std::string named = std::string(kPasswordFdVariable) + "=" + text;
    char* end = nullptr;
    errno = 0;
    const long fd = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno != 0 || fd < 0 || fd > INT_MAX ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return Result<Passwords>::Failure("can't read the passwords: " + named +
                                          " names no descriptor");
    std::string bytes;
    int error = 0;
    const bool read = ReadAll(static_cast<int>(fd), bytes, error);
    close(static_cast<int>(fd));
    if (!read) {
        ClearString(bytes);
        return Result<Passwords>::Failure("can't read the passwords from descriptor " + text +
                                          ": " + ErrnoText(error));
    }
    Passwords passwords;
    std::string problem;
    const bool taken = bytes.size() <= kLongestInput && passwords.TakeLines(bytes, problem);
    if (bytes.size() > kLongestInput)
        problem = "it holds more than " + std::to_string(kLongestInput) + " bytes";
    ClearString(bytes);
    if (!taken)
        return Result<Passwords>::Failure("can't read the passwords from descriptor " + text +
                                          ": " + problem);
    return passwords;
}

Result<Passwords> ReadGivenPasswords() {
    return ReadPasswordsFrom(std::getenv(kPasswordFdVariable));
}

} // namespace rk::tools
