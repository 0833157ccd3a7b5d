// The zip directory of a package checked for what is really damaged or unsafe. libzip's own
// consistency check refuses more than the zip format does (a data descriptor beside filled-in
// sizes, bytes after the end record, local times that differ from the central ones), so
// packages every other reader opens are opened with it off and checked here instead.
#pragma once

#include <cstdint>
#include <string_view>

namespace tlx::platform::opc {

// Throws PackageError when an entry's name climbs out of the package ("..", a leading "/"),
// when entries overlap or run into the central directory, or when a local header gives another
// CRC or other sizes than the central directory (zeros are allowed beside a data descriptor).
// A CRC or size that does not match the data is found when the part is read. Returns the
// number of entries.
uint64_t checkZipDirectory(std::string_view zip);

}  // namespace tlx::platform::opc
