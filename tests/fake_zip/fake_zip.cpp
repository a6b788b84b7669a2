// rk_fake_zip: runs rkzip (beside this program) with the same arguments, then
// spoils the archive it made as RK_FAKE_ZIP says: "drop" removes the last
// file entry (not the deletion record), "corrupt" changes the first byte of
// the first entry's data.

#include "platform/drive_map.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>
#include <zip.h>

namespace {

int RunRealZip(char** argv) {
    std::string self(4096, '\0');
    const ssize_t length = readlink("/proc/self/exe", self.data(), self.size());
    if (length <= 0)
        return 3;
    self.resize(static_cast<std::size_t>(length));
    const std::string real = self.substr(0, self.rfind('/') + 1) + "rkzip";
    const pid_t child = fork();
    if (child == 0) {
        argv[0] = const_cast<char*>(real.c_str());
        execv(real.c_str(), argv);
        _exit(127);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return 3;
    return WEXITSTATUS(status);
}

bool DropLastFile(const std::string& host) {
    zip_t* archive = zip_open(host.c_str(), 0, nullptr);
    if (archive == nullptr)
        return false;
    for (zip_int64_t i = zip_get_num_entries(archive, 0) - 1; i >= 0; --i) {
        const char* name = zip_get_name(archive, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_RAW);
        // The deletion record is not one of the archive's files.
        if (name != nullptr && std::string(name).back() != '/' &&
            std::string(name) != "./ravelkeep-deleted.txt") {
            zip_delete(archive, static_cast<zip_uint64_t>(i));
            break;
        }
    }
    return zip_close(archive) == 0;
}

bool CorruptFirstEntry(const std::string& host) {
    std::fstream file(host, std::ios::in | std::ios::out | std::ios::binary);
    std::array<unsigned char, 30> header{};
    if (!file.read(reinterpret_cast<char*>(header.data()), header.size()))
        return false;
    const long data = 30 + (header[26] | header[27] << 8) + (header[28] | header[29] << 8);
    file.seekg(data);
    char byte = 0;
    if (!file.get(byte))
        return false;
    file.seekp(data);
    file.put(static_cast<char>(byte ^ 0x55));
    return static_cast<bool>(file);
}

} // namespace

int main(int argc, char** argv) {
    const int code = RunRealZip(argv);
    if (code != 0)
        return code;
    std::string archive;
    for (int i = 1; i < argc && archive.empty(); ++i)
        if (argv[i][0] != '-')
            archive = argv[i];
    const auto host = rk::platform::ToHostPath(archive);
    const char* mode = std::getenv("RK_FAKE_ZIP");
    const std::string what = mode == nullptr ? "" : mode;
    const bool spoiled = host && (what == "drop" ? DropLastFile(*host) : CorruptFirstEntry(*host));
    if (!spoiled) {
        std::fputs("rk_fake_zip: could not spoil the archive\n", stderr);
        return 3;
    }
    return 0;
}
