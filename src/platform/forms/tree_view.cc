// Tree view: nodes kept in the order they were added (the order Nodes gives them back in),
// each linked into the tree by its parent and its place among its siblings.
#include <algorithm>

#include "talvex/registry.h"
#include "platform/forms/forms_internal.h"
#include "platform/forms/keyed_items.h"

namespace tlx::platform::forms {

namespace {

enum Relationship : int32_t { tvwFirst = 0, tvwLast = 1, tvwNext = 2, tvwPrevious = 3, tvwChild = 4 };

class TreeView;

class Node : public Object<Node>, public KeyedItem {
 public:
  static const Members<Node>& members();
  std::string typeName() const override { return "Node"; }

  BStr text;
  bool expanded = false;
  Variant tag;
  TreeView* tree = nullptr;  // null once the node is removed or its tree is gone
  Node* parent = nullptr;
  std::vector<Node*> children;

  std::vector<Node*>& siblings();
  Node* sibling(int step) {
    auto& list = siblings();
    auto at = std::find(list.begin(), list.end(), this) - list.begin() + step;
    return at >= 0 && at < static_cast<std::ptrdiff_t>(list.size()) ? list[static_cast<size_t>(at)] : nullptr;
  }
  Node* root() {
    Node* n = this;
    while (n->parent) n = n->parent;
    return n;
  }
  BStr fullPath() const;
  bool selected() const;
  void setSelected(bool on);
  void ensureVisible() {
    for (Node* n = parent; n; n = n->parent) n->expanded = true;
  }
  bool visible() const {
    for (Node* n = parent; n; n = n->parent)
      if (!n->expanded) return false;
    return true;
  }
  void requireTree() const {
    if (!tree) controlDeleted();
  }
};

Variant nodeOrNothing(Node* n) { return Variant(ObjRef(n)); }

class TreeView : public Object<TreeView> {
 public:
  static const Members<TreeView>& members();
  std::string typeName() const override { return "TreeView"; }
  // Nodes the host still holds outlive the tree as nodes of no tree.
  ~TreeView() override { clear(); }

  KeyedItems<Node> nodes;
  std::vector<Node*> roots;
  Node* selectedNode = nullptr;
  BStr pathSeparator = u"\\";

  Ref<Node> add(const Variant& relative, const Variant& relationship, BStr key, BStr text) {
    nodes.requireFreeKey(key);
    auto node = makeRef<Node>();
    node->key = std::move(key);
    node->text = std::move(text);
    node->tree = this;
    link(*node, relative, relationship);
    nodes.append(node);
    return node;
  }

  // The node and its branch leave the tree; they are held here until they are detached, since
  // the tree's list may hold the last reference to them.
  void remove(const Variant& index) {
    Node& top = nodes[index];
    std::vector<Ref<Node>> branch{Ref<Node>(&top)};
    for (size_t i = 0; i < branch.size(); ++i)
      for (Node* child : branch[i]->children) branch.emplace_back(child);
    auto& list = top.siblings();
    list.erase(std::find(list.begin(), list.end(), &top));
    nodes.eraseIf([&](Node& n) {
      for (Node* up = &n; up; up = up->parent)
        if (up == &top) return true;
      return false;
    });
    for (const Ref<Node>& n : branch) {
      if (selectedNode == n.get()) selectedNode = nullptr;
      detach(*n);
    }
  }

  void clear() {
    for (const Ref<Node>& n : nodes.items()) detach(*n);
    nodes.clear();
    roots.clear();
    selectedNode = nullptr;
  }

 private:
  // Places a new node by its relative: among the relative's siblings, or as its last child.
  void link(Node& node, const Variant& relative, const Variant& relationship) {
    const int32_t how = relationship.isMissing() ? (relative.isMissing() ? tvwLast : tvwNext) : toI4(relationship);
    if (how < tvwFirst || how > tvwChild) invalidCall();
    if (relative.isMissing() || relative.isEmpty()) {
      roots.insert(how == tvwFirst ? roots.begin() : roots.end(), &node);
      return;
    }
    Node& rel = nodes[relative];
    if (how == tvwChild) {
      node.parent = &rel;
      rel.children.push_back(&node);
      return;
    }
    node.parent = rel.parent;
    auto& list = rel.siblings();
    auto at = std::find(list.begin(), list.end(), &rel);
    switch (how) {
      case tvwFirst: at = list.begin(); break;
      case tvwLast: at = list.end(); break;
      case tvwNext: ++at; break;
      default: break;  // previous: before the relative
    }
    list.insert(at, &node);
  }

  static void detach(Node& n) {
    n.tree = nullptr;
    n.parent = nullptr;
    n.children.clear();
  }
};

std::vector<Node*>& Node::siblings() {
  requireTree();
  return parent ? parent->children : tree->roots;
}

BStr Node::fullPath() const {
  std::vector<const Node*> chain;
  for (const Node* n = this; n; n = n->parent) chain.push_back(n);
  std::u16string path;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    if (it != chain.rbegin()) path += tree ? tree->pathSeparator.view() : u"\\";
    path += (*it)->text.view();
  }
  return BStr(path);
}

bool Node::selected() const { return tree && tree->selectedNode == this; }

void Node::setSelected(bool on) {
  requireTree();
  if (on) tree->selectedNode = this;
  else if (tree->selectedNode == this) tree->selectedNode = nullptr;
}

// The tree's Nodes collection: a view of the tree, kept alive by the tree it holds.
class Nodes : public Object<Nodes> {
 public:
  explicit Nodes(Ref<TreeView> tree) : tree_(std::move(tree)) {}
  static const Members<Nodes>& members();
  std::string typeName() const override { return "Nodes"; }
  std::vector<Variant> enumerate() override { return tree_->nodes.enumerate(); }
  TreeView& tree() { return *tree_; }

 private:
  Ref<TreeView> tree_;
};

const Members<Node>& Node::members() {
  static const Members<Node> table = [] {
    Members<Node> m;
    m.property(
        "Text", [](Node& s, Args&) { return Variant(s.text); },
        [](Node& s, Args&, const Variant& v) { s.text = toBStr(v); });
    m.property(
        "Key", [](Node& s, Args&) { return Variant(s.key); },
        [](Node& s, Args&, const Variant& v) {
          // A new key goes through the tree's index: take the node out and put it back.
          s.requireTree();
          BStr key = toBStr(v);
          if (key == s.key.view()) return;
          s.tree->nodes.requireFreeKey(key);
          Ref<Node> self(&s);
          const size_t at = static_cast<size_t>(s.index - 1);
          s.tree->nodes.eraseIf([&](Node& n) { return &n == &s; });
          s.key = std::move(key);
          s.tree->nodes.insert(at, self);
        });
    m.property("Index", [](Node& s, Args&) {
      s.requireTree();
      return Variant(s.index);
    });
    m.property("FullPath", [](Node& s, Args&) { return Variant(s.fullPath()); });
    m.property("Parent", [](Node& s, Args&) { return nodeOrNothing(s.parent); });
    m.property("Child", [](Node& s, Args&) { return nodeOrNothing(s.children.empty() ? nullptr : s.children.front()); });
    m.property("Children", [](Node& s, Args&) { return Variant(static_cast<int32_t>(s.children.size())); });
    m.property("Next", [](Node& s, Args&) { return nodeOrNothing(s.sibling(1)); });
    m.property("Previous", [](Node& s, Args&) { return nodeOrNothing(s.sibling(-1)); });
    m.property("FirstSibling", [](Node& s, Args&) { return nodeOrNothing(s.siblings().front()); });
    m.property("LastSibling", [](Node& s, Args&) { return nodeOrNothing(s.siblings().back()); });
    m.property("Root", [](Node& s, Args&) { return nodeOrNothing(s.root()); });
    m.property(
        "Expanded", [](Node& s, Args&) { return Variant(s.expanded); },
        [](Node& s, Args&, const Variant& v) { s.expanded = toBool(v); });
    m.property("Visible", [](Node& s, Args&) { return Variant(s.visible()); });
    m.method("EnsureVisible", {}, [](Node& s, Args&) {
      s.ensureVisible();
      return Variant(true);
    });
    m.property(
        "Selected", [](Node& s, Args&) { return Variant(s.selected()); },
        [](Node& s, Args&, const Variant& v) { s.setSelected(toBool(v)); });
    m.property(
        "Tag", [](Node& s, Args&) { return s.tag; }, [](Node& s, Args&, const Variant& v) { s.tag = v; });
    m.byDefault("Text");
    return m;
  }();
  return table;
}

const Members<Nodes>& Nodes::members() {
  static const Members<Nodes> table = [] {
    Members<Nodes> m;
    m.method("Add", {"Relative", "Relationship", "Key", "Text", "Image", "SelectedImage"}, [](Nodes& s, Args& a) {
      return Variant(ObjRef(s.tree().add(a.value(0, Variant::missing()), a.value(1, Variant::missing()),
                                         keyArgument(a, 2), a.has(3) ? toBStr(a[3]) : BStr())));
    });
    m.property("Count", [](Nodes& s, Args&) { return Variant(s.tree().nodes.count()); });
    m.property("Item", [](Nodes& s, Args& a) { return Variant(ObjRef(&s.tree().nodes[a[0]])); }, {}, {"Index"});
    m.method("Remove", {"Index"}, [](Nodes& s, Args& a) {
      s.tree().remove(a[0]);
      return Variant();
    });
    m.method("Clear", {}, [](Nodes& s, Args&) {
      s.tree().clear();
      return Variant();
    });
    m.byDefault("Item");
    return m;
  }();
  return table;
}

const Members<TreeView>& TreeView::members() {
  static const Members<TreeView> table = [] {
    Members<TreeView> m;
    m.property("Nodes", [](TreeView& s, Args&) { return Variant(ObjRef(new Nodes(Ref<TreeView>(&s)))); });
    m.property(
        "PathSeparator", [](TreeView& s, Args&) { return Variant(s.pathSeparator); },
        [](TreeView& s, Args&, const Variant& v) { s.pathSeparator = toBStr(v); });
    m.property(
        "SelectedItem", [](TreeView& s, Args&) { return nodeOrNothing(s.selectedNode); },
        [](TreeView& s, Args&, const Variant& v) {
          objectOf(v);
          s.nodes[v].setSelected(true);
        });
    return m;
  }();
  return table;
}

}  // namespace

void registerTreeView() {
  registerClass("MSComctlLib.TreeCtrl", [] { return ObjRef(new TreeView()); });
}

}  // namespace tlx::platform::forms
