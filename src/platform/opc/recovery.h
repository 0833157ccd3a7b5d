// Unsaved work at host exit: every open document with changes nobody saved is listed here by
// its application; the host saves them all to recovery files before it ends.
#pragma once

#include <functional>
#include <ostream>
#include <string>

namespace tlx::opc {

// Saves the document to the path given when it has unsaved changes (returns false when it has
// none); throws on failure.
using RecoverySave = std::function<bool(const std::string& path)>;

// Listed under a display name ("Book1") and a file extension (".xlsx"); returns a ticket.
int listUnsaved(std::string name, std::string extension, RecoverySave save);
void unlistUnsaved(int ticket);

// Saves every listed document into `folder` (made when missing) and says where on `log`.
// Returns how many were saved. The list is empty afterwards.
int recoverUnsaved(const std::string& folder, std::ostream& log);
// The folder the host uses: $TALVEX_RECOVERY_DIR, else "talvex-recovery" in the working folder.
std::string recoveryFolder();

}  // namespace tlx::opc
