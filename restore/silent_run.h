#pragma once
// What a restore run started without a window talks to: nobody to tell or
// ask, no folder to open, no files to pick (the windowless consolidation and
// thinning).

#include "restore/run/restore_run.h"

namespace rk::restore {

// Nobody is there to answer: the run tells nothing, asks nothing and, for
// a consolidation, opens no folder.
class NoConversation final : public RestoreConversation {
  public:
    void Tell(std::string_view, NoticeKind) override {}
    bool Confirm(std::string_view) override { return true; }
    void OpenFolder(const std::string&) override {}
};

// A consolidation picks no files.
class NoPicker final : public FilePicker {
  public:
    PickedFiles Pick(const std::string&, const std::vector<std::string>&,
                     const std::string&) override {
        return {};
    }
};

} // namespace rk::restore
