// Directory, drive and file list boxes: lists read from the real file system, refreshed when
// their path or filters change and on Refresh.
#include "automation/control_iids.h"
#include "talvex/registry.h"
#include "automation/strings.h"
#include "platform/forms/file_system.h"
#include "platform/forms/form_errors.h"
#include "platform/forms/forms_internal.h"
#include "platform/forms/list_members.h"

namespace fs = std::filesystem;

namespace tlx::platform::forms {

namespace {

template <class Self>
void addRefresh(Members<Self>& m) {
  m.method("Refresh", {}, [](Self& s, Args&) {
    s.refresh();
    return Variant();
  });
}

// Entries 0 and up are the subdirectories of Path; List(-1) is Path itself and each further
// negative index one ancestor more.
class DirListBox : public Object<DirListBox> {
 public:
  DirListBox() { setPath(textOf(fs::current_path())); }
  static const Members<DirListBox>& members();
  bool supports(std::string_view id) const override { return id == iid::DirListBox || id == iid::IDispatch; }
  std::string typeName() const override { return "DirListBox"; }
  ListModel& list() { return list_; }

  BStr path() const { return textOf(path_); }
  void setPath(std::u16string_view text) {
    path_ = existingDirectory(text);
    refresh();
  }
  void refresh() { list_.assign(subdirectories(path_)); }

  BStr entry(int32_t index) const {
    if (index >= 0) return list_.text(index);
    fs::path p = path_;
    for (int32_t up = -1; up > index; --up) {
      if (p == p.root_path()) invalidArrayIndex();
      p = p.parent_path();
    }
    return textOf(p);
  }

 private:
  fs::path path_;
  ListModel list_;
};

const Members<DirListBox>& DirListBox::members() {
  static const Members<DirListBox> table = [] {
    Members<DirListBox> m;
    addListReading(m);
    addRefresh(m);
    m.property("List", [](DirListBox& s, Args& a) { return Variant(s.entry(toI4(a[0]))); }, {}, {"Index"});
    m.property(
        "Path", [](DirListBox& s, Args&) { return Variant(s.path()); },
        [](DirListBox& s, Args&, const Variant& v) { s.setPath(toBStr(v)); });
    m.byDefault("Path");
    return m;
  }();
  return table;
}

class DriveListBox : public Object<DriveListBox> {
 public:
  DriveListBox() {
    refresh();
    drive_ = driveOf(fs::current_path(), drives_);
  }
  static const Members<DriveListBox>& members();
  bool supports(std::string_view id) const override { return id == iid::DriveListBox || id == iid::IDispatch; }
  std::string typeName() const override { return "DriveListBox"; }
  ListModel& list() { return list_; }

  void refresh() {
    drives_ = mountedDrives();
    list_.assign(drives_);
  }
  BStr drive() const { return drive_; }
  // A drive of the list, or any existing path on one.
  void setDrive(std::u16string_view text) {
    std::error_code ec;
    const fs::path p = fs::path(u8(text));
    if (text.empty() || !fs::exists(p, ec)) deviceUnavailable();
    drive_ = driveOf(fs::absolute(p, ec).lexically_normal(), drives_);
    list_.setListIndex(list_.find(drive_));
  }

 private:
  std::vector<BStr> drives_;
  BStr drive_;
  ListModel list_;
};

const Members<DriveListBox>& DriveListBox::members() {
  static const Members<DriveListBox> table = [] {
    Members<DriveListBox> m;
    addListReading(m);
    addRefresh(m);
    m.property(
        "Drive", [](DriveListBox& s, Args&) { return Variant(s.drive()); },
        [](DriveListBox& s, Args&, const Variant& v) { s.setDrive(toBStr(v)); });
    m.byDefault("Drive");
    return m;
  }();
  return table;
}

class FileListBox : public Object<FileListBox> {
 public:
  FileListBox() : path_(fs::current_path()) { refresh(); }
  static const Members<FileListBox>& members();
  bool supports(std::string_view id) const override { return id == iid::FileListBox || id == iid::IDispatch; }
  std::string typeName() const override { return "FileListBox"; }
  ListModel& list() { return list_; }
  FileFilter& filter() { return filter_; }

  void refresh() {
    const int32_t mode = list_.multiSelect();
    list_.assign(filesIn(path_, filter_));
    list_.setMultiSelect(mode);
  }
  BStr path() const { return textOf(path_); }
  void setPath(std::u16string_view text) {
    path_ = existingDirectory(text);
    refresh();
  }
  BStr fileName() const { return list_.listIndex() < 0 ? BStr() : list_.text(list_.listIndex()); }
  // A name with a directory moves Path there; a wildcard name becomes the Pattern; a plain name
  // selects that file.
  void setFileName(std::u16string_view text) {
    const size_t slash = text.rfind(u'/');
    if (slash != std::u16string_view::npos) {
      setPath(slash == 0 ? std::u16string_view(u"/") : text.substr(0, slash));
      text.remove_prefix(slash + 1);
    }
    if (text.find_first_of(u"*?") != std::u16string_view::npos) {
      filter_.pattern = text;
      refresh();
    } else if (!text.empty()) {
      list_.setListIndex(list_.find(text));
    }
  }

 private:
  fs::path path_;
  FileFilter filter_;
  ListModel list_;
};

// A filter property: reading it, and changing it lists the files again.
template <class T>
void filterProperty(Members<FileListBox>& m, const char* name, T FileFilter::*field) {
  m.property(
      name, [field](FileListBox& s, Args&) { return Variant(s.filter().*field); },
      [field](FileListBox& s, Args&, const Variant& v) {
        if constexpr (std::is_same_v<T, bool>) s.filter().*field = toBool(v);
        else s.filter().*field = toBStr(v);
        s.refresh();
      });
}

const Members<FileListBox>& FileListBox::members() {
  static const Members<FileListBox> table = [] {
    Members<FileListBox> m;
    addListReading(m);
    addRefresh(m);
    m.property(
        "Path", [](FileListBox& s, Args&) { return Variant(s.path()); },
        [](FileListBox& s, Args&, const Variant& v) { s.setPath(toBStr(v)); });
    m.property(
        "FileName", [](FileListBox& s, Args&) { return Variant(s.fileName()); },
        [](FileListBox& s, Args&, const Variant& v) { s.setFileName(toBStr(v)); });
    filterProperty(m, "Pattern", &FileFilter::pattern);
    filterProperty(m, "Archive", &FileFilter::archive);
    filterProperty(m, "Hidden", &FileFilter::hidden);
    filterProperty(m, "ReadOnly", &FileFilter::readOnly);
    filterProperty(m, "System", &FileFilter::system);
    m.byDefault("FileName");
    return m;
  }();
  return table;
}

}  // namespace

void registerFileLists() {
  registerClass("VB.DirListBox", [] { return ObjRef(new DirListBox()); });
  registerClass("VB.DriveListBox", [] { return ObjRef(new DriveListBox()); });
  registerClass("VB.FileListBox", [] { return ObjRef(new FileListBox()); });
}

}  // namespace tlx::platform::forms
