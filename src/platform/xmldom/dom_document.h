// DOM documents over libxml2, registered as "Msxml2.DOMDocument.4.0", ".3.0", ".2.6" and
// "Msxml.DOMDocument".
//
// Document: async (r/w, kept: loading is always synchronous), preserveWhiteSpace (r/w, False:
//   whitespace-only text nodes are dropped when a document loads), Load(path) and
//   LoadXML(text) answer True or False and fill parseError (errorCode, reason, line, linepos,
//   srcText, url); readyState (4), documentElement, createElement(name), save(path), and the
//   node members below.
// Node: nodeName, nodeType, nodeValue (r/w), nodeTypedValue, text (r/w), xml, childNodes and
//   attributes (length, Item(i) from 0, enumeration; attributes also getNamedItem(name)),
//   getAttribute(name) (Null when absent), setAttribute(name, value), parentNode, firstChild,
//   lastChild, nextSibling, previousSibling, hasChildNodes(), appendChild(node),
//   selectNodes(xpath), selectSingleNode(xpath) (XPath 1.0; Nothing when none matches).
// A node list is the nodes at the time it was taken. Files are read with the shared parser
// settings: no external entities, no DTD loading, no network.
#pragma once

namespace tlx {

void registerDomDocuments();

}  // namespace tlx
