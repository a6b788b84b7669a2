#include "encryption_steps.h"

#include "backup_steps.h"
#include "tools/common/password_input.h"
#include "tools/common/winzip_aes.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

namespace rk::bench {

namespace fs = std::filesystem;

namespace {

constexpr const char* kBenchPassword = "correct horse battery staple";

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// CPU seconds of one key derivation, from a few hundred.
double DerivationSeconds() {
    const tools::AesKeyMaker maker(kBenchPassword);
    unsigned char salt[tools::kAesSaltSize] = {};
    tools::AesKeys keys;
    constexpr int kRounds = 400;
    const auto started = std::chrono::steady_clock::now();
    for (int i = 0; i < kRounds; ++i) {
        salt[0] = static_cast<unsigned char>(i);
        salt[1] = static_cast<unsigned char>(i >> 8);
        maker.Derive(salt, keys);
    }
    return Seconds(started) / kRounds;
}

// CPU seconds per MiB of the counter mode with its MAC, and of the MAC alone.
void BytesSeconds(double& cipherAndMac, double& macAlone) {
    std::vector<unsigned char> data(64 * 1024 * 1024, 0x5a);
    tools::AesKeys keys;
    keys.cipher.fill(1);
    keys.mac.fill(2);
    tools::AesEntryCipher cipher;
    unsigned char code[tools::kAesAuthCodeSize];
    auto started = std::chrono::steady_clock::now();
    cipher.Start(keys);
    cipher.Encrypt(data.data(), data.data(), data.size());
    cipher.Finish(code);
    const double mib = static_cast<double>(data.size()) / 1048576.0;
    cipherAndMac = Seconds(started) / mib;
    tools::HmacSha1 mac;
    started = std::chrono::steady_clock::now();
    mac.Start(keys.mac.data(), keys.mac.size());
    mac.Add(data.data(), data.size());
    mac.Finish(code);
    macAlone = Seconds(started) / mib;
}

TableRow PartRow(const std::string& task, double seconds) {
    TableRow row;
    row.task = task;
    char text[32];
    std::snprintf(text, sizeof text, "%.2f s CPU", seconds);
    row.cells = {text, "-", "-", "-", "-"};
    return row;
}

} // namespace

std::vector<TableRow> EncryptedBackupRows(const Tools& tools, const Layout& layout,
                                          const std::string& label, const std::string& job,
                                          const std::string& archive, std::size_t files,
                                          double limit) {
    const auto removing = [&] { fs::remove(layout.host(job + "/" + archive)); };
    Progress(label + ": rkzip, plain");
    const auto plain = MedianRun(
        [&] { return Timed(tools.rkzip, BackupArguments("-a+", job, archive)); }, removing);
    ReportFailure("rkzip", plain);

    // The password on an inherited descriptor, as the program gives it.
    const int fd = memfd_create("bench-password", 0);
    const std::string password = kBenchPassword;
    if (fd < 0 ||
        write(fd, password.data(), password.size()) != static_cast<ssize_t>(password.size())) {
        std::fputs("rk_zip_bench: can't make the password descriptor\n", stderr);
        return {};
    }
    setenv(tools::kPasswordFdVariable, std::to_string(fd).c_str(), 1);
    Progress(label + ": rkzip, encrypted");
    const auto encrypted = MedianRun(
        [&] { return Timed(tools.rkzip, BackupArguments("-a+", job, archive)); }, removing);
    unsetenv(tools::kPasswordFdVariable);
    close(fd);
    ReportFailure("rkzip encrypted", encrypted);
    std::error_code ec;
    const auto archiveBytes = fs::file_size(layout.host(job + "/" + archive), ec);

    TableRow row;
    row.task = label;
    row.cells = {CellText(encrypted), "-", "-", "-", "-"};
    SetRatio(row, encrypted, plain, "plain rkzip", limit);

    Progress(label + ": the parts of encryption, timed on one core");
    const double derivation = DerivationSeconds();
    double cipherAndMac = 0;
    double macAlone = 0;
    BytesSeconds(cipherAndMac, macAlone);
    const double mib = ec ? 0 : static_cast<double>(archiveBytes) / 1048576.0;
    char task[128];
    std::snprintf(task, sizeof task, "  of it: key derivation, %zu x %.3f ms", files,
                  derivation * 1000);
    std::vector<TableRow> rows{row, PartRow(task, derivation * static_cast<double>(files))};
    std::snprintf(task, sizeof task, "  of it: AES-256-CTR, %.0f MB", mib);
    rows.push_back(PartRow(task, (cipherAndMac - macAlone) * mib));
    std::snprintf(task, sizeof task, "  of it: HMAC-SHA1, %.0f MB", mib);
    rows.push_back(PartRow(task, macAlone * mib));
    removing();
    return rows;
}

} // namespace rk::bench
