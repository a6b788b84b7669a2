// rk_picker_bench UNZIP WORK FOLDER ARCHIVE...: the file picker's work for a
// range of archives, as the extract dialog starts it: each archive of FOLDER
// is listed by the unzip utility UNZIP into a listing file in WORK, the
// listings are merged and the picker's list is filled, offscreen (all paths
// Windows path text). Prints the number of names shown; the
// benchmark times the whole run and takes its peak memory.

#include "core/program_values.h"
#include "restore/picker/frm_view_files.h"

#include <QApplication>
#include <QListWidget>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fputs("usage: rk_picker_bench UNZIP WORK FOLDER ARCHIVE...\n", stderr);
        return 2;
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication application(argc, argv);
    rk::UnzipUtilPath = argv[1];
    rk::AppFolder = argv[2];
    if (rk::AppFolder.back() != '\\')
        rk::AppFolder += '\\';
    std::vector<std::string> archives(argv + 4, argv + argc);
    rk::NoProgress progress;
    rk::frmViewFiles picker;
    const rk::GatherOutcome outcome = picker.DataRefresh(argv[3], archives, progress);
    if (outcome.status != rk::RunStatus::Done) {
        std::fprintf(stderr, "rk_picker_bench: %s: %s\n", outcome.details.failedArchive.c_str(),
                     outcome.reason.c_str());
        return 1;
    }
    std::printf("%d\n", picker.lstFiles->count());
    return 0;
}
