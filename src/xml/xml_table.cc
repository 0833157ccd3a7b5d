// XML table files through the data-access component's XML data source, reached by member name.
#include <vector>

#include "talvex/convert.h"
#include "automation/frame.h"
#include "talvex/registry.h"
#include "xml/xml_files.h"

namespace tlx {

namespace {

constexpr std::u16string_view kText = u"$Text";
constexpr int32_t adChapter = 136;

// The connection strings of the XML data source, tried in turn until one is accepted.
bool setXmlDataSource(const ObjRef& rs) {
  for (const char16_t* connection : {u"Provider=MSDAOSP; Data Source=MSXML2.DSOControl;",
                                     u"Provider=MSDAOSP; Data Source=MSXML2.DSOControl.2.6;",
                                     u"Provider=MSDAOSP; Data Source=MSXML2.DSOControl.3.0;"}) {
    ErrorFrame frame;
    if (frame.step([&] { putProperty(rs, "ActiveConnection", Variant(connection)); })) return true;
  }
  return false;
}

struct FieldSlot {
  ObjRef field;
  bool copied;  // neither "$Text" nor a chapter
};

// Runs in a continue-on-error mode of its own: a value that does not fit stays out and the walk
// goes on. A recordset that cannot say EOF or move on ends the walk rather than repeat a record.
void XMLRecordsetToArray(const ObjRef& rs, bool blnIncludeHeadings, Variant& varArray) {
  ErrorFrame frame;
  SafeArray& a = varArray.arrayRef();
  int32_t row = 0, col = 0;
  ObjRef fields;
  frame.step([&] { fields = objectOf(getProperty(rs, "Fields")); });
  if (!fields) return;
  int32_t count = 0;
  frame.step([&] { count = toI4(getProperty(fields, "Count")); });
  if (blnIncludeHeadings) {
    for (int32_t i = 0; i < count; ++i)
      frame.step([&] {
        Variant name = getProperty(objectOf(getProperty(fields, "Item", {Variant(i)})), "Name");
        if (toBStr(name) == kText) return;
        a.at(row, col) = std::move(name);
        ++col;
      });
    ++row;
  }
  // Names and types do not change while the recordset is open: read them once.
  std::vector<FieldSlot> slots;
  frame.step([&] {
    for (const Variant& f : fields->enumerate()) {
      ObjRef field = objectOf(f);
      const bool text = toBStr(getProperty(field, "Name")) == kText;
      slots.push_back({field, !text && toI4(getProperty(field, "Type")) != adChapter});
    }
  });
  bool eof = true;
  while (frame.step([&] { eof = toBool(getProperty(rs, "EOF")); }) && !eof) {
    col = 0;
    for (const FieldSlot& s : slots) {
      if (!s.copied) continue;
      frame.step([&] { a.at(row, col) = getProperty(s.field, "Value"); });
      ++col;
    }
    ++row;
    if (!frame.step([&] { callMethod(rs, "MoveNext"); })) break;
  }
}

}  // namespace

int16_t XMLFileToArray(const BStr& strXMLFile, Variant& varArray, bool blnIncludeHeadings) {
  if (!varArray.isArray()) return -1;
  ObjRef rs;
  ErrorFrame frame;
  frame.step([&] { rs = createObject("ADODB.Recordset"); });
  if (!rs || !setXmlDataSource(rs)) return -2;
  if (!frame.step([&] { callMethod(rs, "Open", {Variant(strXMLFile)}); })) return -3;
  try {
    const int64_t records = toI4(getProperty(rs, "RecordCount"));
    const int64_t fields = toI4(getProperty(objectOf(getProperty(rs, "Fields")), "Count"));
    const int64_t rows = blnIncludeHeadings ? records + 1 : records;
    if (records < 0 || rows < 1 || fields < 2) throw ComError(hr::basicError(9), "Subscript out of range");
    redimVariant(varArray, {{0, static_cast<int32_t>(rows)}, {0, static_cast<int32_t>(fields - 1)}});
    XMLRecordsetToArray(rs, blnIncludeHeadings, varArray);
    return 1;
  } catch (...) {
    return -4;
  }
}

int16_t XMLFileToRecordset(const BStr& strXMLFile, const ObjRef& objRecd) {
  if (!objRecd || !setXmlDataSource(objRecd)) return -1;
  ErrorFrame frame;
  return frame.step([&] { callMethod(objRecd, "Open", {Variant(strXMLFile)}); }) ? 1 : -2;
}

}  // namespace tlx
