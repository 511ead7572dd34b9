// orvo-check --version: orvo's version and the Expat that reads the settings.
#pragma once

#include <iosfwd>

// Writes "orvo-check (orvo) VERSION" and "Expat X.Y.Z", the latter as the linked library
// reports itself, followed by the Debian source package when the build recorded one.
void print_version(std::ostream& out);
