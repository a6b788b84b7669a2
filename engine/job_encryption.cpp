#include "engine/job_encryption.h"

#include "core/text.h"

namespace rk {

namespace {

constexpr std::string_view kEncrypt = "encrypt";
constexpr std::string_view kAskEachRun = "askeachrun";

bool Flag(std::string_view key, const SettingsPlace& place) {
    const std::string value = ReadSetting(key, "0", place);
    return value == "-1" || value == "1" || SameText(value, "true");
}

} // namespace

JobEncryption ReadJobEncryption(const Job& job) {
    const SettingsPlace place = job.section(kEncryptionSection);
    return {Flag(kEncrypt, place), Flag(kAskEachRun, place)};
}

Result<void> WriteJobEncryption(const Job& job, const JobEncryption& encryption) {
    const SettingsPlace place = job.section(kEncryptionSection);
    if (Result<void> written = WriteSetting(kEncrypt, encryption.encrypt ? "-1" : "0", place);
        !written)
        return written;
    return WriteSetting(kAskEachRun, encryption.askEachRun ? "-1" : "0", place);
}

} // namespace rk
