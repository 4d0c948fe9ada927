#include "host/host_misuse.h"

#include <cstdio>
#include <cstdlib>

namespace tolvar {

void ReportHostMisuse(const char* what) {
    std::fprintf(stderr, "tolvar stand-in host: misuse: %s\n", what);
    std::fflush(stderr);
    std::abort();
}

}  // namespace tolvar
