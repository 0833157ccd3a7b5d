#include "control/type_library.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>
#include <unordered_map>

#include <fmt/format.h>

#include "talvex/convert.h"
#include "talvex/dispatch.h"
#include "automation/strings.h"
#include "control/declaration.h"

namespace tlx {

namespace {

// The status codes, family by family: the methods that share a list, then the list.
struct CodeList {
  std::vector<std::string_view> methods;
  std::vector<StatusCode> codes;
};

std::vector<CodeList> statusCodeLists() {
  const StatusCode notAttached{-1, "no AutoCAD instance attached"};
  const StatusCode notActive{-2, "the held document failed to activate, or none is held"};
  const StatusCode noArray{-1, "varArray holds no array"};
  return {
      // Drawings.
      {{"Zoom", "ZoomCenter", "ZoomScaled", "ZoomPick", "ZoomAll", "ZoomExtents", "ZoomPrevious"},
       {{1, "done"}, notAttached, notActive, {-3, "the window activation or the zoom call failed"}}},
      {{"Regenerate"}, {{1, "the regeneration was called"}, notAttached, notActive}},
      {{"DeleteView", "SetViewPort", "SetGridSpacing", "DeleteViewPort"},
       {{1, "done"}, notAttached, notActive, {-3, "an operation failed, such as a name that does not exist"}}},
      {{"GetAutoCADObject"}, {{1, "done"}, notAttached, {-2, "obtaining the Application failed"}}},
      {{"OpenDocument"},
       {{1, "done"},
        {-1, "AutoCAD neither running nor startable"},
        {-2, "the file failed to open"},
        {-3, "an error, shown in a message box (no file name given)"}}},
      {{"ActivateDocument"}, {{1, "done"}, notAttached, {-2, "no such document, or no active document"}}},
      {{"DocumentCount"}, {notAttached, notActive}},
      {{"GetDocumentNames"},
       {{1, "done"},
        {-1, "AutoCAD not running"},
        {-2, "no active document"},
        {-3, "a failure while collecting the names"}}},
      {{"SaveDocument"}, {{1, "done"}, notAttached, notActive, {-3, "the save failed"}}},
      // Block attributes. The sinks and ReplaceAttributes succeed with a count (blocks found,
      // values replaced) and list only their failures.
      {{"PrepTemplate"},
       {{1, "the template was read and holds at least one tag"},
        {-1, "the file cannot be opened"},
        {-2, "no \"*INPUT\" line"},
        {-3, "the file ends before the \"*OUTPUT\" line"},
        {-4, "the file ends before the \"*ATTRIBUTE_TAGS\" line"},
        {-5, "the tag section yields no tag"}}},
      {{"AttributesToFile"}, {notAttached, notActive, {-3, "the output file cannot be opened for writing"}}},
      {{"AttributesToArray"}, {notAttached, notActive, {-3, "varArray holds no array"}}},
      {{"AttributesToRecordset"},
       {notAttached, notActive, {-3, "an error after the transaction was begun (rolled back)"}}},
      {{"AttributesToDatabaseTable"},
       {notAttached,
        notActive,
        {-3, "the connection cannot be opened"},
        {-4, "the table cannot be opened"},
        {-5, "an error after the transaction was begun (rolled back)"}}},
      {{"AttributesToClipboard", "ReplaceAttributes"}, {notAttached, notActive}},
      {{"DXFToExcel"},
       {{1, "the file was read up to its \"EOF\" value"},
        {-1, "an error: file missing or unreadable, no \"EOF\", no spreadsheet, workbook or sheet refused"}}},
      // Spreadsheets and documents.
      {{"TwoDArrayToExcel"},
       {{1, "array written, Excel shown"},
        {-1, "Excel could be neither attached nor started"},
        {-2, "varArray is not an array"},
        {-3, "the workbook failed to open"},
        {-4, "worksheet selector invalid or worksheet not found"},
        {-5, "any other error; nothing closed"}}},
      {{"ExcelToOneDArray", "ExcelToTwoDArray"},
       {{1, "cells read"},
        {-1, "Excel could be neither attached nor started"},
        {-2, "varArray is not an array"},
        {-3, "the workbook failed to open"},
        {-4, "worksheet selector invalid or worksheet not found"},
        {-5, "an error while reading cells"}}},
      {{"TextToWord", "RecordsetToWord"},
       {{1, "done"}, {-1, "Word could be neither attached nor started"}, {-2, "any later failure"}}},
      {{"OneDArrayToWord", "TwoDArrayToWord"},
       {{1, "done"},
        {-1, "Word could be neither attached nor started"},
        {-2, "varArray is not an array"},
        {-3, "any later failure"}}},
      // Databases, XML and FTP.
      {{"DatabaseTableToArray"},
       {{1, "done"},
        noArray,
        {-2, "the connection failed to open"},
        {-3, "the query failed to open"},
        {-4, "a failure while reading"}}},
      {{"RecordsetToArray"}, {{1, "done"}, noArray, {-2, "any failure after the array check"}}},
      {{"RecordsetToTextFile"}, {{1, "done"}, {-1, "any failure"}}},
      {{"DatabaseTableToTextFile"},
       {{1, "done"},
        {-1, "the connection failed to open"},
        {-2, "the query failed to open"},
        {-3, "a failure while writing"}}},
      {{"XMLFileToArray"},
       {{1, "done"},
        noArray,
        {-2, "no XML data source accepted"},
        {-3, "the file failed to open"},
        {-4, "a failure while filling the array"}}},
      {{"XMLFileToRecordset"}, {{1, "done"}, {-1, "no XML data source accepted"}, {-2, "the file failed to open"}}},
      {{"XMLFileToTreeView"},
       {{1, "done (also when nothing was added)"},
        {-1, "no DOM document could be created"},
        {-2, "an error pending after Load"},
        {-3, "the file did not parse"}}},
      {{"DownloadFile", "UploadFile"},
       {{1, "every command was handed to the control and reported finished"}, {-1, "a step failed"}}},
      // Arrays and text.
      {{"SortOneDArray", "TwoDArrayToDictionary", "DictionaryToArray"},
       {{1, "done"}, noArray, {-2, "run-time error"}}},
      {{"ComputeOneDArray", "ComputeTwoDArray", "ComputeThreeDArray"},
       {{1, "done"}, noArray, {-2, "lngCompute is not 0 to 3"}, {-3, "run-time error"}}},
      {{"TwoDArrayToCollection"}, {{1, "done"}, noArray, {-2, "cl is not a Collection"}, {-3, "run-time error"}}},
      {{"CollectionToOneDArray"},
       {{1, "done"}, {-1, "cl is not a Collection"}, {-2, "varArray holds no array"}, {-3, "run-time error"}}},
      {{"TextFileToArray", "TextFileToOneDArray"},
       {{1, "done"},
        {-1, "the file cannot be opened for reading"},
        {-2, "varArray holds no array"},
        {-3, "run-time error while reading or storing"}}},
      {{"MultiLineTextToOneDArray"}, {{1, "done"}, noArray, {-2, "run-time error"}}},
      {{"TwoDArrayToText", "OneDArrayToText"},
       {{1, "done"}, noArray, {-2, "run-time error, such as an element that cannot be converted to text"}}},
      {{"TwoDArrayToTextFile", "OneDArrayToTextFile"},
       {{1, "done"}, noArray, {-2, "run-time error: file cannot be created, element cannot be converted"}}},
      // The host's controls.
      {{"ComboBoxToOneDArray"}, {{1, "done"}, {-1, "not a ComboBox"}, {-2, "varArray holds no array"}, {-3, "run-time error"}}},
      {{"ListBoxToOneDArray"}, {{1, "done"}, {-1, "not a ListBox"}, {-2, "varArray holds no array"}, {-3, "run-time error"}}},
      {{"DirListBoxToOneDArray"},
       {{1, "done"}, {-1, "not a DirListBox"}, {-2, "varArray holds no array"}, {-3, "run-time error"}}},
      {{"DriveListBoxToOneDArray"},
       {{1, "done"}, {-1, "not a DriveListBox"}, {-2, "varArray holds no array"}, {-3, "run-time error"}}},
      {{"FileListBoxToOneDArray"},
       {{1, "done"}, {-1, "not a FileListBox"}, {-2, "varArray holds no array"}, {-3, "run-time error"}}},
      {{"TextBoxToOneDArray"}, {{1, "done"}, {-1, "not a TextBox"}, {-2, "varArray holds no array"}, {-3, "run-time error"}}},
      {{"RichTextBoxToOneDArray", "DataGridToArray", "ListViewToArray", "FlexGridToArray", "HFlexGridToArray",
        "TwoDArrayToFlexGrid", "TreeViewToTwoDArray", "TwoDArrayToTreeView"},
       {{1, "done"}, noArray, {-2, "run-time error"}}},
      // HTML and PDF.
      {{"OneDArrayToHTMLTable", "TwoDArrayToHTMLTable", "OneDArrayToHTMLFile", "TwoDArrayToHTMLFile"},
       {{1, "done"}, noArray, {-2, "run-time error: an element that cannot be converted to text, a file that cannot be written"}}},
      {{"CreatePDFFromFile"},
       {{1, "done"}, {-1, "the text file does not exist"}, {-2, "a run-time error in the method's own steps"}}},
  };
}

std::vector<EnumInfo> buildEnumerations() {
  std::vector<EnumInfo> e;
  for (std::string_view name : kEnumerations) {
    EnumInfo& info = e.emplace_back(EnumInfo{std::string(name), {}});
    for (const EnumConstant& c : kEnumConstants)
      if (c.enumeration == name) info.constants.push_back({std::string(c.name), c.value});
  }
  // Word's table formats, numbered in runs.
  auto& table = std::find_if(e.begin(), e.end(), [](const EnumInfo& i) { return i.name == "TableType"; })->constants;
  int32_t value = 0;
  table.push_back({"tlxTableFormatNone", value++});
  const std::pair<const char*, int> runs[] = {{"Simple", 3},  {"Classic", 4}, {"Colorful", 3},
                                              {"Columns", 5}, {"Grid", 8},    {"List", 8},
                                              {"3DEffects", 3}};
  for (auto [stem, count] : runs)
    for (int i = 1; i <= count; ++i) table.push_back({fmt::format("tlxTableFormat{}{}", stem, i), value++});
  for (const char* name : {"Contemporary", "Elegant", "Professional", "Subtle1", "Subtle2", "Web1", "Web2", "Web3"})
    table.push_back({fmt::format("tlxTableFormat{}", name), value++});
  return e;
}

const std::vector<EnumInfo>& enumTable() {
  static const std::vector<EnumInfo> e = buildEnumerations();
  return e;
}

// Every declaration reads at compile time: a malformed one fails the build.
static_assert([] {
  for (std::string_view d : kDeclarations)
    if (!isPrivateSlot(d)) parseDeclaration(d);
  return true;
}());

// A declared default as a value of its parameter's type.
Variant defaultValue(std::string_view literal, VarType type) {
  if (literal.front() == '"') return Variant(u16(literal.substr(1, literal.size() - 2)));
  if (literal == "True" || literal == "False") return Variant(literal == "True");
  return changeType(Variant(std::stod(std::string(literal))), type);
}

MethodInfo methodInfo(const MethodDeclaration& d, int32_t dispid) {
  MethodInfo m;
  m.name = d.name;
  m.dispid = dispid;
  for (size_t i = 0; i < d.paramCount; ++i) {
    const ParamDeclaration& p = d.params[i];
    ParamInfo& info = m.params.emplace_back();
    info.name = p.name;
    info.typeName = p.type;
    info.type = declaredType(p.type);
    info.optional = p.optional;
    info.byVal = p.byVal;
    if (!p.defaultText.empty()) info.defaultValue = defaultValue(p.defaultText, info.type);
  }
  m.resultTypeName = d.result;
  m.resultType = d.result.empty() ? vtEmpty : declaredType(d.result);
  return m;
}

std::vector<MethodInfo> buildLibrary() {
  std::vector<MethodInfo> methods;
  int32_t dispid = kFirstDispid;
  for (std::string_view d : kDeclarations) {
    if (!isPrivateSlot(d)) methods.push_back(methodInfo(parseDeclaration(d), dispid));
    ++dispid;
  }
  for (const CodeList& list : statusCodeLists())
    for (std::string_view name : list.methods) {
      auto m = std::find_if(methods.begin(), methods.end(), [&](const MethodInfo& m) { return m.name == name; });
      if (m == methods.end() || !m->statusCodes.empty())
        throw std::logic_error("type library: status codes for an unknown method, or twice: " + std::string(name));
      m->statusCodes = list.codes;
    }
  return methods;
}

}  // namespace

std::string literalText(const Variant& v) {
  switch (v.type()) {
    case vtString: return "\"" + u8(v.str()) + "\"";
    case vtBoolean: return v.boolean() ? "True" : "False";
    default: return u8(toBStr(v));
  }
}

std::string MethodInfo::signature() const {
  std::string s = (resultType == vtEmpty && resultTypeName.empty()) ? "Sub " : "Function ";
  s += name + "(";
  for (size_t i = 0; i < params.size(); ++i) {
    const ParamInfo& p = params[i];
    if (i) s += ", ";
    if (p.optional) s += "Optional ";
    if (p.byVal) s += "ByVal ";
    s += p.name + " As " + p.typeName;
    if (p.defaultValue) s += " = " + literalText(*p.defaultValue);
  }
  s += ")";
  if (!resultTypeName.empty()) s += " As " + resultTypeName;
  return s;
}

const std::vector<MethodInfo>& typeLibrary() {
  static const std::vector<MethodInfo> library = buildLibrary();
  return library;
}

const MethodInfo* findMethod(std::string_view name) {
  static const std::unordered_map<std::string, const MethodInfo*> byName = [] {
    std::unordered_map<std::string, const MethodInfo*> map;
    for (auto& m : typeLibrary()) map.emplace(asciiLower(m.name), &m);
    return map;
  }();
  auto it = byName.find(asciiLower(name));
  return it == byName.end() ? nullptr : it->second;
}

const MethodInfo* findMethod(int32_t dispid) {
  // Containers reach the about box through its standard identifier.
  if (dispid == DISPID_ABOUTBOX) return findMethod("AboutBox");
  for (auto& m : typeLibrary())
    if (m.dispid == dispid) return &m;
  return nullptr;
}

const std::vector<EnumInfo>& enumerations() { return enumTable(); }

const StatusCode* findStatusCode(const MethodInfo& method, int32_t code) {
  for (const StatusCode& c : method.statusCodes)
    if (c.code == code) return &c;
  return nullptr;
}

const EnumInfo* findEnumeration(std::string_view name) {
  for (const EnumInfo& e : enumTable())
    if (e.name == name) return &e;
  return nullptr;
}

}  // namespace tlx
