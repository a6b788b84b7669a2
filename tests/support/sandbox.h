#pragma once
// A throw-away folder for one test, with the drives, home, temporary folder
// and registry store of the process pointed into it, so no test ever touches
// the real home folder. Drive C: is <root>/c and D: is <root>/d; Z: stays "/".

#include "support/saved_environment.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace rk::test {

class Sandbox {
  public:
    Sandbox();
    ~Sandbox();
    Sandbox(const Sandbox&) = delete;
    Sandbox& operator=(const Sandbox&) = delete;

    const std::filesystem::path& root() const { return root_; }
    // Host path of drive C: / D: (both exist).
    std::filesystem::path c() const { return root_ / "c"; }
    std::filesystem::path d() const { return root_ / "d"; }
    std::filesystem::path home() const { return root_ / "home"; }
    // The registry text store file (RAVELKEEP_REGISTRY).
    std::filesystem::path registry() const { return root_ / "registry.ini"; }

    // Writes a file (making its folders), host path.
    void write(const std::filesystem::path& hostPath, std::string_view content) const;
    std::string read(const std::filesystem::path& hostPath) const;

  private:
    std::filesystem::path root_;
    SavedEnvironment environment_;
    void setEnv(const char* name, const std::string& value) { environment_.Set(name, value); }
};

// Folder of the built program (rkbak, rkzip, rkunzip side by side).
std::filesystem::path ProgramDir();

// An installed copy of the program in `folder` (host path; `folderText` is its
// Windows text): rkbak, rkzip, rkunzip and excl.txt, and an rkbak.ini naming
// the two utilities there and the job store `jobStore`, with the upgrade notes
// already shown and `moreSettings` (lines ending in CR LF) after them.
void InstallProgramCopy(const Sandbox& box, const std::filesystem::path& folder,
                        std::string_view folderText, std::string_view jobStore,
                        std::string_view moreSettings = {});

// The entry every backup run's archive carries beside the files: its
// deletion record. The listings below leave it out, so that they name the
// files and folders an archive holds; the record's own tests look for it.
inline constexpr const char* kDeletionRecordEntry = "./ravelkeep-deleted.txt";

// The names an archive stores, sorted, as Info-ZIP's unzip lists them; folder
// entries (ending with "/") only when asked for. Empty when unzip cannot list
// the archive, or it holds no entries.
std::vector<std::string> ArchiveNames(const std::filesystem::path& archive,
                                      bool withFolders = false);

// Every name the archive stores, folders too, in the order it holds them
// (the deletion record left out).
std::vector<std::string> ArchiveNamesInOrder(const std::filesystem::path& archive);

// Runs a program without a shell; returns its exit status and captures its
// output. `env` entries "NAME=value" are added; "NAME" alone removes it.
struct RunResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};
RunResult Run(const std::vector<std::string>& args, const std::vector<std::string>& env = {},
              const std::filesystem::path& workingFolder = {});

} // namespace rk::test
