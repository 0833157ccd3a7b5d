#include "control/type_library.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>
#include <unordered_map>

#include <fmt/format.h>

#include "talvex/convert.h"
#include "talvex/dispatch.h"
#include "automation/strings.h"

namespace tlx {

namespace {

constexpr int32_t kFirstDispid = 0x60030000;

// The interface, one Basic declaration per procedure of the control class, in declaration order.
// Every procedure takes the next dispatch identifier; a "-" entry stands for a private procedure,
// which takes an identifier that the interface then does not show. The order, family by family:
//
//   0x60030000  zoom and regeneration (Zoom first), named views, viewports and grid,
//               entity creation, multiline text from arrays, block attributes
//   0x6003001F  private: the attribute harvest walk
//   0x60030020  application control (AboutBox last), document management,
//               array arithmetic, sorting and collections
//   0x6003003A  private: sorting
//   0x6003003B  delimited text and text files, list-type controls and text boxes,
//               grid, list-view and tree controls, HTML, XML files
//   0x60030057  private: an XML walker
//   0x60030058  recordsets and database tables, FTP
//   0x6003005E  private: fourteen procedures (the PDF writer's steps and the other walkers)
//   0x6003006C  Excel exchange, Word export, text file to PDF, DXF to Excel (DXFToExcel last)
//
// That is one hundred public procedures, AboutBox among them; AboutBox also answers to the
// standard about-box identifier.
const char* const kDeclarations[] = {
    // Zoom and regeneration.
    "Function Zoom(dblStartPtX As Double, dblStartPtY As Double, dblStartPtZ As Double, "
    "dblEndPtX As Double, dblEndPtY As Double, dblEndPtZ As Double) As Integer",
    "Function ZoomCenter(dblCenterPtX As Double, dblCenterPtY As Double, dblCenterPtZ As Double, "
    "Optional dblMagnify As Double) As Integer",
    "Function ZoomScaled(dblScale As Double, Optional ByVal lngScaleType As ZoomScaleType) As Integer",
    "Function ZoomPick() As Integer",
    "Function ZoomAll() As Integer",
    "Function ZoomExtents() As Integer",
    "Function ZoomPrevious() As Integer",
    "Function Regenerate(ByVal lngViewPort As PortTypes) As Integer",
    // Named views, viewports and grid.
    "Function CreateView(strName As String) As Object",
    "Function CreateViewPort(strName As String) As Object",
    "Function DeleteView(strName As String) As Integer",
    "Function SetViewPort(strName As String) As Integer",
    "Function SetGridSpacing(Xspace As Double, Yspace As Double, Optional strViewPort As String, "
    "Optional blnGrid As Boolean) As Integer",
    "Function DeleteViewPort(strName As String) As Integer",
    // Entity creation.
    "Function CreateLine(Optional lngDrawingSpace As SpaceType, Optional blnManualInsert As Boolean, "
    "Optional blnSwitchToApp As Boolean, Optional dblStartPtX As Double, Optional dblStartPtY As Double, "
    "Optional dblStartPtZ As Double, Optional dblEndPtX As Double, Optional dblEndPtY As Double, "
    "Optional dblEndPtZ As Double) As Object",
    "Function CreateArc(dblRadius As Double, dblStartAngle As Double, dblEndAngle As Double, "
    "Optional lngDrawingSpace As SpaceType, Optional blnManualInsert As Boolean, "
    "Optional blnSwitchToApp As Boolean, Optional dblCenterPtX As Double, Optional dblCenterPtY As Double, "
    "Optional dblCenterPtZ As Double) As Object",
    "Function CreateCircle(dblRadius As Double, Optional lngDrawingSpace As SpaceType, "
    "Optional blnManualInsert As Boolean, Optional blnSwitchToApp As Boolean, "
    "Optional dblCenterPtX As Double, Optional dblCenterPtY As Double, Optional dblCenterPtZ As Double) As Object",
    "Function CreateEllipse(dblRadiusRatio As Double, Optional lngDrawingSpace As SpaceType, "
    "Optional blnManualInsert As Boolean, Optional blnSwitchToApp As Boolean, "
    "Optional dblCenterPtX As Double, Optional dblCenterPtY As Double, Optional dblCenterPtZ As Double, "
    "Optional dblMajorAxisPtX As Double, Optional dblMajorAxisPtY As Double, "
    "Optional dblMajorAxisPtZ As Double) As Object",
    "Function CreateCone(dblBaseRadius As Double, dblHeight As Double, Optional lngDrawingSpace As SpaceType, "
    "Optional blnManualInsert As Boolean, Optional blnSwitchToApp As Boolean, "
    "Optional dblCenterPtX As Double, Optional dblCenterPtY As Double, Optional dblCenterPtZ As Double) As Object",
    "Function CreateBox(dblLength As Double, dblWidth As Double, dblHeight As Double, "
    "Optional lngDrawingSpace As SpaceType, Optional blnManualInsert As Boolean, "
    "Optional blnSwitchToApp As Boolean, Optional dblOriginPtX As Double, Optional dblOriginPtY As Double, "
    "Optional dblOriginPtZ As Double) As Object",
    "Function CreateMultilineText(dblWidth As Double, strText As String, Optional lngDrawingSpace As SpaceType, "
    "Optional blnManualInsert As Boolean, Optional blnSwitchToApp As Boolean, "
    "Optional dblInsertPtX As Double, Optional dblInsertPtY As Double) As Object",
    "Function CreateText(dblWidth As Double, strText As String, Optional lngDrawingSpace As SpaceType, "
    "Optional blnManualInsert As Boolean, Optional blnSwitchToApp As Boolean, "
    "Optional dblInsertPtX As Double, Optional dblInsertPtY As Double) As Object",
    // Multiline text from arrays.
    "Function CreateMultilineTextFromOneDArray(dblWidth As Double, varArray As Variant, "
    "Optional lngDrawingSpace As SpaceType, Optional blnManualInsert As Boolean, "
    "Optional blnSwitchToApp As Boolean, Optional blnShowBlankAsNA As Boolean, "
    "Optional dblInsertPtX As Double, Optional dblInsertPtY As Double) As Object",
    "Function CreateMultilineTextFromTwoDArray(dblWidth As Double, varArray As Variant, "
    "varSpacingArray As Variant, Optional lngDrawingSpace As SpaceType, Optional blnManualInsert As Boolean, "
    "Optional blnSwitchToApp As Boolean, Optional blnShowBlankAsNA As Boolean, "
    "Optional dblInsertPtX As Double, Optional dblInsertPtY As Double) As Variant",
    // Block attributes.
    "Function PrepTemplate(strTemplateFile As String) As Integer",
    "Function AttributesToFile(strFile As String, Optional blnIncludeTags As Boolean, "
    "Optional ByVal strDelimiter As String = \",\", Optional blnQuotes As Boolean) As Integer",
    "Function AttributesToArray(varArray As Variant, Optional blnIncludeTags As Boolean) As Integer",
    "Function AttributesToRecordset(objConn As Object, objRecd As Object, "
    "Optional blnOverwrite As Boolean) As Integer",
    "Function AttributesToDatabaseTable(strDSN As String, strTable As String, "
    "Optional strUserID As String = \"\", Optional strPassword As String = \"\", "
    "Optional blnOverwrite As Boolean) As Integer",
    "Function AttributesToClipboard(Optional blnIncludeTags As Boolean, "
    "Optional ByVal strDelimiter As String = \",\", Optional blnQuotes As Boolean) As Integer",
    "Function ReplaceAttributes(strTextToFind As String, strTextToReplace As String, "
    "Optional blnFindTag As Boolean, Optional blnPartialMatch As Boolean) As Integer",
    "-",  // 0x6003001F
    // Application control.
    "Function IsAutoCADUp() As Boolean",
    "Sub SwitchToAutoCAD()",
    "Function GetAutoCADObject(objAutoCADApp As Object) As Integer",
    "Function GetVersion() As Integer",
    "Sub HideAutoCAD()",
    "Sub UnhideAutoCAD()",
    "Sub CloseAutoCAD(Optional blnSave As Boolean = False)",
    "Sub AboutBox()",
    // Document management.
    "Function OpenDocument(Optional strDocument As String, Optional blnSwitchToAutoCAD As Boolean, "
    "Optional blnReadOnly As Boolean, Optional blnHideAutoCAD As Boolean, "
    "Optional ByVal lngWindowStateAutoCAD As WindowStateType = 1, "
    "Optional ByVal lngWindowStateDocument As WindowStateType = 1) As Integer",
    "Sub AddDocument(Optional varTemplate As Variant)",
    "Function ActivateDocument(Optional varDocument As Variant, "
    "Optional blnSwitchToAutoCAD As Boolean) As Integer",
    "Function ActiveDocumentName() As String",
    "Function ActiveDocumentPath() As String",
    "Function GetDocumentObject() As Object",
    "Function DocumentCount() As Long",
    "Function GetDocumentNames(varArray As Variant) As Integer",
    "Function SaveDocument(Optional strDocument As String) As Integer",
    "Sub CloseDocument(Optional blnSave As Boolean)",
    // Array arithmetic, sorting and collections.
    "Function SortOneDArray(varArray As Variant, Optional ByVal lngSortOrder As SortOrderType) As Integer",
    "Function ComputeOneDArray(varArray As Variant, lngCompute As ComputeType, dblNumber As Double) As Integer",
    "Function ComputeTwoDArray(varArray As Variant, lngCompute As ComputeType, dblNumber As Double) As Integer",
    "Function ComputeThreeDArray(varArray As Variant, lngCompute As ComputeType, dblNumber As Double) As Integer",
    "Function TwoDArrayToDictionary(varArray As Variant, dt As Object) As Integer",
    "Function TwoDArrayToCollection(varArray As Variant, cl As Collection) As Integer",
    "Function DictionaryToArray(dt As Object, varArray As Variant, Optional blnIncludeKeys As Boolean) As Integer",
    "Function CollectionToOneDArray(cl As Collection, varArray As Variant) As Integer",
    "-",  // 0x6003003A
    // Delimited text and text files.
    "Function TextFileToArray(strTextFile As String, varArray As Variant, "
    "Optional ByVal strDelimiter As String = \",\", Optional blnRemoveQuotes As Boolean) As Integer",
    "Function TextFileToOneDArray(strTextFile As String, varArray As Variant) As Integer",
    "Function MultiLineTextToOneDArray(ByVal strText As String, varArray As Variant, "
    "Optional ByVal strDelimiter As String = \",\") As Integer",
    "Function TwoDArrayToText(varArray As Variant, strText As String, strDelimiter As String, "
    "strEndOfRowChar As String, Optional blnQuotes As Boolean) As Integer",
    "Function TwoDArrayToTextFile(varArray As Variant, strTextFile As String, "
    "Optional ByVal strDelimiter As String = \",\", Optional blnQuotes As Boolean) As Integer",
    "Function OneDArrayToTextFile(varArray As Variant, strTextFile As String, "
    "Optional blnQuotes As Boolean) As Integer",
    "Function OneDArrayToText(varArray As Variant, strText As String, strEndOfRowChar As String, "
    "Optional strEndOfArrayChar As String, Optional blnQuotes As Boolean) As Integer",
    // List-type controls and text boxes.
    "Function ComboBoxToOneDArray(cb As Object, varArray As Variant) As Integer",
    "Function ListBoxToOneDArray(lb As Object, varArray As Variant, Optional blnSelectedOnly As Boolean) As Integer",
    "Function DirListBoxToOneDArray(dlb As Object, varArray As Variant) As Integer",
    "Function DriveListBoxToOneDArray(dlb As Object, varArray As Variant) As Integer",
    "Function FileListBoxToOneDArray(flb As Object, varArray As Variant, "
    "Optional blnSelectedOnly As Boolean) As Integer",
    "Function TextBoxToOneDArray(tb As Object, varArray As Variant) As Integer",
    "Function RichTextBoxToOneDArray(tb As Object, varArray As Variant) As Integer",
    // Grid, list-view and tree controls.
    "Function DataGridToArray(dg As Object, varArray As Variant, Optional blnIncludeHeadings As Boolean) As Integer",
    "Function ListViewToArray(lv As Object, varArray As Variant, Optional blnSelectedOnly As Boolean, "
    "Optional blnIncludeHeadings As Boolean) As Integer",
    "Function FlexGridToArray(fg As Object, varArray As Variant, Optional lngStartRow As Long, "
    "Optional lngStartCol As Long, Optional ByVal lngEndRow As Long, Optional ByVal lngEndCol As Integer) As Integer",
    "Function HFlexGridToArray(fg As Object, varArray As Variant, Optional lngStartRow As Long, "
    "Optional lngStartCol As Long, Optional ByVal lngEndRow As Long, Optional ByVal lngEndCol As Integer) As Integer",
    "Function TwoDArrayToFlexGrid(varArray As Variant, fg As Object) As Integer",
    "Function TreeViewToTwoDArray(tv As Object, varArray As Variant, Optional blnSuppressRows As Boolean) As Integer",
    "Function TwoDArrayToTreeView(varArray As Variant, tv As Object, Optional blnExpandAll As Boolean) As Integer",
    // HTML export.
    "Function OneDArrayToHTMLTable(varArray As Variant, strTable As String, "
    "@HtmlTable) As Integer",
    "Function TwoDArrayToHTMLTable(varArray As Variant, strTable As String, "
    "@HtmlTable, Optional blnBoldFirstColumn As Boolean) As Integer",
    "Function OneDArrayToHTMLFile(varArray As Variant, strHTMLFile As String, Optional strPageHeading As String, "
    "Optional strPageTitle As String, Optional strPageBackground As String, "
    "Optional strPageBackgroundColor As String, "
    "@HtmlTable) As Integer",
    "Function TwoDArrayToHTMLFile(varArray As Variant, strHTMLFile As String, Optional strPageHeading As String, "
    "Optional strPageTitle As String, Optional strPageBackground As String, "
    "Optional strPageBackgroundColor As String, "
    "@HtmlTable, Optional blnBoldFirstColumn As Boolean) As Integer",
    // XML files (the tree-view one sits with the host controls).
    "Function XMLFileToArray(strXMLFile As String, varArray As Variant, Optional blnIncludeHeadings As Boolean) As Integer",
    "Function XMLFileToRecordset(strXMLFile As String, objRecd As Object) As Integer",
    "Function XMLFileToTreeView(strXMLFile As String, tv As Object, Optional blnExpandAll As Boolean) As Integer",
    "-",  // 0x60030057
    // Recordsets and database tables.
    "Function DatabaseTableToArray(strDSN As String, strSQL As String, varArray As Variant, "
    "Optional strUserID As String, Optional strPassword As String, Optional blnIncludeHeadings As Boolean) As Integer",
    "Function RecordsetToArray(objRecd As Object, varArray As Variant, Optional blnIncludeHeadings As Boolean) As Integer",
    "Function RecordsetToTextFile(objRecd As Object, strTextFile As String, Optional blnIncludeHeadings As Boolean, "
    "Optional ByVal strDelimiter As String, Optional blnQuotes As Boolean) As Integer",
    "Function DatabaseTableToTextFile(strDSN As String, strSQL As String, strTextFile As String, "
    "Optional strUserID As String, Optional strPassword As String, Optional blnIncludeHeadings As Boolean, "
    "Optional ByVal strDelimiter As String, Optional blnQuotes As Boolean) As Integer",
    // FTP.
    "Function DownloadFile(inet As Object, strRemoteHost As String, strRemoteDirectory As String, "
    "strLocalFile As String, strRemoteFile As String, Optional strUsername As String, "
    "Optional strUserPassword As String) As Integer",
    "Function UploadFile(inet As Object, strRemoteHost As String, strRemoteDirectory As String, "
    "strLocalFile As String, strRemoteFile As String, Optional strUsername As String, "
    "Optional strUserPassword As String) As Integer",
    "-", "-", "-", "-", "-", "-", "-", "-", "-", "-", "-", "-", "-", "-",  // 0x6003005E to 0x6003006B
    // Excel exchange.
    "Function TwoDArrayToExcel(varArray As Variant, strWorkbook As String, varWorksheet As Variant, "
    "lngRow As Long, lngCol As Long, Optional strPassword As String, Optional strWriteResPassword As String, "
    "Optional ByVal lngDisplay As DisplayType, Optional blnAutoFit As Boolean, "
    "Optional blnFixData As Boolean) As Integer",
    "Function ExcelToOneDArray(strWorkbook As String, varWorksheet As Variant, lngStartRow As Long, "
    "lngStartCol As Long, lngEndRow As Long, lngEndCol As Long, varArray As Variant, "
    "Optional blnCellValue As Boolean, Optional strPassword As String, "
    "Optional strWriteResPassword As String) As Integer",
    "Function ExcelToTwoDArray(strWorkbook As String, varWorksheet As Variant, ByVal lngStartRow As Long, "
    "ByVal lngStartCol As Long, ByVal lngEndRow As Long, ByVal lngEndCol As Long, varArray As Variant, "
    "Optional blnCellValue As Boolean, Optional strPassword As String, "
    "Optional strWriteResPassword As String) As Integer",
    // Word export.
    "Function TextToWord(strText As String, Optional strDocument As String, Optional blnSave As Boolean, "
    "Optional blnClose As Boolean, Optional blnBold As Boolean, "
    "Optional strFont As String = \"Times New Roman\", Optional intSize As Integer = 12, "
    "Optional intSpaceAfter As Integer = 10, Optional lngParagraphAlign As ParagraphAlignType, "
    "Optional lngPageOrientation As PageOrientationType) As Integer",
    "Function OneDArrayToWord(varArray As Variant, @WordTable) As Integer",
    "Function RecordsetToWord(objRecd As Object, Optional blnIncludeHeadings As Boolean, @WordTable) As Integer",
    "Function TwoDArrayToWord(varArray As Variant, @WordTable) As Integer",
    // Text file to PDF.
    "Function CreatePDFFromFile(strTextFile As String, strPDFFile As String, "
    "Optional strFontName As String = \"Courier\", Optional intFontSize As Integer = 10, "
    "Optional intRotation As Integer, Optional sngWidth As Single = 8.5, Optional sngHeight As Single = 11, "
    "Optional strAuthor As String, Optional strCreator As String, Optional strKeywords As String, "
    "Optional strSubject As String, Optional strTitle As String) As Integer",
    // DXF to Excel.
    "Function DXFToExcel(strDXFfile As String, Optional strWorkbook As String) As Integer",
};

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

// The table parameters shared by the four HTML methods.
constexpr std::string_view kHtmlTable =
    "Optional lngTableAlign As TableAlignType = 1, Optional strBackground As String, "
    "Optional strBackgroundColor As String, Optional intBorder As Integer, Optional strBorderColor As String, "
    "Optional intCellSpacing As Integer, Optional intCellPadding As Integer, Optional intWidthPct As Integer = 100, "
    "Optional lngTableCellAlign As TableAlignType = 2, Optional blnWrapCellData As Boolean, "
    "Optional blnBoldFirstRow As Boolean";

// The table parameters shared by the three Word table methods.
constexpr std::string_view kWordTable =
    "Optional strDocument As String, Optional blnSave As Boolean, Optional blnClose As Boolean, "
    "Optional lngTableType As TableType, Optional blnBold As Boolean, "
    "Optional strFont As String = \"Times New Roman\", Optional intSize As Integer = 12, "
    "Optional intSpaceAfter As Integer = 10, Optional lngParagraphAlign As ParagraphAlignType, "
    "Optional intColumnWidth As Integer, Optional blnBorders As Boolean, Optional blnShading As Boolean, "
    "Optional blnFont As Boolean, Optional blnColor As Boolean, Optional blnHeadingRows As Boolean, "
    "Optional blnLastRow As Boolean, Optional blnFirstColumn As Boolean, Optional blnLastColumn As Boolean, "
    "Optional blnAutoFit As Boolean, Optional lngPageOrientation As PageOrientationType";

std::vector<EnumInfo> buildEnumerations() {
  std::vector<EnumInfo> e = {
      {"ZoomScaleType",
       {{"tlxZoomScaleAbsolute", 0}, {"tlxZoomScaleRelative", 1}, {"tlxZoomScaleRelativePSpace", 2}}},
      {"PortTypes", {{"tlxActiveViewport", 0}, {"tlxAllViewports", 1}}},
      {"SpaceType", {{"tlxModelSpace", 0}, {"tlxPaperSpace", 1}}},
      {"WindowStateType", {{"tlxNormalWindow", 1}, {"tlxMinimizedWindow", 2}, {"tlxMaximizedWindow", 3}}},
      {"DisplayType", {{"tlxNormal", 0}, {"tlxTranspose", 1}}},
      {"PageOrientationType", {{"tlxOrientPortrait", 0}, {"tlxOrientLandscape", 1}}},
      {"ParagraphAlignType",
       {{"tlxAlignParagraphLeft", 0}, {"tlxAlignParagraphCenter", 1}, {"tlxAlignParagraphRight", 2}}},
      {"TableType", {}},
      {"TableAlignType", {{"tlxTableAlignLeft", 0}, {"tlxTableAlignCenter", 1}, {"tlxTableAlignRight", 2}}},
      {"SortOrderType", {{"tlxAscending", 0}, {"tlxDescending", 1}}},
      {"ComputeType", {{"tlxAdd", 0}, {"tlxSubtract", 1}, {"tlxMultiply", 2}, {"tlxDivide", 3}}},
  };
  // Word's table formats, numbered in runs.
  auto& table = e[7].constants;
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


VarType typeOf(std::string_view name) {
  if (name == "String") return vtString;
  if (name == "Integer") return vtI2;
  if (name == "Long") return vtI4;
  if (name == "Double") return vtR8;
  if (name == "Single") return vtR4;
  if (name == "Boolean") return vtBoolean;
  if (name == "Variant") return vtVariant;
  if (name == "Object" || name == "Collection") return vtDispatch;
  if (findEnumeration(name)) return vtI4;
  throw std::logic_error("type library: unknown type " + std::string(name));
}

// A small reader over one declaration.
class Reader {
 public:
  explicit Reader(std::string_view text) : s_(text) {}
  void skipBlanks() {
    while (i_ < s_.size() && s_[i_] == ' ') ++i_;
  }
  bool atEnd() {
    skipBlanks();
    return i_ >= s_.size();
  }
  char peek() {
    skipBlanks();
    return i_ < s_.size() ? s_[i_] : '\0';
  }
  void expect(char c) {
    if (peek() != c) fail(std::string("expected '") + c + "'");
    ++i_;
  }
  std::string word() {
    skipBlanks();
    size_t start = i_;
    while (i_ < s_.size() && (std::isalnum(static_cast<unsigned char>(s_[i_])) || s_[i_] == '_')) ++i_;
    if (start == i_) fail("expected a name");
    return std::string(s_.substr(start, i_ - start));
  }
  bool keyword(std::string_view k) {
    skipBlanks();
    const size_t end = i_ + k.size();
    if (s_.substr(i_, k.size()) == k &&
        (end >= s_.size() || !(std::isalnum(static_cast<unsigned char>(s_[end])) || s_[end] == '_'))) {
      i_ += k.size();
      return true;
    }
    return false;
  }
  // A literal: "text", True, False or a number.
  Variant literal(VarType type) {
    skipBlanks();
    if (peek() == '"') {
      ++i_;
      size_t end = s_.find('"', i_);
      if (end == std::string_view::npos) fail("unterminated string");
      std::string text(s_.substr(i_, end - i_));
      i_ = end + 1;
      return Variant(u16(text));
    }
    if (keyword("True")) return Variant(true);
    if (keyword("False")) return Variant(false);
    size_t start = i_;
    while (i_ < s_.size() && (std::isdigit(static_cast<unsigned char>(s_[i_])) || s_[i_] == '.' || s_[i_] == '-')) ++i_;
    if (start == i_) fail("expected a default value");
    return changeType(Variant(std::stod(std::string(s_.substr(start, i_ - start)))), type);
  }
  [[noreturn]] void fail(const std::string& what) {
    throw std::logic_error(fmt::format("type library: {} at {} in: {}", what, i_, s_));
  }

 private:
  std::string_view s_;
  size_t i_ = 0;
};

MethodInfo parseDeclaration(std::string text, int32_t dispid) {
  for (auto [mark, params] : {std::pair{std::string_view("@WordTable"), kWordTable},
                               std::pair{std::string_view("@HtmlTable"), kHtmlTable}})
    if (auto at = text.find(mark); at != std::string::npos) text.replace(at, mark.size(), params);
  Reader r(text);
  MethodInfo m;
  m.dispid = dispid;
  bool isFunction = r.keyword("Function");
  if (!isFunction && !r.keyword("Sub")) r.fail("expected Function or Sub");
  m.name = r.word();
  r.expect('(');
  if (r.peek() != ')') {
    for (;;) {
      ParamInfo p;
      p.optional = r.keyword("Optional");
      p.byVal = r.keyword("ByVal");
      if (!p.byVal) r.keyword("ByRef");
      p.name = r.word();
      if (!r.keyword("As")) r.fail("expected As");
      p.typeName = r.word();
      p.type = typeOf(p.typeName);
      if (r.peek() == '=') {
        r.expect('=');
        if (!p.optional) r.fail("a default on a required parameter");
        p.defaultValue = r.literal(p.type);
      }
      m.params.push_back(std::move(p));
      if (r.peek() == ',') {
        r.expect(',');
        continue;
      }
      break;
    }
  }
  r.expect(')');
  if (isFunction) {
    if (!r.keyword("As")) r.fail("a Function without a result type");
    m.resultTypeName = r.word();
    m.resultType = typeOf(m.resultTypeName);
  } else {
    m.resultType = vtEmpty;
  }
  if (!r.atEnd()) r.fail("trailing text");
  return m;
}

std::vector<MethodInfo> buildLibrary() {
  std::vector<MethodInfo> methods;
  int32_t dispid = kFirstDispid;
  for (const char* d : kDeclarations) {
    if (std::string_view(d) != "-") methods.push_back(parseDeclaration(d, dispid));
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

std::string lowerAscii(std::string_view s) {
  std::string out(s);
  for (auto& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
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
    for (auto& m : typeLibrary()) map.emplace(lowerAscii(m.name), &m);
    return map;
  }();
  auto it = byName.find(lowerAscii(name));
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
