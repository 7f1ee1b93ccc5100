#include "base/LocalTimeZone.h"

#include <QtGlobal>

#ifdef Q_OS_UNIX
#include <cstdlib>
#include <ctime>
#include <unistd.h>
#endif

namespace LocalTimeZone {

void settle() {
#ifdef Q_OS_UNIX
    if (std::getenv("TZ") == nullptr && ::access("/etc/localtime", R_OK) == 0) {
        // A leading colon names a zone file; glibc reads a TZ that has not changed only once.
        ::setenv("TZ", ":/etc/localtime", 0);
        ::tzset();
    }
#endif
}

} // namespace LocalTimeZone
