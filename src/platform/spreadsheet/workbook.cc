#include "platform/spreadsheet/workbook.h"

#include <algorithm>

#include "automation/strings.h"
#include "platform/spreadsheet/cell_values.h"
#include "platform/spreadsheet/write_reservation.h"

namespace tlx::platform::spreadsheet {

namespace {

using opc::child;
using opc::localName;

constexpr const char* kMain = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
constexpr const char* kRelNs = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
constexpr const char* kRelWorksheet = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet";
constexpr const char* kRelStyles = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles";
constexpr const char* kRelSharedStrings =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings";
constexpr const char* kRelCalcChain = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/calcChain";
constexpr const char* kTypeWorkbook = "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml";
constexpr const char* kTypeWorksheet = "application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml";
constexpr const char* kTypeStyles = "application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml";

// The r:id attribute of a <sheet>, whatever prefix the relationships namespace has.
std::string relationshipId(const pugi::xml_node& sheet) {
  for (pugi::xml_attribute a : sheet.attributes()) {
    std::string_view n = a.name();
    if (n.size() > 3 && n.substr(n.size() - 3) == ":id") return a.value();
  }
  return "";
}

std::vector<BStr> readSharedStrings(const opc::Package& p, const std::string& part) {
  std::vector<BStr> out;
  if (part.empty() || !p.has(part)) return out;
  pugi::xml_document doc = opc::parseXml(p.read(part), part);
  for (pugi::xml_node si : doc.document_element().children()) {
    if (localName(si) != "si") continue;
    std::string text;
    for (pugi::xml_node n : si.children()) {
      if (localName(n) == "t") text += n.text().get();
      else if (localName(n) == "r") text += child(n, "t").text().get();
    }
    out.emplace_back(decodeCellText(text));
  }
  return out;
}

}  // namespace

std::string badSheetName(std::u16string_view name) {
  if (name.empty()) return "The name is empty";
  if (name.size() > 31) return "The name is longer than 31 characters";
  if (name.find_first_of(u":\\/?*[]") != std::u16string_view::npos) return "The name holds one of : \\ / ? * [ ]";
  if (name.front() == u'\'' || name.back() == u'\'') return "The name begins or ends with an apostrophe";
  return "";
}

std::unique_ptr<Workbook> Workbook::create(int sheets) {
  std::unique_ptr<Workbook> wb(new Workbook());
  wb->types_ = std::make_unique<opc::ContentTypes>();
  wb->types_->setOverride(wb->workbookPart_, kTypeWorkbook);
  opc::Relationships root(wb->package_, "");
  root.add(opc::ns::OfficeDocument, wb->workbookPart_);
  root.store(wb->package_);
  pugi::xml_node book = wb->workbookXml_.append_child("workbook");
  book.append_attribute("xmlns") = kMain;
  book.append_attribute("xmlns:r") = kRelNs;
  book.append_child("bookViews").append_child("workbookView");
  book.append_child("sheets");
  wb->rels_ = std::make_unique<opc::Relationships>(wb->package_, wb->workbookPart_);
  wb->styles_.createDefault("xl/styles.xml");
  for (int i = 0; i < sheets; ++i) wb->addSheet(wb->sheets_.size());
  wb->touched_ = false;
  wb->workbookDirty_ = true;
  return wb;
}

std::unique_ptr<Workbook> Workbook::load(opc::Package package) {
  std::unique_ptr<Workbook> wb(new Workbook());
  wb->package_ = std::move(package);
  opc::Relationships root(wb->package_, "");
  wb->workbookPart_ = root.targetOfType(opc::ns::OfficeDocument);
  if (wb->workbookPart_.empty() || !wb->package_.has(wb->workbookPart_))
    throw opc::PackageError("The package holds no workbook");
  wb->types_ = std::make_unique<opc::ContentTypes>(wb->package_);
  wb->workbookXml_ = opc::parseXml(wb->package_.read(wb->workbookPart_), wb->workbookPart_);
  pugi::xml_node book = wb->workbookXml_.document_element();
  if (localName(book) != "workbook") throw opc::PackageError("The workbook part is not a workbook");
  wb->date1904_ = child(book, "workbookPr").attribute("date1904").as_bool();
  wb->rels_ = std::make_unique<opc::Relationships>(wb->package_, wb->workbookPart_);
  std::string styles = wb->rels_->targetOfType(kRelStyles);
  if (!styles.empty() && wb->package_.has(styles)) {
    wb->styles_.load(wb->package_, styles);
  } else {
    // A workbook without styles gets a new one's, stored only once a cell needs a style.
    wb->styles_.createDefault(styles.empty() ? opc::resolvePartName(wb->workbookPart_, "styles.xml") : styles);
    wb->styles_.saved();
  }
  wb->sharedStrings_ = readSharedStrings(wb->package_, wb->rels_->targetOfType(kRelSharedStrings));
  for (pugi::xml_node s : child(book, "sheets").children()) {
    if (localName(s) != "sheet") continue;
    std::string target = wb->rels_->targetOf(relationshipId(s));
    // Chart sheets and dialog sheets are sheets of the workbook but not worksheets.
    if (target.empty() || wb->types_->typeOf(target) != kTypeWorksheet) continue;
    auto sheet = std::make_unique<Sheet>();
    sheet->name = std::string(s.attribute("name").value());
    sheet->part = target;
    sheet->entry = s;
    sheet->book_ = wb.get();
    wb->sheets_.push_back(std::move(sheet));
  }
  return wb;
}

const BStr& Workbook::sharedString(int32_t i) const {
  if (i < 0 || static_cast<size_t>(i) >= sharedStrings_.size())
    throw opc::PackageError("A cell refers to a shared string that does not exist");
  return sharedStrings_[static_cast<size_t>(i)];
}

pugi::xml_node Workbook::sheetsNode() {
  pugi::xml_node book = workbookXml_.document_element();
  pugi::xml_node sheets = child(book, "sheets");
  if (!sheets) sheets = book.append_child((opc::prefixOf(book) + "sheets").c_str());
  return sheets;
}

namespace {

// A sheet's name (UTF-8) against one asked for, without regard to case; ASCII names are
// compared where they are, with no conversion for each of a workbook's thousands of sheets.
bool sameName(std::string_view utf8, std::u16string_view name) {
  if (std::any_of(utf8.begin(), utf8.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; }))
    return equalsNoCase(u16(utf8), name);
  return utf8.size() == name.size() &&
         std::equal(utf8.begin(), utf8.end(), name.begin(), [](char a, char16_t b) { return lowerChar(char16_t(a)) == lowerChar(b); });
}

}  // namespace

Sheet* Workbook::sheetNamed(std::u16string_view name) {
  for (auto& s : sheets_)
    if (sameName(s->name, name)) return s.get();
  return nullptr;
}

std::u16string Workbook::nextSheetName() const {
  for (size_t n = sheets_.size() + 1;; ++n) {
    std::u16string name = u"Sheet" + std::u16string(u16(std::to_string(n)).view());
    if (!const_cast<Workbook*>(this)->sheetNamed(name)) return name;
  }
}

Sheet& Workbook::addSheet(size_t position) {
  position = std::min(position, sheets_.size());
  std::string part;
  auto taken = [&](const std::string& name) {
    return package_.has(name) || std::any_of(sheets_.begin(), sheets_.end(), [&](auto& s) { return s->part == name; });
  };
  do part = "xl/worksheets/sheet" + std::to_string(nextSheetNumber_++) + ".xml";
  while (taken(part));
  std::string id = rels_->add(kRelWorksheet, part.substr(3));
  types_->setOverride(part, kTypeWorksheet);
  pugi::xml_node sheets = sheetsNode();
  if (!nextSheetId_)
    for (pugi::xml_node s : sheets.children()) nextSheetId_ = std::max(nextSheetId_, s.attribute("sheetId").as_uint());
  unsigned sheetId = ++nextSheetId_;
  std::string sheetTag = opc::prefixOf(sheets) + "sheet";
  pugi::xml_node entry = position < sheets_.size() ? sheets.insert_child_before(sheetTag.c_str(), sheets_[position]->entry)
                                                   : sheets.append_child(sheetTag.c_str());
  auto sheet = std::make_unique<Sheet>();
  sheet->name = u8(nextSheetName());
  sheet->part = part;
  sheet->book_ = this;
  sheet->load();
  sheet->dirty_ = true;
  entry.append_attribute("name") = sheet->name.c_str();
  entry.append_attribute("sheetId") = sheetId;
  std::string prefix;
  for (pugi::xml_attribute a : workbookXml_.document_element().attributes())
    if (std::string_view(a.value()) == kRelNs && std::string_view(a.name()).starts_with("xmlns:"))
      prefix = std::string(a.name()).substr(6);
  if (prefix.empty()) {
    // Some writers declare the relationships namespace on each <sheet> instead of the root.
    prefix = "r";
    entry.append_attribute("xmlns:r") = kRelNs;
  }
  entry.append_attribute((prefix + ":id").c_str()) = id.c_str();
  sheet->entry = entry;
  // Names and views that count sheets by position move with the sheets after the new one.
  pugi::xml_node book = workbookXml_.document_element();
  for (pugi::xml_node dn : child(book, "definedNames").children())
    if (pugi::xml_attribute local = dn.attribute("localSheetId"); local && local.as_uint() >= position)
      local.set_value(local.as_uint() + 1);
  for (pugi::xml_node view : child(book, "bookViews").children())
    if (pugi::xml_attribute tab = view.attribute("activeTab"); tab && tab.as_uint() >= position)
      tab.set_value(tab.as_uint() + 1);
  Sheet& made = *sheet;
  sheets_.insert(sheets_.begin() + static_cast<std::ptrdiff_t>(position), std::move(sheet));
  workbookDirty_ = true;
  touched_ = true;
  return made;
}

void Workbook::rename(Sheet& sheet, const std::u16string& name) {
  if (std::string why = badSheetName(name); !why.empty())
    throw ComError(hr::basicError(1004), "You typed an invalid name for a sheet or chart: " + why);
  Sheet* other = sheetNamed(name);
  if (other && other != &sheet)
    throw ComError(hr::basicError(1004), "That name is already taken. Try a different one.");
  if (u16(sheet.name) == name) return;
  sheet.name = u8(name);
  sheet.entry.attribute("name").set_value(sheet.name.c_str());
  workbookDirty_ = true;
  touched_ = true;
}

bool Workbook::changed() const { return touched_; }

bool Workbook::writeReserved() const {
  return hasWriteReservation(child(workbookXml_.document_element(), "fileSharing"));
}

bool Workbook::checkWriteReservation(std::u16string_view password) const {
  return matchesWriteReservation(child(workbookXml_.document_element(), "fileSharing"), password);
}

void Workbook::save(const std::string& path) {
  // Changed sheets stream into the package: their text is never held whole.
  std::vector<Sheet*> written;
  for (auto& s : sheets_)
    if (s->changed()) {
      package_.writeStreamed(s->part, [sheet = s.get()] { return sheet->pieces(); });
      written.push_back(s.get());
    }
  if (styles_.changed()) {
    if (!package_.has(styles_.part())) {
      if (rels_->targetOfType(kRelStyles).empty()) rels_->add(kRelStyles, "styles.xml");
      types_->setOverride(styles_.part(), kTypeStyles);
      workbookDirty_ = true;
    }
    package_.write(styles_.part(), styles_.xml());
  }
  if (formulasDropped_) {
    // The calculation chain lists formula cells; one that lost its formula would make the
    // chain name a cell without one, which readers treat as damage.
    std::string chain = rels_->targetOfType(kRelCalcChain);
    if (!chain.empty()) {
      package_.remove(chain);
      types_->removeOverride(chain);
      rels_->remove(kRelCalcChain);
      workbookDirty_ = true;
    }
  }
  if (workbookDirty_) {
    package_.write(workbookPart_, opc::toText(workbookXml_));
    rels_->store(package_);
    types_->store(package_);
  }
  package_.save(path);
  for (Sheet* s : written) s->dirty_ = false;
  workbookDirty_ = formulasDropped_ = touched_ = false;
  styles_.saved();
}

}  // namespace tlx::platform::spreadsheet
