#include "tools/common/local_time_zone.h"

#include <cstdlib>
#include <ctime>

namespace rk::tools {

void FixLocalTimeZone() {
    // The zone glibc uses when TZ is unset, named so it is read once.
    setenv("TZ", ":/etc/localtime", 0);
    tzset();
}

} // namespace rk::tools
