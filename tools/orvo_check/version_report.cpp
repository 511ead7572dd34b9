#include "tools/orvo_check/version_report.h"

#include <cstring>
#include <ostream>

#include <expat.h>

#include "build_info.h"

void print_version(std::ostream& out) {
    out << "orvo-check (orvo) " << orvo_version << '\n';
    // The library answers "expat_X.Y.Z".
    const char* expat = XML_ExpatVersion();
    const char prefix[] = "expat_";
    if (std::strncmp(expat, prefix, sizeof prefix - 1) == 0) {
        expat += sizeof prefix - 1;
    }
    out << "Expat " << expat;
    if (orvo_expat_debian_version[0] != '\0') {
        out << " (Debian source package expat " << orvo_expat_debian_version << ')';
    }
    out << '\n';
}
