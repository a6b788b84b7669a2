// rkzip: the zip utility of Ravelkeep's backups.

#include "tools/common/local_time_zone.h"
#include "tools/rkzip/zip_run.h"

#include <string>
#include <sys/stat.h>
#include <vector>

int main(int argc, char** argv) {
    // Archives and the attribute record hold copies of private files: what
    // rkzip creates is readable by its owner alone.
    umask(077);
    rk::tools::FixLocalTimeZone();
    std::vector<std::string> args(argv + 1, argv + argc);
    return rk::tools::RunZip(args);
}
