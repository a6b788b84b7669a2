// rkunzip: the unzip utility of Ravelkeep's restores.

#include "tools/common/local_time_zone.h"
#include "tools/rkunzip/unzip_run.h"

#include <string>
#include <vector>

int main(int argc, char** argv) {
    rk::tools::FixLocalTimeZone();
    std::vector<std::string> args(argv + 1, argv + argc);
    return rk::tools::RunUnzip(args);
}
