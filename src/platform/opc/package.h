// A zip package of parts (the container of XLSX and DOCX files): read parts, replace or add
// some, and write the package again. Parts nobody replaced are copied as they were stored
// (compressed bytes unchanged), so whatever a reader does not understand survives a save.
#pragma once

#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tlx::platform::opc {

// A package that cannot be read or written; the message says why.
class PackageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class Package {
 public:
  // No part is larger than this when inflated.
  static constexpr size_t kMaxPartSize = size_t(1) << 30;
  // A part may inflate to 100 times the package plus 64 MB (at most kMaxPartSize). A package
  // whose headers promise more is a zip bomb, refused when opened; a part whose header
  // understates it is refused as soon as inflating it passes what the header says.
  size_t maxPartSize() const;

  Package() = default;  // an empty package
  static Package open(const std::string& path);
  // The package held in `bytes` (an outside file's content: checked like one).
  static Package fromBytes(std::string bytes);

  // Part names are zip entry names, without a leading "/" ("xl/workbook.xml").
  bool has(std::string_view part) const;
  std::string read(std::string_view part) const;  // throws PackageError when absent
  // The part handed to `take` a piece at a time, in order, as it inflates: a large part is
  // never held whole.
  void readInPieces(std::string_view part, const std::function<void(std::string_view)>& take) const;
  std::vector<std::string> partNames() const;     // in package order, new parts last
  void write(const std::string& part, std::string data);
  // A part made a piece at a time: `start` gives a writer that appends the next piece to its
  // argument and returns false once the part is complete. Saving streams it into the package,
  // so that a large generated part is never held whole.
  using PieceWriter = std::function<bool(std::string& out)>;
  void writeStreamed(const std::string& part, std::function<PieceWriter()> start);
  void remove(const std::string& part);
  bool changed() const { return !replaced_.empty() || !removed_.empty(); }

  // Writes to a temporary file beside `path`, then renames it over `path`: a failed save
  // leaves no half-written file. Afterwards the saved file is the new source.
  void save(const std::string& path);

  // A package decrypted from a file with an open password. It is never written back
  // encrypted, so a save is refused unless an UnencryptedSave is held: the owner's word that
  // the user asked for a plain copy. After such a save the package is a plain one.
  void markEncrypted() { encrypted_ = true; }
  bool encrypted() const { return encrypted_; }
  class UnencryptedSave {
   public:
    explicit UnencryptedSave(Package& p) : p_(p) { p_.unencryptedSaveAllowed_ = true; }
    ~UnencryptedSave() { p_.unencryptedSaveAllowed_ = false; }
    UnencryptedSave(const UnencryptedSave&) = delete;
    UnencryptedSave& operator=(const UnencryptedSave&) = delete;

   private:
    Package& p_;
  };

 private:
  struct Entry {
    std::string name;
    uint64_t size = 0;
  };
  const Entry* storedEntry(std::string_view part) const;  // null when replaced, removed or absent
  std::string source_;                          // the package as read
  std::vector<Entry> entries_;                  // its parts, in order
  std::map<std::string, std::string> replaced_;  // new contents by part name
  std::vector<std::string> added_;              // names of new parts, in order of addition
  std::vector<std::string> removed_;
  std::map<std::string, std::function<PieceWriter()>> streamed_;  // their entry in replaced_ is empty
  bool encrypted_ = false;
  bool unencryptedSaveAllowed_ = false;
};

// The bytes of a file, read at once; PackageError when it cannot be read.
std::string readFile(const std::string& path);

// "xl/worksheets/sheet1.xml" from "/xl/worksheets/sheet1.xml" or a target relative to the
// folder of `base` ("worksheets/sheet1.xml" from "xl/workbook.xml"); ".." steps up.
std::string resolvePartName(std::string_view base, std::string_view target);
// The relationships part of `part`: "xl/_rels/workbook.xml.rels"; "_rels/.rels" for "".
std::string relationshipsPartOf(std::string_view part);

}  // namespace tlx::platform::opc
