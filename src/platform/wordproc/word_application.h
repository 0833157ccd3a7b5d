// The word processor: an automation object model ("Word.Application") over DOCX documents.
//
// Application: Name, Visible (r/w), Documents, ActiveDocument, Quit([SaveChanges]).
// Documents: Count, Item(1-based index | name), Add(), Open(FileName), Save([NoPrompt]) saving
//   every document with unsaved changes, enumeration.
// Document: Name, FullName, Path, Saved (r/w), Save(), SaveAs(FileName), Close([SaveChanges]),
//   PageSetup (Orientation r/w: 0 portrait, 1 landscape), Bookmarks(name) with "\endofdoc",
//   Content, Paragraphs, Tables.Count.
// Paragraphs: Count, Item(i), First, Last, Add() appending a paragraph at the end.
// Paragraph: Alignment (r/w), Range, Format (Alignment, SpaceAfter), SpaceAfter (r/w).
// Range: Text (r/w), Font (Bold, Name, Size), Paragraphs, InsertParagraphAfter(),
//   ConvertToTable(Separator, NumRows, NumColumns, InitialColumnWidth, Format, ApplyBorders,
//   ApplyShading, ApplyFont, ApplyColor, ApplyHeadingRows, ApplyLastRow, ApplyFirstColumn,
//   ApplyLastColumn, AutoFit) giving a Table (Rows.Count, Columns.Count, Style).
//
// A document never saved is saved by Save into the working folder under its name
// ("Document1.docx", or "Document1 (2).docx" when that file exists).
#pragma once

namespace tlx {

// createObject("Word.Application") starts an instance without documents, hidden, and
// registers it as the running one.
void registerWordApplication();

}  // namespace tlx
