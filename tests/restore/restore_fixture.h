#pragma once
// The archive job's sandbox (support/archive_job_fixture.h) with the main
// window's progress display recorded and a scripted seam in place of a person.

#include "engine/progress_display.h"
#include "support/archive_job_fixture.h"
#include "ui/qt_test_app.h"
#include "ui/scripted_seam.h"
#include "ui/seam.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace rk::test {

// Every write to the progress display, in order: "status:TEXT", "min:N",
// "max:N", "value:N".
class RecordingProgress final : public ProgressDisplay {
  public:
    void SetStatusText(std::string_view text) override {
        status = std::string(text);
        events.push_back("status:" + status);
        if (onStatus)
            onStatus(status);
    }
    void SetProgressMinimum(int value) override {
        events.push_back("min:" + std::to_string(value));
    }
    void SetProgressMaximum(int value) override {
        events.push_back("max:" + std::to_string(value));
    }
    void SetProgressValue(int value) override {
        events.push_back("value:" + std::to_string(value));
    }

    // The events whose text starts with `prefix`, in order.
    std::vector<std::string> Only(const std::string& prefix) const {
        std::vector<std::string> chosen;
        for (const std::string& event : events)
            if (event.rfind(prefix, 0) == 0)
                chosen.push_back(event);
        return chosen;
    }

    std::string status;
    std::vector<std::string> events;
    // Called with each new status text, to look at the disk at that moment.
    std::function<void(const std::string&)> onStatus;
};

class RestoreFixture : public ArchiveJobFixture {
  protected:
    ui::ScriptedSeam seam;
    ui::SeamScope seamScope{seam};
    RecordingProgress progress;

    void SetUp() override {
        EnsureQtApplication();
        ArchiveJobFixture::SetUp();
    }

    // The three backups of the job: three versions of a.txt, two of
    // sub/b.txt, and files only one backup holds.
    void MakeThreeBackups() {
        MakeArchive("rk_2026_12_01_10_00_00.zip",
                    {{"a.txt", "a one"}, {"sub/b.txt", "b one"}, {"only-oldest.txt", "oldest"}});
        MakeArchive("rk_2026_12_02_23_59_00.zip", {{"a.txt", "a two"}, {"middle.txt", "middle"}});
        MakeArchive("rk_2026_12_03_00_00_00.zip", {{"a.txt", "a three"}, {"sub/b.txt", "b three"}});
    }

    // The names stored in an archive (host path), by Info-ZIP's unzip.
    static std::vector<std::string> StoredNames(const std::filesystem::path& archive);
    // One stored file's content, by Info-ZIP's unzip.
    static std::string StoredContent(const std::filesystem::path& archive, const std::string& name);
    // Every file under a host folder, relative, "/" between folders, with its content.
    static Files FilesIn(const std::filesystem::path& folder);
    // The names of the archives in the job folder, sorted.
    std::vector<std::string> JobArchives() const;
};

} // namespace rk::test
