"""Prints the tree-node walk of an XML file as xml.dom.minidom sees it: one JSON list of
[text, parent index] (indexes from 1, 0 for the root), depth first in document order,
whitespace-only text nodes left out as a document that does not preserve whitespace drops them."""
import json
import sys
from xml.dom import minidom

doc = minidom.parse(sys.argv[1])
out = []
stack = [(doc.documentElement, 0)]
while stack:
    node, parent = stack.pop()
    if node.nodeType == node.TEXT_NODE and node.data.strip(" \t\r\n") == "":
        continue
    out.append([node.data if node.nodeName == "#text" else "<" + node.nodeName + ">", parent])
    stack.extend((child, len(out)) for child in reversed(node.childNodes))
print(json.dumps(out))
