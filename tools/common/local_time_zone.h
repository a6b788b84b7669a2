#pragma once
// libzip turns every entry's DOS time to and from local time. Without TZ,
// the C library looks at /etc/localtime again on each such call, which costs
// a file system lookup per entry; naming the same zone once in TZ lets it
// read the zone a single time.

namespace rk::tools {

// Sets TZ to ":/etc/localtime" when TZ is not set (an explicit TZ stays).
void FixLocalTimeZone();

} // namespace rk::tools
