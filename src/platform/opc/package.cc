#include "automation/write_target.h"
#include "platform/opc/package.h"

#include <zip.h>

#include <algorithm>
#include <ctime>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>

#include "platform/opc/zip_checks.h"

namespace tlx::platform::opc {

namespace {

struct ArchiveCloser {
  void operator()(zip_t* z) const { zip_discard(z); }
};
using Archive = std::unique_ptr<zip_t, ArchiveCloser>;

std::string zipMessage(zip_error_t* e) {
  std::string text = zip_error_strerror(e);
  zip_error_fini(e);
  return text;
}

Archive openBuffer(const std::string& bytes) {
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* src = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
  if (!src) throw PackageError("Not a package: " + zipMessage(&error));
  // Without libzip's consistency check: checkZipDirectory does what of it the format asks for.
  zip_t* z = zip_open_from_source(src, ZIP_RDONLY, &error);
  if (!z) {
    zip_source_free(src);
    throw PackageError("Not a package: " + zipMessage(&error));
  }
  zip_error_fini(&error);
  return Archive(z);
}

// Inflated a block at a time and handed to `take`, so that a part is refused as soon as it
// passes what its header claims, and memory follows the data rather than the claim.
void inflateEntry(zip_t* z, zip_uint64_t index, const std::string& name, uint64_t size,
                  const std::function<void(std::string_view)>& take) {
  std::string damaged = "The part \"" + name + "\" is damaged: ";
  constexpr uint64_t kBlock = 1 << 20;
  std::unique_ptr<zip_file_t, int (*)(zip_file_t*)> f(zip_fopen_index(z, index, 0), zip_fclose);
  if (!f) throw PackageError(std::string("Cannot read a part: ") + zip_strerror(z));
  std::unique_ptr<char[]> block(new char[kBlock]);
  for (uint64_t done = 0; done < size;) {
    uint64_t want = std::min(kBlock, size - done);
    if (zip_fread(f.get(), block.get(), want) != static_cast<zip_int64_t>(want))
      throw PackageError(damaged + "it is shorter than its header says or its data are corrupt");
    take(std::string_view(block.get(), want));
    done += want;
  }
  // Reading on to the end checks the CRC, and that nothing follows.
  if (zip_int64_t n = zip_fread(f.get(), block.get(), 1); n != 0)
    throw PackageError(damaged + (n > 0 ? "it is longer than its header says" : "its CRC does not match its data"));
}

std::string megabytes(uint64_t bytes) { return std::to_string((bytes + (1 << 20) - 1) >> 20) + " MB"; }

bool contains(const std::vector<std::string>& names, std::string_view name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

// A streamed part as a libzip source: pieces are asked for as the compressor reads.
struct PieceSource {
  const std::function<Package::PieceWriter()>* start;
  Package::PieceWriter next;
  std::string piece;
  size_t pos = 0;
  bool more = true;
  std::string failure;  // what the writer threw
  zip_error_t error;
};

// What the writer threw is kept for the error of the save: no exception crosses libzip.
zip_int64_t failed(PieceSource& s, const std::exception& e) {
  s.failure = e.what();
  zip_error_set(&s.error, ZIP_ER_INTERNAL, 0);
  return -1;
}

zip_int64_t readPieces(void* state, void* data, zip_uint64_t len, zip_source_cmd_t cmd) {
  auto& s = *static_cast<PieceSource*>(state);
  switch (cmd) {
    case ZIP_SOURCE_OPEN:
      try {
        s.next = (*s.start)();
      } catch (const std::exception& e) {
        return failed(s, e);
      }
      s.piece.clear();
      s.pos = 0;
      s.more = true;
      return 0;
    case ZIP_SOURCE_READ:
      try {
        while (s.pos == s.piece.size() && s.more) {
          s.piece.clear();
          s.pos = 0;
          s.more = s.next(s.piece);
        }
      } catch (const std::exception& e) {
        return failed(s, e);
      }
      len = std::min<zip_uint64_t>(len, s.piece.size() - s.pos);
      std::copy_n(s.piece.data() + s.pos, len, static_cast<char*>(data));
      s.pos += len;
      return static_cast<zip_int64_t>(len);
    case ZIP_SOURCE_STAT:
      if (len < sizeof(zip_stat_t)) return -1;
      zip_stat_init(static_cast<zip_stat_t*>(data));
      static_cast<zip_stat_t*>(data)->mtime = std::time(nullptr);
      static_cast<zip_stat_t*>(data)->valid |= ZIP_STAT_MTIME;
      return sizeof(zip_stat_t);
    case ZIP_SOURCE_ERROR:
      return zip_error_to_data(&s.error, data, len);
    case ZIP_SOURCE_CLOSE:
    case ZIP_SOURCE_FREE:
      return 0;
    case ZIP_SOURCE_SUPPORTS:
      return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT,
                                            ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, -1);
    default:
      zip_error_set(&s.error, ZIP_ER_OPNOTSUPP, 0);
      return -1;
  }
}

}  // namespace

Package Package::open(const std::string& path) { return fromBytes(readFile(path)); }

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  std::streamoff size = in ? static_cast<std::streamoff>(in.tellg()) : -1;
  if (size < 0) throw PackageError("Cannot open \"" + path + "\"");
  std::string bytes(static_cast<size_t>(size), '\0');
  if (!in.seekg(0) || !in.read(bytes.data(), size)) throw PackageError("Cannot read \"" + path + "\"");
  return bytes;
}

Package Package::fromBytes(std::string bytes) {
  Package p;
  p.source_ = std::move(bytes);
  Archive z = openBuffer(p.source_);
  zip_int64_t n = zip_get_num_entries(z.get(), 0);
  if (checkZipDirectory(p.source_) != static_cast<uint64_t>(n)) throw PackageError("The package is damaged: its directory is ambiguous");
  for (zip_int64_t i = 0; i < n; ++i) {
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(z.get(), static_cast<zip_uint64_t>(i), 0, &st) != 0 || !st.name)
      throw PackageError("A part of the package is damaged");
    if ((st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE)
      throw PackageError("The package holds an encrypted part");
    if (st.size > p.maxPartSize())
      throw PackageError("The part \"" + std::string(st.name) + "\" inflates to " + megabytes(st.size) + ", more than a package of " +
                         megabytes(p.source_.size()) + " may hold (" + megabytes(p.maxPartSize()) + "): it is refused as a zip bomb");
    p.entries_.push_back(Entry{st.name, st.size});
  }
  if (p.entries_.empty()) throw PackageError("Not a package: it holds no parts");
  return p;
}

size_t Package::maxPartSize() const { return std::min(kMaxPartSize, 100 * source_.size() + (size_t(64) << 20)); }

bool Package::has(std::string_view part) const {
  if (replaced_.count(std::string(part))) return true;
  if (contains(removed_, part)) return false;
  return std::any_of(entries_.begin(), entries_.end(), [&](const Entry& e) { return e.name == part; });
}

std::string Package::read(std::string_view part) const {
  std::string whole;
  if (const Entry* e = storedEntry(part)) whole.reserve(e->size);
  readInPieces(part, [&](std::string_view piece) { whole += piece; });
  return whole;
}

void Package::readInPieces(std::string_view part, const std::function<void(std::string_view)>& take) const {
  if (auto it = streamed_.find(std::string(part)); it != streamed_.end()) {
    std::string piece;
    for (PieceWriter next = it->second(); next(piece); piece.clear()) take(piece);
    take(piece);
    return;
  }
  if (auto it = replaced_.find(std::string(part)); it != replaced_.end()) return take(it->second);
  const Entry* e = storedEntry(part);
  if (!e) throw PackageError("The package has no part \"" + std::string(part) + "\"");
  Archive z = openBuffer(source_);
  inflateEntry(z.get(), static_cast<zip_uint64_t>(e - entries_.data()), e->name, e->size, take);
}

const Package::Entry* Package::storedEntry(std::string_view part) const {
  if (replaced_.count(std::string(part)) || contains(removed_, part)) return nullptr;
  auto it = std::find_if(entries_.begin(), entries_.end(), [&](const Entry& e) { return e.name == part; });
  return it == entries_.end() ? nullptr : &*it;
}

std::vector<std::string> Package::partNames() const {
  std::vector<std::string> names;
  for (auto& e : entries_)
    if (!contains(removed_, e.name)) names.push_back(e.name);
  for (auto& a : added_) names.push_back(a);
  return names;
}

void Package::write(const std::string& part, std::string data) {
  std::erase(removed_, part);
  bool known = std::any_of(entries_.begin(), entries_.end(), [&](const Entry& e) { return e.name == part; });
  if (!known && !contains(added_, part)) added_.push_back(part);
  replaced_[part] = std::move(data);
  streamed_.erase(part);
}

void Package::writeStreamed(const std::string& part, std::function<PieceWriter()> start) {
  write(part, std::string());
  streamed_[part] = std::move(start);
}

void Package::remove(const std::string& part) {
  replaced_.erase(part);
  streamed_.erase(part);
  std::erase(added_, part);
  if (!contains(removed_, part)) removed_.push_back(part);
}

void Package::save(const std::string& path) {
  namespace fs = std::filesystem;
  if (encrypted_ && !unencryptedSaveAllowed_)
    throw PackageError("It was opened from a file encrypted with an open password, and it is not written back "
                       "without that encryption: save an unencrypted copy with SaveAs under a name of your choice");
  std::error_code linkError;
  const fs::path target = writeTarget(path, linkError);
  if (linkError) throw PackageError("Cannot write \"" + path + "\": " + linkError.message());
  fs::path temp = target;
  temp += ".talvex-tmp";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out.write(source_.data(), static_cast<std::streamsize>(source_.size()));
    if (!out.flush()) {
      std::error_code ec;
      fs::remove(temp, ec);
      throw PackageError("Cannot write \"" + path + "\"");
    }
  }
  auto fail = [&](const std::string& why) {
    std::error_code ec;
    fs::remove(temp, ec);
    throw PackageError("Cannot write \"" + path + "\": " + why);
  };
  std::vector<std::unique_ptr<PieceSource>> pieces;  // outlive the archive, which reads them
  int error = 0;
  zip_t* z = zip_open(temp.c_str(), source_.empty() ? ZIP_TRUNCATE | ZIP_CREATE : 0, &error);
  if (!z) fail("cannot create the package");
  Archive guard(z);
  for (auto& name : removed_) {
    zip_int64_t i = zip_name_locate(z, name.c_str(), 0);
    if (i >= 0) zip_delete(z, static_cast<zip_uint64_t>(i));
  }
  auto put = [&](const std::string& name, const std::string& data, bool inSource) {
    zip_source_t* src = nullptr;
    if (auto it = streamed_.find(name); it != streamed_.end()) {
      pieces.push_back(std::make_unique<PieceSource>(PieceSource{&it->second, {}, {}, 0, true, {}, {}}));
      zip_error_init(&pieces.back()->error);
      src = zip_source_function(z, readPieces, pieces.back().get());
    } else {
      src = zip_source_buffer(z, data.data(), data.size(), 0);
    }
    zip_int64_t i = src ? zip_file_add(z, name.c_str(), src, ZIP_FL_OVERWRITE | ZIP_FL_ENC_UTF_8) : -1;
    if (i < 0) {
      if (src) zip_source_free(src);
      fail(zip_strerror(z));
    }
    // Fast deflate: the parts we write are regenerated XML, quick to rebuild and to squeeze.
    // libzip drops the level when the method asked for is the entry's old one, and then
    // compresses at its slowest: a part of the source file (stored deflated) is asked for the
    // default method, a new part (whose old method is the default) for deflate.
    zip_set_file_compression(z, static_cast<zip_uint64_t>(i), inSource ? ZIP_CM_DEFAULT : ZIP_CM_DEFLATE, 1);
  };
  for (auto& e : entries_)
    if (auto it = replaced_.find(e.name); it != replaced_.end()) put(e.name, it->second, !source_.empty());
  for (auto& name : added_) put(name, replaced_.at(name), false);
  if (zip_close(z) != 0) {
    for (auto& p : pieces)
      if (!p->failure.empty()) fail(p->failure);
    fail(zip_strerror(z));
  }
  guard.release();
  std::error_code ec;
  if (!fs::exists(temp, ec)) {  // libzip writes nothing for an archive without entries
    fail("the package has no parts");
  }
  fs::rename(temp, target, ec);
  if (ec) fail(ec.message());
  *this = open(path);
}

std::string resolvePartName(std::string_view base, std::string_view target) {
  std::string joined;
  if (!target.empty() && target.front() == '/') {
    joined = std::string(target.substr(1));
  } else {
    size_t slash = base.rfind('/');
    joined = (slash == std::string_view::npos ? std::string() : std::string(base.substr(0, slash + 1))) +
             std::string(target);
  }
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= joined.size()) {
    size_t end = joined.find('/', start);
    if (end == std::string::npos) end = joined.size();
    std::string piece = joined.substr(start, end - start);
    if (piece == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!piece.empty() && piece != ".") {
      parts.push_back(piece);
    }
    start = end + 1;
  }
  std::string out;
  for (auto& p : parts) out += (out.empty() ? "" : "/") + p;
  return out;
}

std::string relationshipsPartOf(std::string_view part) {
  size_t slash = part.rfind('/');
  std::string folder = slash == std::string_view::npos ? "" : std::string(part.substr(0, slash + 1));
  std::string name = std::string(slash == std::string_view::npos ? part : part.substr(slash + 1));
  return folder + "_rels/" + name + ".rels";
}

}  // namespace tlx::platform::opc
