// The control's interface as data: one Basic declaration per method, the parameter groups that
// several methods share, and the enumerations. Everything else takes the methods from here: the
// type library at run time, the bindings at compile time (control/bind.h), and through the type
// library the facade, the Python module and `talvex methods`.
#pragma once

#include <cstdint>
#include <string_view>

namespace tlx {

inline constexpr int32_t kFirstDispid = 0x60030000;

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
inline constexpr std::string_view kDeclarations[] = {
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

// Parameter lists that several methods share, written "@Name" in a declaration.
struct ParamGroupDeclaration {
  std::string_view name;
  std::string_view params;
};
inline constexpr ParamGroupDeclaration kParamGroups[] = {
    {"HtmlTable",
     "Optional lngTableAlign As TableAlignType = 1, Optional strBackground As String, "
     "Optional strBackgroundColor As String, Optional intBorder As Integer, Optional strBorderColor As String, "
     "Optional intCellSpacing As Integer, Optional intCellPadding As Integer, Optional intWidthPct As Integer = 100, "
     "Optional lngTableCellAlign As TableAlignType = 2, Optional blnWrapCellData As Boolean, "
     "Optional blnBoldFirstRow As Boolean"},
    {"WordTable",
     "Optional strDocument As String, Optional blnSave As Boolean, Optional blnClose As Boolean, "
     "Optional lngTableType As TableType, Optional blnBold As Boolean, "
     "Optional strFont As String = \"Times New Roman\", Optional intSize As Integer = 12, "
     "Optional intSpaceAfter As Integer = 10, Optional lngParagraphAlign As ParagraphAlignType, "
     "Optional intColumnWidth As Integer, Optional blnBorders As Boolean, Optional blnShading As Boolean, "
     "Optional blnFont As Boolean, Optional blnColor As Boolean, Optional blnHeadingRows As Boolean, "
     "Optional blnLastRow As Boolean, Optional blnFirstColumn As Boolean, Optional blnLastColumn As Boolean, "
     "Optional blnAutoFit As Boolean, Optional lngPageOrientation As PageOrientationType"},
};

// The enumerations in their declared order (all of them Long), and their constants. Word's table
// formats (TableType) are numbered in runs and spelled out by the type library.
inline constexpr std::string_view kEnumerations[] = {
    "ZoomScaleType", "PortTypes",      "SpaceType", "WindowStateType", "DisplayType", "PageOrientationType",
    "ParagraphAlignType", "TableType", "TableAlignType", "SortOrderType", "ComputeType"};

struct EnumConstant {
  std::string_view enumeration;
  std::string_view name;
  int32_t value;
};
inline constexpr EnumConstant kEnumConstants[] = {
    {"ZoomScaleType", "tlxZoomScaleAbsolute", 0},
    {"ZoomScaleType", "tlxZoomScaleRelative", 1},
    {"ZoomScaleType", "tlxZoomScaleRelativePSpace", 2},
    {"PortTypes", "tlxActiveViewport", 0},
    {"PortTypes", "tlxAllViewports", 1},
    {"SpaceType", "tlxModelSpace", 0},
    {"SpaceType", "tlxPaperSpace", 1},
    {"WindowStateType", "tlxNormalWindow", 1},
    {"WindowStateType", "tlxMinimizedWindow", 2},
    {"WindowStateType", "tlxMaximizedWindow", 3},
    {"DisplayType", "tlxNormal", 0},
    {"DisplayType", "tlxTranspose", 1},
    {"PageOrientationType", "tlxOrientPortrait", 0},
    {"PageOrientationType", "tlxOrientLandscape", 1},
    {"ParagraphAlignType", "tlxAlignParagraphLeft", 0},
    {"ParagraphAlignType", "tlxAlignParagraphCenter", 1},
    {"ParagraphAlignType", "tlxAlignParagraphRight", 2},
    {"TableAlignType", "tlxTableAlignLeft", 0},
    {"TableAlignType", "tlxTableAlignCenter", 1},
    {"TableAlignType", "tlxTableAlignRight", 2},
    {"SortOrderType", "tlxAscending", 0},
    {"SortOrderType", "tlxDescending", 1},
    {"ComputeType", "tlxAdd", 0},
    {"ComputeType", "tlxSubtract", 1},
    {"ComputeType", "tlxMultiply", 2},
    {"ComputeType", "tlxDivide", 3},
};

}  // namespace tlx
