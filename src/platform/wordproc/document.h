// The document model behind the word processor: the body of a DOCX package as XML, edited in
// place. Only word/document.xml and, when a table style is added, the styles part are written
// back; every other part (headers, footers, images, comments, ...) stays as it was stored.
//
// A paragraph is its mark: an object that holds a paragraph keeps holding the same <w:p> while
// text is put into it, and a paragraph removed from the body (turned into a table) makes the
// objects that held it fail instead of reaching freed memory.
#pragma once

#include <pugixml.hpp>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/opc/package.h"
#include "platform/opc/xml_parts.h"

namespace tlx::platform::wordproc {

// A held paragraph; `node` is empty once the paragraph left the body.
struct ParaHandle {
  pugi::xml_node node;
};
using Para = std::shared_ptr<ParaHandle>;

// Text put at the end of the document and not yet laid out as paragraphs. A table's text is
// usually converted at once, so it waits as one block instead of a paragraph per line; anything
// that walks the body lays the block out first.
struct PendingText;
using Block = std::shared_ptr<PendingText>;

struct CharFormat {
  bool bold = false;
  std::u16string name;
  double size = 0;  // points
};

// What ConvertToTable is asked for, besides the text.
struct TableRequest {
  int format = 0;           // one of the 43 table formats
  double columnWidth = 0;   // points; 0 shares the text width
  int minColumns = 0;
  bool borders = false, shading = false, font = false, color = false;
  bool headingRows = false, lastRow = false, firstColumn = false, lastColumn = false;
  bool autoFit = false;
};

class Document {
 public:
  static std::unique_ptr<Document> create();  // A4 portrait, one empty paragraph
  static std::unique_ptr<Document> load(opc::Package package);
  void save(const std::string& path);
  bool changed() const { return changed_; }

  // Page orientation: 0 portrait, 1 landscape; a change swaps the page's width and height.
  int orientation();
  void setOrientation(int orientation);

  // Paragraphs directly in the body, in order.
  std::vector<Para> paragraphs();
  Para lastParagraph();  // made when the body has none
  // A new empty paragraph at the end of the body, formatted like the last one (as Enter does).
  Para appendParagraph();
  // The text at the end of the document: every line becomes a paragraph before the last one,
  // formatted like it; returns the new paragraphs.
  std::vector<Para> insertAtEnd(std::u16string_view text);
  // Ends the paragraph's text with a paragraph mark: the text moves into a new paragraph before
  // `p`, formatted like it, and `p` (its mark) stays behind empty. Returns the text's paragraph.
  Para insertParagraphAfter(const Para& p);
  // Text ending in a line end, put at the end of an empty last paragraph, as a pending block
  // before it, formatted like it; empty for other text (lay that out with insertAtEnd).
  Block appendText(std::u16string_view text);
  std::vector<Para> layOut(const Block& b);  // the block's paragraphs, laid out now if pending
  // The character format of a block's text (before it is laid out: its model paragraph).
  Para formatOf(const Block& b);

  std::u16string text(const Para& p);
  // Replaces the paragraph's text; line ends become line breaks, tabs tab characters.
  void setText(const Para& p, std::u16string_view text);

  int alignment(const Para& p);  // 0 left, 1 center, 2 right, 3 justify
  void setAlignment(const Para& p, int alignment);
  double spaceAfter(const Para& p);  // points
  void setSpaceAfter(const Para& p, double points);

  // Character format of the paragraph's first run (else of its mark), falling back on the
  // default paragraph style and the document defaults.
  CharFormat charFormat(const Para& p);
  // Applied to every run of the paragraph and to its mark.
  void setBold(const Para& p, bool bold);
  void setFontName(const Para& p, std::u16string_view name);
  void setFontSize(const Para& p, double points);

  // The paragraphs become the rows of one table, split at tabs into cells; returns the number
  // of rows and columns. The paragraphs leave the body.
  std::pair<int, int> convertToTable(const std::vector<Para>& rows, const TableRequest& request);
  // A pending block straight into a table, its cells kept as text until the document is saved.
  std::pair<int, int> convertToTable(const Block& rows, const TableRequest& request);
  int tableCount();

 private:
  Document() = default;
  pugi::xml_node body();
  pugi::xml_node sectPr();
  Para hold(pugi::xml_node p);
  void drop(pugi::xml_node p);  // removes from the body and lets go of its holders
  pugi::xml_node newParagraphLike(pugi::xml_node model);
  pugi::xml_node splitOff(pugi::xml_node mark, pugi::xml_node pPr);
  void formatRuns(const Para& p, const std::function<void(pugi::xml_node rPr)>& edit);
  pugi::xml_document& styles();  // made when the package has none
  pugi::xml_node stylesRoot();   // empty when the package has none
  double textWidthPoints();
  void layOutPending();
  std::vector<Para> layOutLines(pugi::xml_node mark, pugi::xml_node pPr, pugi::xml_node rPr, std::u16string_view text);
  pugi::xml_node tableFrame(pugi::xml_node before, const TableRequest& r, size_t columns);
  opc::Package::PieceWriter partPieces() const;
  void touch() { changed_ = true; }

  opc::Package package_;
  std::string documentPart_ = "word/document.xml";
  std::string stylesPart_;
  pugi::xml_document xml_;
  std::optional<pugi::xml_document> styles_;
  bool stylesChanged_ = false;
  bool changed_ = false;
  std::unordered_map<pugi::xml_node_struct*, std::weak_ptr<ParaHandle>> held_;
  Block pending_;
  struct TextTable;
  std::vector<std::shared_ptr<const TextTable>> textTables_;  // by the number in their placeholder
};

// Characters XML 1.0 cannot carry (controls other than tab, CR and LF, U+FFFE, U+FFFF) are
// dropped; a vertical tab, the word processor's manual line break, is kept as one.
std::u16string xmlSafe(std::u16string_view text);

// Reads a whole package as a document (body, paragraphs, tables, sections, styles): the entry
// point for fuzzing the reader with outside bytes. Throws opc::PackageError on bad input.
void readDocumentBytes(std::string_view bytes);

}  // namespace tlx::platform::wordproc
