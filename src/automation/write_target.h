// Where a write to a path lands. Every writer follows one rule, an editor's: a symbolic link is
// written through to the file it points to (made when the link dangles), never replaced, so
// that a link stays a link. Writers that assemble a file beside its target and rename it into
// place assemble it beside the link's target.
#pragma once

#include <filesystem>
#include <system_error>

namespace tlx {

// `path` with the links of its last part followed (the system follows those of its folders);
// `error` is set (too many symbolic links) for a loop, and `path` returned.
std::filesystem::path writeTarget(const std::filesystem::path& path, std::error_code& error);

}  // namespace tlx
