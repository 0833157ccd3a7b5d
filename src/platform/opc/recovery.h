// Unsaved work at host exit: every open document with changes nobody saved is listed here by
// its application; the host saves them all to recovery files before it ends.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
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

namespace tlx::opc {

// Lists an application's open document, held weakly, while it stays open with unsaved changes;
// `save(doc, path)` writes it. Returns the ticket.
template <class Doc, class Save>
int listForRecovery(const std::shared_ptr<Doc>& doc, const std::string& name, const std::string& extension, Save save) {
  std::weak_ptr<Doc> weak = doc;
  return listUnsaved(std::filesystem::path(name).stem().string(), extension, [weak, save](const std::string& path) {
    auto d = weak.lock();
    if (!d || !d->open || d->saved()) return false;
    save(*d, path);
    return true;
  });
}

}  // namespace tlx::opc
