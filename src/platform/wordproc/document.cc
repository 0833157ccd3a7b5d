#include "platform/wordproc/document.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <sstream>

#include "talvex/com_error.h"
#include "automation/strings.h"
#include "platform/wordproc/table_styles.h"

namespace tlx::platform::wordproc {

namespace {

using opc::child;
using opc::localName;

constexpr const char* kMain = "http://schemas.openxmlformats.org/wordprocessingml/2006/main";
constexpr const char* kRelNs = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
constexpr const char* kRelStyles = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles";
constexpr const char* kTypeDocument =
    "application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml";
constexpr const char* kTypeStyles = "application/vnd.openxmlformats-officedocument.wordprocessingml.styles+xml";

constexpr int kA4Width = 11906, kA4Height = 16838, kMargin = 1440;  // twentieths of a point
constexpr double kDefaultSize = 10;                                   // without any style
constexpr const char16_t* kDefaultFont = u"Times New Roman";

// Schema order of the children we add, so that strict readers accept the result.
const std::initializer_list<std::string_view> kPPrOrder = {
    "pStyle", "keepNext", "keepLines", "pageBreakBefore", "framePr", "widowControl", "numPr",
    "suppressLineNumbers", "pBdr", "shd", "tabs", "suppressAutoHyphens", "kinsoku", "wordWrap",
    "overflowPunct", "topLinePunct", "autoSpaceDE", "autoSpaceDN", "bidi", "adjustRightInd", "snapToGrid",
    "spacing", "ind", "contextualSpacing", "mirrorIndents", "suppressOverlap", "jc", "textDirection",
    "textAlignment", "textboxTightWrap", "outlineLvl", "divId", "cnfStyle", "rPr", "sectPr", "pPrChange"};
const std::initializer_list<std::string_view> kRPrOrder = {
    "rStyle", "rFonts", "b", "bCs", "i", "iCs", "caps", "smallCaps", "strike", "dstrike", "outline", "shadow",
    "emboss", "imprint", "noProof", "snapToGrid", "vanish", "webHidden", "color", "spacing", "w", "kern",
    "position", "sz", "szCs", "highlight", "u", "effect", "bdr", "shd", "fitText", "vertAlign", "rtl", "cs",
    "em", "lang", "eastAsianLayout", "specVanish", "oMath"};
const std::initializer_list<std::string_view> kSectOrder = {
    "headerReference", "footerReference", "footnotePr", "endnotePr", "type", "pgSz", "pgMar", "paperSrc",
    "pgBorders", "lnNumType", "pgNumType", "cols", "formProt", "vAlign", "noEndnote", "titlePg",
    "textDirection", "bidi", "rtlGutter", "docGrid", "printerSettings", "sectPrChange"};

size_t rank(std::initializer_list<std::string_view> order, std::string_view local) {
  auto it = std::find(order.begin(), order.end(), local);
  return it == order.end() ? order.size() : size_t(it - order.begin());
}

// The prefix the element's document gives the main namespace ("w:", or "" when it is the default).
std::string prefixOf(const pugi::xml_node& root) {
  for (pugi::xml_attribute a : root.attributes()) {
    std::string_view n = a.name();
    if (std::string_view(a.value()) != kMain) continue;
    if (n == "xmlns") return "";
    if (n.starts_with("xmlns:")) return std::string(n.substr(6)) + ":";
  }
  return "w:";
}

// The prefix of the main namespace's attributes. A default namespace does not apply to
// attributes, so a part whose elements use it gets a prefix bound on its root for them.
std::string attributePrefix(pugi::xml_node root) {
  if (std::string w = prefixOf(root); !w.empty()) return w;
  for (pugi::xml_attribute a : root.attributes()) {
    std::string_view n = a.name();
    if (n.starts_with("xmlns:") && std::string_view(a.value()) == kMain) return std::string(n.substr(6)) + ":";
  }
  std::string name = "w";
  while (root.attribute(("xmlns:" + name).c_str())) name += '_';
  root.append_attribute(("xmlns:" + name).c_str()) = kMain;
  return name + ":";
}

// The child with that local name, made in its schema place when missing.
pugi::xml_node ensure(pugi::xml_node parent, const std::string& w, std::string_view local,
                      std::initializer_list<std::string_view> order) {
  if (pugi::xml_node c = child(parent, local)) return c;
  std::string name = w + std::string(local);
  size_t mine = rank(order, local);
  for (pugi::xml_node c : parent.children())
    if (c.type() == pugi::node_element && rank(order, localName(c)) > mine)
      return parent.insert_child_before(name.c_str(), c);
  return parent.append_child(name.c_str());
}

pugi::xml_attribute ensureAttr(pugi::xml_node n, const std::string& w, std::string_view local) {
  std::string name = w + std::string(local);
  pugi::xml_attribute a = n.attribute(name.c_str());
  return a ? a : n.append_attribute(name.c_str());
}

const char* attrValue(const pugi::xml_node& n, const std::string& w, std::string_view local) {
  return n.attribute((w + std::string(local)).c_str()).value();
}

// A w:b style toggle: present means on unless its value says off.
bool toggleOn(const pugi::xml_node& b, const std::string& w) {
  std::string_view v = attrValue(b, w, "val");
  return !(v == "0" || v == "false" || v == "off");
}

bool isBlock(const pugi::xml_node& n) { return n.type() == pugi::node_element && localName(n) != "sectPr"; }

// Run content for text: tabs, line breaks and text pieces.
void appendRunContent(pugi::xml_node run, const std::string& w, std::u16string_view text) {
  std::u16string piece;
  auto flush = [&] {
    if (piece.empty()) return;
    pugi::xml_node t = run.append_child((w + "t").c_str());
    t.append_attribute("xml:space") = "preserve";
    t.text().set(u8(piece).c_str());
    piece.clear();
  };
  for (size_t i = 0; i < text.size(); ++i) {
    char16_t c = text[i];
    if (c == u'\t' || c == u'\r' || c == u'\n' || c == u'\v') {
      flush();
      if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
      run.append_child((w + (c == u'\t' ? "tab" : "br")).c_str());
    } else {
      piece.push_back(c);
    }
  }
  flush();
}

std::u16string_view trimmedLine(std::u16string_view text, size_t& pos, bool& ended) {
  size_t end = text.find_first_of(u"\r\n", pos);
  ended = end != std::u16string_view::npos;
  if (!ended) end = text.size();
  std::u16string_view line = text.substr(pos, end - pos);
  pos = end;
  if (ended) pos += (text[end] == u'\r' && end + 1 < text.size() && text[end + 1] == u'\n') ? 2 : 1;
  return line;
}

// The paragraph text of a node: runs, also inside hyperlinks, insertions and fields. Walked
// without recursion, so that deeply nested outside XML cannot exhaust the stack.
void collectText(const pugi::xml_node& top, std::string& out) {
  auto skipped = [](std::string_view local) {
    return local == "pPr" || local == "rPr" || local == "del" || local == "instrText";
  };
  pugi::xml_node n = top.first_child();
  while (n && n != top) {
    bool descend = false;
    if (n.type() == pugi::node_element) {
      std::string_view local = localName(n);
      if (local == "t") out += n.text().get();
      else if (local == "tab") out += '\t';
      else if (local == "br" || local == "cr") out += '\n';
      else descend = !skipped(local) && n.first_child();
    }
    if (descend) {
      n = n.first_child();
      continue;
    }
    while (n != top && !n.next_sibling()) n = n.parent();
    if (n != top) n = n.next_sibling();
  }
}

}  // namespace

std::u16string xmlSafe(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (char16_t c : text) {
    bool allowed = c >= 0x20 ? (c != 0xFFFE && c != 0xFFFF) : (c == u'\t' || c == u'\r' || c == u'\n' || c == u'\v');
    if (allowed) out.push_back(c);
  }
  return out;
}

std::unique_ptr<Document> Document::create() {
  std::unique_ptr<Document> d(new Document());
  opc::ContentTypes types;
  types.setOverride(d->documentPart_, kTypeDocument);
  types.setOverride("word/styles.xml", kTypeStyles);
  types.store(d->package_);
  opc::Relationships root(d->package_, "");
  root.add(opc::ns::OfficeDocument, d->documentPart_);
  root.store(d->package_);
  opc::Relationships rels(d->package_, d->documentPart_);
  rels.add(kRelStyles, "styles.xml");
  rels.store(d->package_);
  d->stylesPart_ = "word/styles.xml";
  d->xml_ = opc::parseXml(
      std::string("<w:document xmlns:w=\"") + kMain + "\" xmlns:r=\"" + kRelNs +
          "\"><w:body><w:p/><w:sectPr><w:pgSz w:w=\"" + std::to_string(kA4Width) + "\" w:h=\"" +
          std::to_string(kA4Height) + "\"/><w:pgMar w:top=\"1440\" w:right=\"1440\" w:bottom=\"1440\" "
          "w:left=\"1440\" w:header=\"720\" w:footer=\"720\" w:gutter=\"0\"/></w:sectPr></w:body></w:document>",
      d->documentPart_);
  d->styles_ = opc::parseXml(
      std::string("<w:styles xmlns:w=\"") + kMain +
          "\"><w:docDefaults><w:rPrDefault><w:rPr><w:rFonts w:ascii=\"Times New Roman\" "
          "w:hAnsi=\"Times New Roman\" w:cs=\"Times New Roman\" w:eastAsia=\"Times New Roman\"/>"
          "<w:sz w:val=\"24\"/><w:szCs w:val=\"24\"/></w:rPr></w:rPrDefault><w:pPrDefault><w:pPr>"
          "<w:spacing w:after=\"0\"/></w:pPr></w:pPrDefault></w:docDefaults>"
          "<w:style w:type=\"paragraph\" w:default=\"1\" w:styleId=\"Normal\"><w:name w:val=\"Normal\"/>"
          "<w:qFormat/></w:style><w:style w:type=\"table\" w:default=\"1\" w:styleId=\"TableNormal\">"
          "<w:name w:val=\"Normal Table\"/><w:semiHidden/><w:tblPr><w:tblInd w:w=\"0\" w:type=\"dxa\"/>"
          "<w:tblCellMar><w:top w:w=\"0\" w:type=\"dxa\"/><w:left w:w=\"108\" w:type=\"dxa\"/>"
          "<w:bottom w:w=\"0\" w:type=\"dxa\"/><w:right w:w=\"108\" w:type=\"dxa\"/></w:tblCellMar>"
          "</w:tblPr></w:style></w:styles>",
      d->stylesPart_);
  d->stylesChanged_ = true;
  d->changed_ = true;
  return d;
}

std::unique_ptr<Document> Document::load(opc::Package package) {
  std::unique_ptr<Document> d(new Document());
  d->package_ = std::move(package);
  opc::Relationships root(d->package_, "");
  d->documentPart_ = root.targetOfType(opc::ns::OfficeDocument);
  if (d->documentPart_.empty() || !d->package_.has(d->documentPart_))
    throw opc::PackageError("The package holds no document");
  d->xml_ = opc::parseXml(d->package_.read(d->documentPart_), d->documentPart_);
  pugi::xml_node top = d->xml_.document_element();
  if (localName(top) != "document" || !child(top, "body")) throw opc::PackageError("The main part is not a document");
  d->stylesPart_ = opc::Relationships(d->package_, d->documentPart_).targetOfType(kRelStyles);
  return d;
}

void Document::save(const std::string& path) {
  layOutPending();
  if (textTables_.empty()) package_.write(documentPart_, opc::toText(xml_));
  else package_.writeStreamed(documentPart_, [this] { return partPieces(); });
  if (styles_ && stylesChanged_) package_.write(stylesPart_, opc::toText(*styles_));
  package_.save(path);
  stylesChanged_ = false;
  changed_ = false;
}

pugi::xml_node Document::body() { return child(xml_.document_element(), "body"); }

pugi::xml_node Document::stylesRoot() {
  if (!styles_ && !stylesPart_.empty() && package_.has(stylesPart_)) styles();
  return styles_ ? styles_->document_element() : pugi::xml_node();
}

pugi::xml_document& Document::styles() {
  if (styles_) return *styles_;
  if (!stylesPart_.empty() && package_.has(stylesPart_)) {
    styles_ = opc::parseXml(package_.read(stylesPart_), stylesPart_);
    if (localName(styles_->document_element()) != "styles") throw opc::PackageError("The styles part holds no styles");
    return *styles_;
  }
  // A document without a styles part gets one for the table styles it is given.
  stylesPart_ = opc::resolvePartName(documentPart_, "styles.xml");
  opc::Relationships rels(package_, documentPart_);
  rels.add(kRelStyles, "styles.xml");
  rels.store(package_);
  opc::ContentTypes types(package_);
  types.setOverride(stylesPart_, kTypeStyles);
  types.store(package_);
  styles_ = opc::parseXml(std::string("<w:styles xmlns:w=\"") + kMain + "\"/>", stylesPart_);
  stylesChanged_ = true;
  return *styles_;
}

pugi::xml_node Document::sectPr() {
  pugi::xml_node b = body();
  std::string w = prefixOf(xml_.document_element());
  pugi::xml_node last = b.last_child();
  while (last && last.type() != pugi::node_element) last = last.previous_sibling();
  if (last && localName(last) == "sectPr") return last;
  return b.append_child((w + "sectPr").c_str());
}

int Document::orientation() {
  pugi::xml_node sz = child(sectPr(), "pgSz");
  std::string a = attributePrefix(xml_.document_element());
  return std::string_view(attrValue(sz, a, "orient")) == "landscape" ? 1 : 0;
}

void Document::setOrientation(int orientation) {
  if (orientation == this->orientation()) return;
  std::string w = prefixOf(xml_.document_element()), a = attributePrefix(xml_.document_element());
  pugi::xml_node sz = ensure(sectPr(), w, "pgSz", kSectOrder);
  pugi::xml_attribute width = ensureAttr(sz, a, "w"), height = ensureAttr(sz, a, "h");
  unsigned wv = width.as_uint(kA4Width), hv = height.as_uint(kA4Height);
  width.set_value(hv);
  height.set_value(wv);
  if (orientation == 1) ensureAttr(sz, a, "orient").set_value("landscape");
  else sz.remove_attribute((a + "orient").c_str());
  touch();
}

Para Document::hold(pugi::xml_node p) {
  auto& slot = held_[p.internal_object()];
  if (auto h = slot.lock()) return h;
  auto h = std::make_shared<ParaHandle>(ParaHandle{p});
  slot = h;
  return h;
}

void Document::drop(pugi::xml_node p) {
  if (auto it = held_.find(p.internal_object()); it != held_.end()) {
    if (auto h = it->second.lock()) h->node = pugi::xml_node();
    held_.erase(it);
  }
  p.parent().remove_child(p);
}

std::vector<Para> Document::paragraphs() {
  layOutPending();
  std::vector<Para> out;
  for (pugi::xml_node n : body().children())
    if (n.type() == pugi::node_element && localName(n) == "p") out.push_back(hold(n));
  return out;
}

pugi::xml_node Document::newParagraphLike(pugi::xml_node model) {
  std::string w = prefixOf(xml_.document_element());
  pugi::xml_node p = model.parent().insert_child_after((w + "p").c_str(), model);
  if (pugi::xml_node pPr = child(model, "pPr")) {
    pugi::xml_node copy = p.append_copy(pPr);
    // A paragraph that ends a section keeps that role alone.
    if (pugi::xml_node s = child(copy, "sectPr")) copy.remove_child(s);
  }
  return p;
}

Para Document::lastParagraph() {
  layOutPending();
  pugi::xml_node b = body();
  pugi::xml_node last;
  for (pugi::xml_node n : b.children())
    if (isBlock(n)) last = n;
  if (last && localName(last) == "p") return hold(last);
  std::string w = prefixOf(xml_.document_element());
  pugi::xml_node s = sectPr();
  touch();
  return hold(b.insert_child_before((w + "p").c_str(), s));
}

Para Document::appendParagraph() {
  Para last = lastParagraph();
  touch();
  return hold(newParagraphLike(last->node));
}

// A new paragraph before `mark` that takes its runs, with a copy of `pPr` as its format.
pugi::xml_node Document::splitOff(pugi::xml_node mark, pugi::xml_node pPr) {
  std::string w = prefixOf(xml_.document_element());
  pugi::xml_node p = mark.parent().insert_child_before((w + "p").c_str(), mark);
  if (pPr) {
    pugi::xml_node copy = p.append_copy(pPr);
    if (pugi::xml_node s = child(copy, "sectPr")) copy.remove_child(s);
  }
  for (pugi::xml_node c = mark.first_child(); c;) {
    pugi::xml_node next = c.next_sibling();
    if (localName(c) != "pPr") p.append_move(c);
    c = next;
  }
  touch();
  return p;
}

namespace {

void requireHeld(const Para& p) {
  if (!p || !p->node) throw ComError(hr::basicError(5941), "The requested member of the collection does not exist.");
}

}  // namespace

std::vector<Para> Document::insertAtEnd(std::u16string_view text) {
  layOutPending();
  Para last = lastParagraph();
  touch();
  pugi::xml_node pPr = child(last->node, "pPr");
  return layOutLines(last->node, pPr, child(pPr, "rPr"), xmlSafe(text));
}

// Every line of `text` as a paragraph before `mark`, with copies of `pPr` and `rPr`; the first
// takes what `mark` held. A rest without a line end joins `mark`, as typing at the end does.
std::vector<Para> Document::layOutLines(pugi::xml_node mark, pugi::xml_node pPr, pugi::xml_node rPr,
                                        std::u16string_view text) {
  std::string w = prefixOf(xml_.document_element());
  std::vector<Para> made;
  size_t pos = 0;
  bool ended = true;
  while (ended) {
    std::u16string_view line = trimmedLine(text, pos, ended);
    if (!ended && line.empty()) break;
    pugi::xml_node p = ended ? splitOff(mark, pPr) : mark;
    pugi::xml_node run = p.append_child((w + "r").c_str());
    if (rPr) run.append_copy(rPr);
    appendRunContent(run, w, line);
    made.push_back(hold(p));
  }
  return made;
}

struct PendingText {
  pugi::xml_document model;  // a paragraph formatted like the text, with one run
  Para format;
  std::u16string text;       // XML-safe, ending with a line end
  pugi::xml_node mark;       // the paragraph it stands before
  bool pending = true;
  std::vector<Para> paras;   // once laid out
};

Block Document::appendText(std::u16string_view text) {
  std::u16string safe = xmlSafe(text);
  if (safe.empty() || (safe.back() != u'\r' && safe.back() != u'\n')) return nullptr;
  layOutPending();
  Para last = lastParagraph();
  for (pugi::xml_node c : last->node.children())
    if (localName(c) != "pPr") return nullptr;  // text of its own to join: laid out at once
  auto b = std::make_shared<PendingText>();
  std::string w = prefixOf(xml_.document_element());
  pugi::xml_node p = b->model.append_child((w + "p").c_str());
  if (pugi::xml_node pPr = child(last->node, "pPr")) {
    pugi::xml_node copy = p.append_copy(pPr);
    if (pugi::xml_node s = child(copy, "sectPr")) copy.remove_child(s);
  }
  pugi::xml_node run = p.append_child((w + "r").c_str());
  if (pugi::xml_node rPr = child(child(last->node, "pPr"), "rPr")) run.append_copy(rPr);
  b->format = std::make_shared<ParaHandle>(ParaHandle{p});
  b->text = std::move(safe);
  b->mark = last->node;
  pending_ = b;
  touch();
  return b;
}

Para Document::formatOf(const Block& b) { return b->pending ? b->format : layOut(b).front(); }

std::vector<Para> Document::layOut(const Block& b) {
  if (b->pending) {
    b->pending = false;
    if (pending_ == b) pending_.reset();
    pugi::xml_node model = b->format->node;
    b->paras = layOutLines(b->mark, child(model, "pPr"), child(child(model, "r"), "rPr"), b->text);
    b->text = std::u16string();
  }
  return b->paras;
}

void Document::layOutPending() {
  if (Block b = pending_) layOut(b);  // a copy: laying out lets go of pending_
}

Para Document::insertParagraphAfter(const Para& p) {
  requireHeld(p);
  layOutPending();
  return hold(splitOff(p->node, child(p->node, "pPr")));
}

std::u16string Document::text(const Para& p) {
  requireHeld(p);
  std::string out;
  collectText(p->node, out);
  return std::u16string(u16(out).view());
}

void Document::setText(const Para& p, std::u16string_view text) {
  requireHeld(p);
  std::string w = prefixOf(xml_.document_element());
  pugi::xml_node node = p->node;
  for (pugi::xml_node c = node.first_child(); c;) {
    pugi::xml_node next = c.next_sibling();
    if (localName(c) != "pPr") node.remove_child(c);
    c = next;
  }
  std::u16string safe = xmlSafe(text);
  if (!safe.empty()) {
    pugi::xml_node run = node.append_child((w + "r").c_str());
    if (pugi::xml_node rPr = child(child(node, "pPr"), "rPr")) run.append_copy(rPr);
    appendRunContent(run, w, safe);
  }
  touch();
}

int Document::alignment(const Para& p) {
  requireHeld(p);
  std::string a = attributePrefix(xml_.document_element());
  std::string_view v = attrValue(child(child(p->node, "pPr"), "jc"), a, "val");
  if (v == "center") return 1;
  if (v == "right" || v == "end") return 2;
  if (v == "both") return 3;
  if (v == "distribute") return 4;
  return 0;
}

void Document::setAlignment(const Para& p, int alignment) {
  requireHeld(p);
  static const char* const kinds[] = {"left", "center", "right", "both", "distribute"};
  if (alignment < 0 || alignment > 4) throw ComError(hr::basicError(5148), "The number must be between 0 and 4.");
  std::string w = prefixOf(xml_.document_element()), a = attributePrefix(xml_.document_element());
  pugi::xml_node pPr = child(p->node, "pPr");
  if (!pPr) pPr = p->node.prepend_child((w + "pPr").c_str());
  ensureAttr(ensure(pPr, w, "jc", kPPrOrder), a, "val").set_value(kinds[alignment]);
  touch();
}

double Document::spaceAfter(const Para& p) {
  requireHeld(p);
  std::string a = attributePrefix(xml_.document_element());
  pugi::xml_node spacing = child(child(p->node, "pPr"), "spacing");
  if (!spacing) {
    pugi::xml_node defaults = child(child(child(stylesRoot(), "docDefaults"), "pPrDefault"), "pPr");
    spacing = child(defaults, "spacing");
  }
  return spacing.attribute((a + "after").c_str()).as_double(0) / 20.0;
}

void Document::setSpaceAfter(const Para& p, double points) {
  requireHeld(p);
  if (!(points >= 0 && points <= 1584)) throw ComError(hr::basicError(5149), "The measurement must be between 0 pt and 1584 pt.");
  std::string w = prefixOf(xml_.document_element()), a = attributePrefix(xml_.document_element());
  pugi::xml_node pPr = child(p->node, "pPr");
  if (!pPr) pPr = p->node.prepend_child((w + "pPr").c_str());
  ensureAttr(ensure(pPr, w, "spacing", kPPrOrder), a, "after").set_value(int(std::lround(points * 20)));
  touch();
}

CharFormat Document::charFormat(const Para& p) {
  requireHeld(p);
  std::string a = attributePrefix(xml_.document_element());
  std::vector<pugi::xml_node> chain;
  pugi::xml_node run = p->node.find_child([](const pugi::xml_node& c) { return localName(c) == "r"; });
  chain.push_back(run ? child(run, "rPr") : child(child(p->node, "pPr"), "rPr"));
  pugi::xml_node top = stylesRoot();
  std::string sw = attributePrefix(top);
  std::string_view wanted = attrValue(child(child(p->node, "pPr"), "pStyle"), a, "val");
  for (pugi::xml_node s : top.children()) {
    if (localName(s) != "style" || std::string_view(attrValue(s, sw, "type")) != "paragraph") continue;
    std::string_view isDefault = attrValue(s, sw, "default");
    bool match = wanted.empty() ? (isDefault == "1" || isDefault == "true") : wanted == attrValue(s, sw, "styleId");
    if (match) chain.push_back(child(s, "rPr"));
  }
  chain.push_back(child(child(child(top, "docDefaults"), "rPrDefault"), "rPr"));
  CharFormat f;
  bool boldSet = false;
  for (auto& rPr : chain) {
    if (!rPr) continue;
    const std::string& pw = rPr.root() == top.root() ? sw : a;
    if (pugi::xml_node b = child(rPr, "b"); b && !boldSet) {
      f.bold = toggleOn(b, pw);
      boldSet = true;
    }
    if (pugi::xml_node fonts = child(rPr, "rFonts"); fonts && f.name.empty())
      f.name = std::u16string(u16(attrValue(fonts, pw, "ascii")).view());
    if (pugi::xml_node sz = child(rPr, "sz"); sz && f.size == 0)
      f.size = sz.attribute((pw + "val").c_str()).as_double(0) / 2.0;
  }
  if (f.name.empty()) f.name = kDefaultFont;
  if (f.size <= 0) f.size = kDefaultSize;
  return f;
}

void Document::formatRuns(const Para& p, const std::function<void(pugi::xml_node rPr)>& edit) {
  requireHeld(p);
  std::string w = prefixOf(xml_.document_element());
  std::vector<pugi::xml_node> runs;
  struct Walker : pugi::xml_tree_walker {
    std::vector<pugi::xml_node>* runs;
    bool for_each(pugi::xml_node& n) override {
      if (n.type() == pugi::node_element && localName(n) == "r") runs->push_back(n);
      return true;
    }
  } walker;
  walker.runs = &runs;
  p->node.traverse(walker);
  for (pugi::xml_node r : runs) {
    pugi::xml_node rPr = child(r, "rPr");
    edit(rPr ? rPr : r.prepend_child((w + "rPr").c_str()));
  }
  pugi::xml_node pPr = child(p->node, "pPr");
  if (!pPr) pPr = p->node.prepend_child((w + "pPr").c_str());
  edit(ensure(pPr, w, "rPr", kPPrOrder));
  touch();
}

void Document::setBold(const Para& p, bool bold) {
  std::string w = prefixOf(xml_.document_element()), a = attributePrefix(xml_.document_element());
  formatRuns(p, [&](pugi::xml_node rPr) {
    pugi::xml_node b = ensure(rPr, w, "b", kRPrOrder);
    b.remove_attribute((a + "val").c_str());
    if (!bold) b.append_attribute((a + "val").c_str()) = "0";
  });
}

void Document::setFontName(const Para& p, std::u16string_view name) {
  std::string w = prefixOf(xml_.document_element()), a = attributePrefix(xml_.document_element());
  std::string utf8 = u8(xmlSafe(name));
  if (utf8.empty()) throw ComError(hr::E_INVALIDARG, "A font needs a name.");
  formatRuns(p, [&](pugi::xml_node rPr) {
    pugi::xml_node fonts = ensure(rPr, w, "rFonts", kRPrOrder);
    for (const char* kind : {"ascii", "hAnsi", "cs", "eastAsia"}) ensureAttr(fonts, a, kind).set_value(utf8.c_str());
  });
}

void Document::setFontSize(const Para& p, double points) {
  if (!(points >= 1 && points <= 1638)) throw ComError(hr::basicError(5149), "The measurement must be between 1 and 1638.");
  std::string w = prefixOf(xml_.document_element()), a = attributePrefix(xml_.document_element());
  int half = int(std::lround(points * 2));
  formatRuns(p, [&](pugi::xml_node rPr) {
    ensureAttr(ensure(rPr, w, "sz", kRPrOrder), a, "val").set_value(half);
    ensureAttr(ensure(rPr, w, "szCs", kRPrOrder), a, "val").set_value(half);
  });
}

double Document::textWidthPoints() {
  std::string a = attributePrefix(xml_.document_element());
  pugi::xml_node s = sectPr();
  pugi::xml_node sz = child(s, "pgSz"), mar = child(s, "pgMar");
  double width = sz.attribute((a + "w").c_str()).as_double(kA4Width);
  double left = mar.attribute((a + "left").c_str()).as_double(kMargin);
  double right = mar.attribute((a + "right").c_str()).as_double(kMargin);
  return std::max(72.0, (width - left - right) / 20.0);
}

namespace {

void checkRequest(const TableRequest& r) {
  if (r.format < 0 || r.format >= kTableFormats) throw ComError(hr::basicError(5148), "The table format is out of range.");
}

std::vector<std::u16string_view> splitAt(std::u16string_view text, char16_t separator) {
  std::vector<std::u16string_view> parts;
  for (size_t start = 0;;) {
    size_t end = text.find(separator, start);
    parts.push_back(text.substr(start, end == std::u16string_view::npos ? std::u16string_view::npos : end - start));
    if (end == std::u16string_view::npos) return parts;
    start = end + 1;
  }
}

}  // namespace

// The table element before `before`, with its style, width, look and grid, and no rows yet.
pugi::xml_node Document::tableFrame(pugi::xml_node before, const TableRequest& r, size_t columns) {
  std::string w = prefixOf(xml_.document_element()), a = attributePrefix(xml_.document_element());
  StyleParts parts{r.borders, r.shading, r.font, r.color};
  pugi::xml_node stylesTop = styles().document_element();
  addTableStyle(stylesTop, prefixOf(stylesTop), attributePrefix(stylesTop), r.format, parts);
  stylesChanged_ = true;
  int cellWidth = int(std::lround((r.columnWidth > 0 ? r.columnWidth : textWidthPoints() / double(columns)) * 20));
  auto el = [&](pugi::xml_node parent, const char* local) { return parent.append_child((w + local).c_str()); };
  auto set = [&](pugi::xml_node n, const char* local, const std::string& v) {
    n.append_attribute((a + local).c_str()) = v.c_str();
  };
  pugi::xml_node tbl = before.parent().insert_child_before((w + "tbl").c_str(), before);
  pugi::xml_node tblPr = el(tbl, "tblPr");
  set(el(tblPr, "tblStyle"), "val", tableStyleId(r.format, parts));
  pugi::xml_node tblW = el(tblPr, "tblW");
  set(tblW, "w", r.autoFit ? "0" : std::to_string(cellWidth * int(columns)));
  set(tblW, "type", r.autoFit ? "auto" : "dxa");
  if (!r.autoFit) set(el(tblPr, "tblLayout"), "type", "fixed");
  pugi::xml_node look = el(tblPr, "tblLook");
  auto flag = [](bool b) { return std::string(b ? "1" : "0"); };
  set(look, "firstRow", flag(r.headingRows));
  set(look, "lastRow", flag(r.lastRow));
  set(look, "firstColumn", flag(r.firstColumn));
  set(look, "lastColumn", flag(r.lastColumn));
  set(look, "noHBand", flag(!r.shading));
  set(look, "noVBand", flag(!r.shading));
  pugi::xml_node grid = el(tbl, "tblGrid");
  for (size_t c = 0; c < columns; ++c) set(el(grid, "gridCol"), "w", std::to_string(cellWidth));
  return tbl;
}

std::pair<int, int> Document::convertToTable(const std::vector<Para>& rows, const TableRequest& r) {
  if (rows.empty()) throw ComError(hr::basicError(4605), "This method or property is not available because there is no text to convert.");
  checkRequest(r);
  for (auto& p : rows) requireHeld(p);
  layOutPending();
  std::string w = prefixOf(xml_.document_element());
  // Cells of every row, with the paragraph and run format each row had.
  struct RowText {
    std::vector<std::u16string> cells;
    pugi::xml_node pPr, rPr;
  };
  std::vector<RowText> table;
  size_t columns = size_t(std::max(r.minColumns, 1));
  for (auto& p : rows) {
    RowText row;
    std::u16string t = text(p);
    for (auto cell : splitAt(t, u'\t')) row.cells.emplace_back(cell);
    row.pPr = child(p->node, "pPr");
    pugi::xml_node run = p->node.find_child([](const pugi::xml_node& c) { return localName(c) == "r"; });
    row.rPr = run ? child(run, "rPr") : child(row.pPr, "rPr");
    columns = std::max(columns, row.cells.size());
    table.push_back(std::move(row));
  }
  pugi::xml_node tbl = tableFrame(rows.front()->node, r, columns);
  auto el = [&](pugi::xml_node parent, const char* local) { return parent.append_child((w + local).c_str()); };
  for (auto& row : table) {
    pugi::xml_node tr = el(tbl, "tr");
    for (size_t c = 0; c < columns; ++c) {
      pugi::xml_node p = el(el(tr, "tc"), "p");
      if (row.pPr) {
        pugi::xml_node copy = p.append_copy(row.pPr);
        if (pugi::xml_node s = child(copy, "sectPr")) copy.remove_child(s);
      }
      if (c < row.cells.size() && !row.cells[c].empty()) {
        pugi::xml_node run = el(p, "r");
        if (row.rPr) run.append_copy(row.rPr);
        appendRunContent(run, w, row.cells[c]);
      }
    }
  }
  bool endsBody = true;
  for (pugi::xml_node n = rows.back()->node.next_sibling(); n; n = n.next_sibling())
    if (isBlock(n)) endsBody = false;
  for (auto& p : rows) drop(p->node);
  // The body never ends with a table: readers want a paragraph after it.
  if (endsBody) tbl.parent().insert_child_after((w + "p").c_str(), tbl);
  touch();
  return {int(table.size()), int(columns)};
}

// A table whose rows are written as text when the document is saved: tens of thousands of
// cells as XML nodes would take a hundred times the memory of their text.
struct Document::TextTable {
  std::string head;       // the table's start tag, properties and grid
  std::string cellStart;  // a cell's paragraph and run up to its text
  std::string emptyCell;
  std::string w;          // the main namespace prefix
  size_t columns = 0;
  std::u16string text;    // rows at line ends, cells at tabs

  std::string rowStart, rowEnd, cellEnd, lineBreak;

  // Up to `count` rows from `pos` on; false once the last one is written.
  bool writeRows(std::string& out, size_t& pos, size_t count) const {
    for (size_t n = 0; n < count; ++n) {
      bool ended = false;
      std::u16string_view line = trimmedLine(text, pos, ended);
      if (!ended) return false;
      out += rowStart;
      auto cells = splitAt(line, u'\t');
      for (size_t c = 0; c < columns; ++c) {
        if (c >= cells.size() || cells[c].empty()) {
          out += emptyCell;
          continue;
        }
        out += cellStart;
        writeText(out, cells[c]);
        out += cellEnd;
      }
      out += rowEnd;
    }
    return pos < text.size();
  }
  // Escaped; a vertical tab (a manual line break) as a break between text pieces.
  void writeText(std::string& out, std::u16string_view cell) const {
    for (char c : u8(cell)) {
      switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '\v': out += lineBreak; break;
        default: out += c;
      }
    }
  }
};

namespace {

constexpr std::string_view kTablePlaceholder = "talvex-table";

std::string nodeText(const pugi::xml_node& n) {
  if (!n) return "";
  std::ostringstream out;
  n.print(out, "", pugi::format_raw, pugi::encoding_utf8);
  return std::move(out).str();
}

}  // namespace

std::pair<int, int> Document::convertToTable(const Block& b, const TableRequest& r) {
  if (!b->pending) return convertToTable(b->paras, r);
  checkRequest(r);
  auto t = std::make_shared<TextTable>();
  t->w = prefixOf(xml_.document_element());
  size_t columns = size_t(std::max(r.minColumns, 1)), rows = 0;
  size_t pos = 0;
  bool ended = true;
  while (ended) {
    std::u16string_view line = trimmedLine(b->text, pos, ended);
    if (!ended) break;
    ++rows;
    columns = std::max(columns, size_t(std::count(line.begin(), line.end(), u'\t')) + 1);
  }
  // The frame is made in the body, written out, and left there as the placeholder.
  pugi::xml_node tbl = tableFrame(b->mark, r, columns);
  t->head = nodeText(tbl);
  t->head.resize(t->head.size() - (t->w.size() + 6));  // without its end tag
  for (pugi::xml_node c = tbl.first_child(); c; c = tbl.first_child()) tbl.remove_child(c);
  tbl.append_child(pugi::node_pi).set_name(std::string(kTablePlaceholder).c_str());
  tbl.first_child().set_value(std::to_string(textTables_.size()).c_str());
  pugi::xml_node model = b->format->node;
  pugi::xml_node pPr = child(model, "pPr"), run = child(model, "r");
  std::string pPrText = nodeText(pPr), rPrText = nodeText(child(run, "rPr"));
  const std::string& w = t->w;
  t->cellStart = "<" + w + "tc><" + w + "p>" + pPrText + "<" + w + "r>" + rPrText + "<" + w + "t xml:space=\"preserve\">";
  t->cellEnd = "</" + w + "t></" + w + "r></" + w + "p></" + w + "tc>";
  t->emptyCell = "<" + w + "tc><" + w + "p>" + pPrText + "</" + w + "p></" + w + "tc>";
  t->rowStart = "<" + w + "tr>";
  t->rowEnd = "</" + w + "tr>";
  t->lineBreak = "</" + w + "t><" + w + "br/><" + w + "t xml:space=\"preserve\">";
  t->columns = columns;
  t->text = std::move(b->text);
  b->pending = false;
  pending_.reset();
  textTables_.push_back(std::move(t));
  touch();
  return {int(rows), int(columns)};
}

// The document part a piece at a time: its XML with every text table written in place of its
// placeholder, a few hundred rows a piece.
opc::Package::PieceWriter Document::partPieces() const {
  struct State {
    std::string text;
    size_t pos = 0;
    const TextTable* table = nullptr;
    size_t row = 0;
  };
  auto st = std::make_shared<State>();
  st->text = opc::toText(xml_);
  const std::string w = prefixOf(xml_.document_element());
  const std::string open = "<" + w + "tbl><?" + std::string(kTablePlaceholder) + " ";
  const std::string close = "?></" + w + "tbl>";
  return [this, st, open, close, end = "</" + w + "tbl>"](std::string& out) {
    if (st->table) {
      if (!st->table->writeRows(out, st->row, 256)) {
        out += end;
        st->table = nullptr;
      }
      return true;
    }
    size_t at = st->text.find(open, st->pos);
    if (at == std::string::npos) {
      out.append(st->text, st->pos);
      return false;
    }
    out.append(st->text, st->pos, at - st->pos);
    st->table = textTables_.at(size_t(std::atoll(st->text.c_str() + at + open.size()))).get();
    out += st->table->head;
    st->row = 0;
    st->pos = st->text.find(close, at) + close.size();
    return true;
  };
}

int Document::tableCount() {
  int n = 0;
  for (pugi::xml_node c : body().children())
    if (c.type() == pugi::node_element && localName(c) == "tbl") ++n;
  return n;
}

void readDocumentBytes(std::string_view bytes) {
  auto d = Document::load(opc::Package::fromBytes(std::string(bytes)));
  for (auto& p : d->paragraphs()) {
    d->text(p);
    d->alignment(p);
    d->spaceAfter(p);
    d->charFormat(p);
  }
  d->orientation();
  d->tableCount();
}

}  // namespace tlx::platform::wordproc
