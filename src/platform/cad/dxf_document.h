// A DXF drawing: header, classes, tables, blocks, entities and objects, read from and written to
// ASCII DXF (R12 to R2018). What the drawing application does not model stays as the tags read.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/cad/dxf_entity.h"

namespace tlx::platform::cad {

struct Table {
  std::string name;  // upper case: VPORT, LAYER, VIEW, BLOCK_RECORD, ...
  EntityPtr head;    // 0 TABLE record
  std::vector<EntityPtr> entries;
  EntityPtr end;     // 0 ENDTAB record
};

struct BlockDef {
  EntityPtr begin;  // 0 BLOCK record
  std::vector<EntityPtr> entities;
  EntityPtr end;    // 0 ENDBLK record
  std::string_view name() const { return begin ? trim(begin->str(group::kName)) : std::string_view(); }
};

// The part of the drawing a viewport shows: centre, height and width / height.
struct ViewState {
  double cx = 0, cy = 0, height = 1, aspect = 1;
};

// Values of a new record after its type: (group code, value) in file order.
using Body = std::vector<std::pair<int, std::string>>;

class Document {
 public:
  Document() = default;
  Document(const Document&) = delete;
  Document& operator=(const Document&) = delete;

  // Reads a file; DxfError on malformed content, std::runtime_error when it cannot be read.
  static std::unique_ptr<Document> load(const std::string& path);
  static std::unique_ptr<Document> parse(std::string text);
  // A new, empty R2000 drawing.
  static std::unique_ptr<Document> create();

  // Writes the drawing: to a temporary file beside `path`, renamed over it when complete.
  void save(const std::string& path);
  std::string text();

  Pool& pool() { return pool_; }
  const std::string& version() const;  // $ACADVER ("AC1009" when the header names none)
  bool modern() const;          // R13 and later: subclass markers, owners, objects
  uint64_t newHandle() { return nextHandle_++; }
  uint64_t handleSeed() const { return nextHandle_; }

  // Header variables ("$EXTMIN").
  std::string_view headerValue(std::string_view name, int code) const;
  P3 headerPoint(std::string_view name, P3 fallback) const;
  void setHeaderValue(std::string_view name, int code, std::string_view value);
  void setHeaderPoint(std::string_view name, const P3& p, bool withZ);

  // Tables: lookups by name compare without regard to case.
  Table* table(std::string_view name);
  Table& ensureTable(std::string_view name);
  Entity* tableEntry(std::string_view table, std::string_view name);
  Entity& addTableEntry(std::string_view table, const std::string& type, const Body& body);
  // Removes every entry of that name; the number removed.
  size_t removeTableEntries(std::string_view table, std::string_view name);

  std::vector<BlockDef>& blocks() { return blocks_; }
  const BlockDef* block(std::string_view name) const;
  Box blockExtents(std::string_view name, int depth) const;
  P3 blockBase(std::string_view name) const;

  // ENTITIES: the model space and the active layout's paper space (67 1).
  std::vector<EntityPtr>& entities() { return entities_; }
  std::vector<EntityPtr>& objects() { return objects_; }
  std::vector<EntityPtr>& classes() { return classes_; }
  // Adds an entity of `type` to the model or paper space; `body` follows the common part.
  Entity& addEntity(const std::string& type, bool paper, const Body& body);
  // Owner handle of new entities in the model or paper space (0 in drawings without owners).
  uint64_t spaceOwner(bool paper);

  // The active viewport (VPORT "*Active", made when the drawing has none) and its view.
  Entity& activeViewport();
  ViewState view();
  void setView(const ViewState& v);
  Box modelExtents() const;
  Box limits() const;
  // Writes the model extents to $EXTMIN / $EXTMAX.
  void updateExtents();

 private:
  friend class Loader;
  Entity& newRecord(const std::string& type, const Body& body);
  void writeEntities(TagWriter& w, const std::vector<EntityPtr>& list) const;
  void write(TagWriter& w);

  Pool pool_;
  bool crlf_ = false;
  bool hasHeader_ = false, hasClasses_ = false, hasTables_ = false, hasBlocks_ = false,
       hasEntities_ = false, hasObjects_ = false;
  std::vector<Tag> comments_;  // 999 tags outside the sections, written first
  std::vector<Tag> header_;
  std::vector<EntityPtr> classes_;
  std::vector<Table> tables_;
  std::vector<BlockDef> blocks_;
  std::vector<EntityPtr> entities_;
  std::vector<EntityPtr> objects_;
  struct RawSection {
    std::string name;
    std::vector<Tag> tags;
  };
  std::vector<RawSection> others_;
  uint64_t nextHandle_ = 1;
  bool usesHandles_ = true;  // R12 drawings may do without
  EntityPtr pending_;  // the record newRecord() made, until its owner takes it
  mutable std::string version_;  // cached: asked for every text value converted
  mutable std::unordered_map<std::string, size_t> blockIndex_;  // the first block of each name
  mutable size_t blocksIndexed_ = 0;                             // blocks_ seen by blockIndex_
  mutable std::unordered_map<std::string, Box> blockBoxes_;
};

}  // namespace tlx::platform::cad
