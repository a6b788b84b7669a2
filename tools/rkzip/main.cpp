// rkzip: the zip utility of Ravelkeep's backups.

#include "tools/rkzip/zip_run.h"

#include <string>
#include <vector>

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    return rk::tools::RunZip(args);
}
