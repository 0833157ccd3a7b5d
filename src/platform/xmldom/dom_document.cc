#include "platform/xmldom/dom_document.h"

#include <libxml/tree.h>
#include <libxml/xpath.h>

#include <cstdio>
#include <memory>
#include <unordered_set>
#include <vector>

#include "talvex/convert.h"
#include "talvex/registry.h"
#include "automation/write_target.h"
#include "automation/strings.h"
#include "platform/xmldom/xml_parser.h"

namespace tlx::platform::xmldom {

namespace {

constexpr unsigned long kXPathOperationLimit = 50'000'000;
constexpr int32_t kNotFound = static_cast<int32_t>(0x800C0005);
constexpr uint32_t kParseErrorBase = 0xC00CE000;

[[noreturn]] void fail(const std::string& what) { throw ComError(hr::E_FAIL, what); }

BStr textOf(const xmlChar* s) { return s ? u16(reinterpret_cast<const char*>(s)) : BStr(); }
const xmlChar* xc(const std::string& s) { return reinterpret_cast<const xmlChar*>(s.c_str()); }

// Owns a libxml2 document and every node made for it or taken out of it: node objects only
// point into it, and nothing is freed while one of them could still reach it.
struct Holder {
  DocPtr doc;
  std::unordered_set<xmlNode*> loose;  // created or unlinked; freed here if still unlinked

  explicit Holder(DocPtr d) : doc(std::move(d)) {}
  ~Holder() {
    std::vector<xmlNode*> roots;
    for (xmlNode* n : loose)
      if (!n->parent) roots.push_back(n);
    for (xmlNode* n : roots) xmlFreeNode(n);
  }
};
using HolderRef = std::shared_ptr<Holder>;

HolderRef emptyHolder() { return std::make_shared<Holder>(DocPtr(xmlNewDoc(BAD_CAST "1.0"))); }

Variant wrap(const HolderRef& h, xmlNode* n);

// The node kinds' names and numbers as the DOM gives them.
BStr nodeName(xmlNode* n) {
  switch (n->type) {
    case XML_TEXT_NODE: return u"#text";
    case XML_CDATA_SECTION_NODE: return u"#cdata-section";
    case XML_COMMENT_NODE: return u"#comment";
    case XML_DOCUMENT_NODE: return u"#document";
    case XML_DOCUMENT_FRAG_NODE: return u"#document-fragment";
    default: break;
  }
  std::string name = n->ns && n->ns->prefix ? std::string(reinterpret_cast<const char*>(n->ns->prefix)) + ":" : "";
  return u16(name + reinterpret_cast<const char*>(n->name ? n->name : BAD_CAST ""));
}

int32_t nodeType(xmlNode* n) {
  switch (n->type) {
    case XML_ELEMENT_NODE: return 1;
    case XML_ATTRIBUTE_NODE: return 2;
    case XML_TEXT_NODE: return 3;
    case XML_CDATA_SECTION_NODE: return 4;
    case XML_ENTITY_REF_NODE: return 5;
    case XML_PI_NODE: return 7;
    case XML_COMMENT_NODE: return 8;
    case XML_DOCUMENT_NODE: return 9;
    case XML_DTD_NODE: return 10;
    case XML_DOCUMENT_FRAG_NODE: return 11;
    default: return 0;
  }
}

bool holdsValue(xmlNode* n) {
  return n->type == XML_TEXT_NODE || n->type == XML_CDATA_SECTION_NODE || n->type == XML_COMMENT_NODE ||
         n->type == XML_PI_NODE || n->type == XML_ATTRIBUTE_NODE;
}

BStr contentOf(xmlNode* n) {
  if (n->type == XML_DOCUMENT_NODE) n = xmlDocGetRootElement(reinterpret_cast<xmlDoc*>(n));
  if (!n) return {};
  xmlChar* s = xmlNodeGetContent(n);
  BStr out = textOf(s);
  xmlFree(s);
  return out;
}

BStr markupOf(xmlNode* n) {
  xmlChar* s = nullptr;
  int size = 0;
  if (n->type == XML_DOCUMENT_NODE) {
    xmlDocDumpMemoryEnc(reinterpret_cast<xmlDoc*>(n), &s, &size, "UTF-8");
    BStr out = u16(std::string_view(reinterpret_cast<const char*>(s), static_cast<size_t>(size)));
    xmlFree(s);
    return out;
  }
  xmlBuffer* buf = xmlBufferCreate();
  xmlNodeDump(buf, n->doc, n, 0, 0);
  BStr out = u16(std::string_view(reinterpret_cast<const char*>(xmlBufferContent(buf)), static_cast<size_t>(xmlBufferLength(buf))));
  xmlBufferFree(buf);
  return out;
}

void requireName(const std::string& name) {
  if (name.empty() || xmlValidateQName(xc(name), 0) != 0) fail("'" + name + "' is not a valid name.");
}

// Whitespace-only text nodes go when a document loads without preserveWhiteSpace; iterative, as
// a document may nest deeply.
void dropBlankText(xmlNode* top) {
  std::vector<xmlNode*> pending{top};
  while (!pending.empty()) {
    xmlNode* n = pending.back();
    pending.pop_back();
    for (xmlNode* c = n->children; c;) {
      xmlNode* next = c->next;
      if (c->type == XML_TEXT_NODE && xmlIsBlankNode(c)) {
        xmlUnlinkNode(c);
        xmlFreeNode(c);
      } else if (c->type == XML_ELEMENT_NODE) {
        pending.push_back(c);
      }
      c = next;
    }
  }
}

// A static list of nodes: children, attributes or an XPath result.
class NodeList : public Object<NodeList> {
 public:
  NodeList(HolderRef h, std::vector<xmlNode*> nodes) : holder_(std::move(h)), nodes_(std::move(nodes)) {}
  static const Members<NodeList>& members();
  std::string typeName() const override { return "IXMLDOMNodeList"; }
  std::vector<Variant> enumerate() override {
    std::vector<Variant> out;
    for (xmlNode* n : nodes_) out.push_back(wrap(holder_, n));
    return out;
  }
  Variant item(int32_t i) const {
    return i >= 0 && static_cast<size_t>(i) < nodes_.size() ? wrap(holder_, nodes_[static_cast<size_t>(i)]) : Variant(ObjRef());
  }
  Variant named(const std::string& name) const {
    for (xmlNode* n : nodes_)
      if (u8(nodeName(n).view()) == name) return wrap(holder_, n);
    return Variant(ObjRef());
  }
  HolderRef holder_;
  std::vector<xmlNode*> nodes_;
};

const Members<NodeList>& NodeList::members() {
  static const Members<NodeList> table = [] {
    Members<NodeList> m;
    m.property("length", [](NodeList& s, Args&) { return Variant(static_cast<int32_t>(s.nodes_.size())); });
    m.property("Item", [](NodeList& s, Args& a) { return s.item(toI4(a[0])); }, {}, {"index"});
    m.method("getNamedItem", {"name"}, [](NodeList& s, Args& a) { return s.named(toUtf8(a[0])); });
    m.byDefault("Item");
    return m;
  }();
  return table;
}

std::vector<xmlNode*> childrenOf(xmlNode* n) {
  std::vector<xmlNode*> out;
  if (n->type == XML_ATTRIBUTE_NODE) return out;  // an attribute's value is its text, not its children
  for (xmlNode* c = n->children; c; c = c->next) out.push_back(c);
  return out;
}

std::vector<xmlNode*> attributesOf(xmlNode* n) {
  std::vector<xmlNode*> out;
  if (n->type != XML_ELEMENT_NODE) return out;
  for (xmlAttr* a = n->properties; a; a = a->next) out.push_back(reinterpret_cast<xmlNode*>(a));
  return out;
}

struct XPathContextFree {
  void operator()(xmlXPathContext* c) const { xmlXPathFreeContext(c); }
};
struct XPathObjectFree {
  void operator()(xmlXPathObject* o) const { xmlXPathFreeObject(o); }
};

std::vector<xmlNode*> select(xmlNode* from, const std::string& expression) {
  xmlDoc* doc = from->type == XML_DOCUMENT_NODE ? reinterpret_cast<xmlDoc*>(from) : from->doc;
  std::unique_ptr<xmlXPathContext, XPathContextFree> ctx(xmlXPathNewContext(doc));
  ctx->node = from;
  ctx->opLimit = kXPathOperationLimit;
  ctx->error = [](void*, xmlErrorPtr) {};  // the failure is raised below, not printed
  std::unique_ptr<xmlXPathObject, XPathObjectFree> result(xmlXPathEvalExpression(xc(expression), ctx.get()));
  if (!result) fail("The XPath expression '" + expression + "' could not be evaluated.");
  if (result->type != XPATH_NODESET) fail("Expression does not return a DOM node.");
  std::vector<xmlNode*> out;
  if (xmlNodeSet* set = result->nodesetval)
    for (int i = 0; i < set->nodeNr; ++i)
      if (set->nodeTab[i]->type != XML_NAMESPACE_DECL) out.push_back(set->nodeTab[i]);
  return out;
}

bool isAncestorOrSelf(xmlNode* a, xmlNode* n) {
  for (; n; n = n->parent)
    if (n == a) return true;
  return false;
}

// Appends without merging text nodes (libxml2's own append frees a merged node).
void linkLast(xmlNode* parent, xmlNode* child) {
  child->parent = parent;
  child->prev = parent->last;
  child->next = nullptr;
  if (parent->last) parent->last->next = child;
  else parent->children = child;
  parent->last = child;
}

class Node;
Ref<Node> nodeOf(const Variant& v);

// What a node and the document share: one node of one held document.
struct NodeTarget {
  HolderRef holder;
  xmlNode* node;

  void appendChild(xmlNode* child) {
    if (child->type == XML_DOCUMENT_NODE || child->type == XML_ATTRIBUTE_NODE) fail("This node cannot be inserted here.");
    if (node->type != XML_ELEMENT_NODE && node->type != XML_DOCUMENT_NODE && node->type != XML_DOCUMENT_FRAG_NODE)
      fail("This node cannot hold children.");
    if (isAncestorOrSelf(child, node)) fail("A node cannot be inserted under itself.");
    if (node->type == XML_DOCUMENT_NODE && child->type == XML_ELEMENT_NODE &&
        xmlDocGetRootElement(reinterpret_cast<xmlDoc*>(node)))
      fail("Only one top level element is allowed in an XML document.");
    if (child->parent) xmlUnlinkNode(child);
    holder->loose.insert(child);
    linkLast(node, child);
  }

  void setText(const std::string& text) {
    if (holdsValue(node)) return xmlNodeSetContent(node, xc(text));
    if (node->type != XML_ELEMENT_NODE) fail("This node's text cannot be set.");
    for (xmlNode* c = node->children; c;) {
      xmlNode* next = c->next;
      xmlUnlinkNode(c);
      holder->loose.insert(c);
      c = next;
    }
    xmlNode* t = xmlNewDocText(node->doc, xc(text));
    holder->loose.insert(t);
    linkLast(node, t);
  }
};

// The node members, for the document as for its nodes.
template <class T>
void addNodeMembers(Members<T>& m) {
  auto t = [](T& s) { return s.target(); };
  m.property("nodeName", [t](T& s, Args&) { return Variant(nodeName(t(s).node)); });
  m.property("nodeType", [t](T& s, Args&) { return Variant(nodeType(t(s).node)); });
  m.property(
      "nodeValue", [t](T& s, Args&) { return holdsValue(t(s).node) ? Variant(contentOf(t(s).node)) : Variant::null(); },
      [t](T& s, Args&, const Variant& v) {
        if (!holdsValue(t(s).node)) fail("This operation can not be performed with a node of this type.");
        t(s).setText(toUtf8(v));
      });
  m.property("nodeTypedValue", [t](T& s, Args&) { return Variant(contentOf(t(s).node)); });
  m.property(
      "text", [t](T& s, Args&) { return Variant(contentOf(t(s).node)); },
      [t](T& s, Args&, const Variant& v) { t(s).setText(toUtf8(v)); });
  m.property("xml", [t](T& s, Args&) { return Variant(markupOf(t(s).node)); });
  m.property("childNodes", [t](T& s, Args&) {
    return Variant(ObjRef(makeRef<NodeList>(t(s).holder, childrenOf(t(s).node))));
  });
  m.property("attributes", [t](T& s, Args&) {
    if (t(s).node->type != XML_ELEMENT_NODE) return Variant::null();
    return Variant(ObjRef(makeRef<NodeList>(t(s).holder, attributesOf(t(s).node))));
  });
  m.method("getAttribute", {"name"}, [t](T& s, Args& a) {
    if (t(s).node->type != XML_ELEMENT_NODE) fail("Only an element has attributes.");
    xmlChar* v = xmlGetProp(t(s).node, xc(toUtf8(a[0])));
    Variant out = v ? Variant(textOf(v)) : Variant::null();
    xmlFree(v);
    return out;
  });
  m.method("setAttribute", {"name", "value"}, [t](T& s, Args& a) {
    if (t(s).node->type != XML_ELEMENT_NODE) fail("Only an element has attributes.");
    const std::string name = toUtf8(a[0]);
    requireName(name);
    xmlSetProp(t(s).node, xc(name), xc(toUtf8(a[1])));
    return Variant();
  });
  auto link = [&m, t](const char* name, xmlNode* (*step)(xmlNode*)) {
    m.property(name, [t, step](T& s, Args&) { return wrap(t(s).holder, step(t(s).node)); });
  };
  link("parentNode", [](xmlNode* n) { return n->type == XML_ATTRIBUTE_NODE ? nullptr : n->parent; });
  link("firstChild", [](xmlNode* n) { return n->type == XML_ATTRIBUTE_NODE ? nullptr : n->children; });
  link("lastChild", [](xmlNode* n) { return n->type == XML_ATTRIBUTE_NODE ? nullptr : n->last; });
  link("nextSibling", [](xmlNode* n) { return n->type == XML_ATTRIBUTE_NODE ? nullptr : n->next; });
  link("previousSibling", [](xmlNode* n) { return n->type == XML_ATTRIBUTE_NODE ? nullptr : n->prev; });
  m.method("hasChildNodes", {}, [t](T& s, Args&) { return Variant(!childrenOf(t(s).node).empty()); });
  m.method("appendChild", {"newChild"}, [t](T& s, Args& a) {
    Ref<Node> child = nodeOf(a[0]);
    return s.appendChild(child);
  });
  m.method("selectNodes", {"queryString"}, [t](T& s, Args& a) {
    return Variant(ObjRef(makeRef<NodeList>(t(s).holder, select(t(s).node, toUtf8(a[0])))));
  });
  m.method("selectSingleNode", {"queryString"}, [t](T& s, Args& a) {
    std::vector<xmlNode*> found = select(t(s).node, toUtf8(a[0]));
    return wrap(t(s).holder, found.empty() ? nullptr : found.front());
  });
}

class Node : public Object<Node> {
 public:
  Node(HolderRef h, xmlNode* n) : target_{std::move(h), n} {}
  static const Members<Node>& members() {
    static const Members<Node> table = [] {
      Members<Node> m;
      addNodeMembers(m);
      m.byDefault("nodeValue");
      return m;
    }();
    return table;
  }
  std::string typeName() const override { return "IXMLDOMNode"; }
  NodeTarget& target() { return target_; }
  Variant appendChild(const Ref<Node>& child);
  NodeTarget target_;
};

Ref<Node> nodeOf(const Variant& v) {
  auto n = refCast<Node>(objectOf(v));
  if (!n) fail("The argument is not a node of a DOM document.");
  return n;
}

Variant Node::appendChild(const Ref<Node>& child) {
  if (child->target_.holder != target_.holder) fail("The node belongs to another document.");
  target_.appendChild(child->target_.node);
  return Variant(ObjRef(child));
}

Variant wrap(const HolderRef& h, xmlNode* n) { return n ? Variant(ObjRef(makeRef<Node>(h, n))) : Variant(ObjRef()); }

class ParseErrorObject : public Object<ParseErrorObject> {
 public:
  ParseErrorObject(ParseError e, std::string url) : e_(std::move(e)), url_(std::move(url)) {}
  static const Members<ParseErrorObject>& members() {
    static const Members<ParseErrorObject> table = [] {
      using P = ParseErrorObject;
      Members<P> m;
      m.property("errorCode", [](P& p, Args&) { return Variant(p.code()); });
      m.property("reason", [](P& p, Args&) { return Variant(u16(p.e_.reason)); });
      m.property("line", [](P& p, Args&) { return Variant(p.e_.line); });
      m.property("linepos", [](P& p, Args&) { return Variant(p.e_.linepos); });
      m.property("srcText", [](P& p, Args&) { return Variant(u16(p.e_.srcText)); });
      m.property("url", [](P& p, Args&) { return Variant(u16(p.url_)); });
      m.byDefault("errorCode");
      return m;
    }();
    return table;
  }
  std::string typeName() const override { return "IXMLDOMParseError"; }
  // A missing file as the platform reports it; parse errors as parser error numbers.
  int32_t code() const {
    if (!e_.code) return 0;
    if (e_.code == kErrorNotFound) return kNotFound;
    return static_cast<int32_t>(kParseErrorBase + static_cast<uint32_t>(e_.code));
  }

 private:
  ParseError e_;
  std::string url_;
};

class Document : public Object<Document> {
 public:
  static const Members<Document>& members();
  std::string typeName() const override { return "DOMDocument"; }
  NodeTarget& target() {
    current_ = NodeTarget{holder_, reinterpret_cast<xmlNode*>(holder_->doc.get())};
    return current_;
  }
  Variant appendChild(const Ref<Node>& child) {
    if (child->target_.holder != holder_) fail("The node belongs to another document.");
    target().appendChild(child->target_.node);
    return Variant(ObjRef(child));
  }

  bool load(DocPtr doc, ParseError error, std::string url) {
    parseError_ = ObjRef(makeRef<ParseErrorObject>(error, std::move(url)));
    if (!doc) {
      holder_ = emptyHolder();
      return false;
    }
    if (!preserveWhiteSpace) dropBlankText(reinterpret_cast<xmlNode*>(doc.get()));
    holder_ = std::make_shared<Holder>(std::move(doc));
    return true;
  }
  void save(const std::string& path) {
    xmlChar* s = nullptr;
    int size = 0;
    xmlDocDumpMemoryEnc(holder_->doc.get(), &s, &size, "UTF-8");
    // Written whole beside the target and renamed over it: a failed save leaves no half file.
    std::error_code linkError;
    const std::string target = writeTarget(path, linkError).string();
    const std::string temp = target + ".tmp-save";
    FILE* f = std::fopen(temp.c_str(), "wb");
    const bool written = f && std::fwrite(s, 1, static_cast<size_t>(size), f) == static_cast<size_t>(size);
    xmlFree(s);
    if (f && std::fclose(f) != 0) f = nullptr;
    if (linkError || !written || !f || std::rename(temp.c_str(), target.c_str()) != 0) {
      std::remove(temp.c_str());
      fail("The document could not be saved to " + path + ".");
    }
  }
  Variant createElement(const std::string& name) {
    requireName(name);
    xmlNode* n = xmlNewDocNode(holder_->doc.get(), nullptr, xc(name), nullptr);
    holder_->loose.insert(n);
    return wrap(holder_, n);
  }

  bool async = true;
  bool preserveWhiteSpace = false;
  HolderRef holder_ = emptyHolder();
  ObjRef parseError_ = ObjRef(makeRef<ParseErrorObject>(ParseError{}, ""));

 private:
  NodeTarget current_;
};

const Members<Document>& Document::members() {
  static const Members<Document> table = [] {
    using D = Document;
    Members<D> m;
    addNodeMembers(m);
    auto flag = [&m](const char* name, bool D::*field) {
      m.property(
          name, [field](D& d, Args&) { return Variant(d.*field); },
          [field](D& d, Args&, const Variant& v) { d.*field = toBool(v); });
    };
    flag("async", &D::async);
    flag("preserveWhiteSpace", &D::preserveWhiteSpace);
    m.method("Load", {"xmlSource"}, [](D& d, Args& a) {
      const std::string path = toUtf8(a[0]);
      ParseError error;
      DocPtr doc = readFile(path, error);
      return Variant(d.load(std::move(doc), std::move(error), path));
    });
    m.method("LoadXML", {"bstrXML"}, [](D& d, Args& a) {
      ParseError error;
      DocPtr doc = readMemory(toUtf8(a[0]), error);
      return Variant(d.load(std::move(doc), std::move(error), ""));
    });
    m.property("parseError", [](D& d, Args&) { return Variant(d.parseError_); });
    m.property("readyState", [](D&, Args&) { return Variant(int32_t{4}); });
    m.property("documentElement", [](D& d, Args&) {
      return wrap(d.holder_, xmlDocGetRootElement(d.holder_->doc.get()));
    });
    m.method("save", {"destination"}, [](D& d, Args& a) {
      d.save(toUtf8(a[0]));
      return Variant();
    });
    m.method("createElement", {"tagName"}, [](D& d, Args& a) { return d.createElement(toUtf8(a[0])); });
    m.byDefault("xml");
    return m;
  }();
  return table;
}

}  // namespace

}  // namespace tlx::platform::xmldom

namespace tlx {

void registerDomDocuments() {
  for (const char* progId : {"Msxml2.DOMDocument.4.0", "Msxml2.DOMDocument.3.0", "Msxml2.DOMDocument.2.6", "Msxml.DOMDocument"})
    registerClass(progId, [] { return ObjRef(makeRef<platform::xmldom::Document>()); });
}

}  // namespace tlx
