// Unsaved work at host exit: every open document with changes nobody saved is listed here by
// its application; the host saves them all to recovery files before it ends.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <ostream>
#include <string>

namespace tlx::platform::app {

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

// Whether a document has no unsaved changes: its saved() or its saved flag.
template <class Doc>
bool savedNow(const Doc& d) {
  if constexpr (requires { d.saved(); })
    return d.saved();
  else
    return d.saved;
}

// Lists an application's open document until it is closed, and holds it: a document outlives
// an application instance that is let go (another one made, no reference left) without closing
// it, so that its unsaved changes still reach the recovery folder. `save(doc, path)` writes it.
// Returns the ticket.
template <class Doc, class Save>
int listForRecovery(const std::shared_ptr<Doc>& doc, const std::string& name, const std::string& extension, Save save) {
  return listUnsaved(std::filesystem::path(name).stem().string(), extension, [doc, save](const std::string& path) {
    if (!doc->open || savedNow(*doc)) return false;
    save(*doc, path);
    return true;
  });
}

}  // namespace tlx::platform::app
