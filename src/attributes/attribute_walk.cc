#include "attributes/attribute_walk.h"

#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <ctime>
#include <limits>
#include <optional>

#include "talvex/convert.h"
#include "automation/strings.h"
#include "automation/text_file.h"
#include "cad/acad_steps.h"

namespace tlx::attributes {

namespace {

constexpr int32_t kBlockReference = 7;

// BLOCK_FILTER and LAYER_FILTER: "*", or the name between blanks in the list.
bool listed(const std::u16string& filter, const BStr& name) {
  if (filter == u"*") return true;
  std::u16string needle = u" " + std::u16string(ucase(name)) + u" ";
  return filter.find(needle) != std::u16string::npos;
}

// A test whose read fails does not pass.
template <class Test>
bool passes(WalkSteps& steps, Test&& test) {
  bool pass = false;
  steps.run([&] { pass = test(); });
  return pass;
}

bool selected(const ExtractionTemplate& t, const ObjRef& entity, WalkSteps& steps) {
  return passes(steps, [&] { return toI4(getProperty(entity, "EntityType")) == kBlockReference; }) &&
         passes(steps, [&] { return listed(t.BlockFilter, toBStr(getProperty(entity, "Name"))); }) &&
         passes(steps, [&] { return listed(t.LayerFilter, toBStr(getProperty(entity, "Layer"))); }) &&
         passes(steps, [&] { return toBool(getProperty(entity, "HasAttributes")); });
}

void walkSpace(const AcadContext& ctx, const ExtractionTemplate& t, WalkSteps& steps, bool paper,
               const BlockVisitor& visit) {
  std::vector<Variant> entities;
  steps.run([&] { entities = cad::objectProperty(ctx.objAcadDoc, paper ? "PaperSpace" : "ModelSpace")->enumerate(); });
  for (const Variant& e : entities) {
    ObjRef entity;
    if (!steps.run([&] { entity = objectOf(e); })) continue;
    if (selected(t, entity, steps)) visit(entity, paper);
  }
}

// "#########0.0000000000": every integer digit, ten decimals, rounded.
BStr coordinateText(double d) {
  int n = std::snprintf(nullptr, 0, "%.10f", d);
  std::string s(static_cast<size_t>(n) + 1, '\0');
  std::snprintf(s.data(), s.size(), "%.10f", d);
  s.resize(static_cast<size_t>(n));
  return u16(s);
}

double coordinate(const Variant& point, int32_t i) {
  const SafeArray* a = point.array();
  if (!a) throw ComError(hr::DISP_E_TYPEMISMATCH, "Type mismatch");
  return toDouble(a->at(a->lbound(1) + i));
}

struct stat fileStatus(const Variant& fullName) {
  struct stat st {};
  if (::stat(toPath(toBStr(fullName)).c_str(), &st) != 0) throw ComError(hr::FILE_NOT_FOUND, "File not found");
  return st;
}

Variant fileTimestamp(const Variant& fullName) {
  struct stat st = fileStatus(fullName);
  std::tm local {};
  localtime_r(&st.st_mtime, &local);
  return Variant(Date{makeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                               local.tm_sec)});
}

Variant fileSize(const Variant& fullName) {
  struct stat st = fileStatus(fullName);
  if (st.st_size > std::numeric_limits<int32_t>::max()) throw ComError(hr::DISP_E_OVERFLOW, "Overflow");
  return Variant(static_cast<int32_t>(st.st_size));
}

// The drawing's member behind each block property column.
constexpr const char* kMembers[kColumnCount] = {
    nullptr, nullptr, nullptr, nullptr, "Name", "Layer", nullptr, "OwnerID", "ObjectID", "ObjectName", "handle",
    "Color", "Linetype", "Rotation", "Visible", "XScaleFactor", "YScaleFactor", "ZScaleFactor", "LinetypeScale",
    "Lineweight", "HasExtensionDictionary", nullptr, nullptr, nullptr,
};

Variant columnValue(const AcadContext& ctx, Column c, const ObjRef& block, bool paper, const Variant& insertion) {
  switch (c) {
    case Column::FULL_FILE_NAME: return Variant(toBStr(getProperty(ctx.objAcadDoc, "FullName")));
    case Column::FILE_NAME: return Variant(toBStr(getProperty(ctx.objAcadDoc, "Name")));
    case Column::FILE_TIMESTAMP: return fileTimestamp(getProperty(ctx.objAcadDoc, "FullName"));
    case Column::FILE_SIZE: return fileSize(getProperty(ctx.objAcadDoc, "FullName"));
    case Column::BLOCK_SPACE: return Variant(paper ? u"PAPER" : u"MODEL");
    case Column::BLOCK_X: return Variant(coordinateText(coordinate(insertion, 0)));
    case Column::BLOCK_Y: return Variant(coordinateText(coordinate(insertion, 1)));
    case Column::BLOCK_Z: return Variant(coordinateText(coordinate(insertion, 2)));
    default: return getProperty(block, kMembers[static_cast<size_t>(c)]);
  }
}

constexpr std::u16string_view kNotAvailable = u"N/A";

// One selected block reference as a record.
class Harvest {
 public:
  Harvest(const AcadContext& ctx, const ExtractionTemplate& t, WalkSteps& steps, RecordSink& sink)
      : ctx_(ctx), t_(t), steps_(steps), sink_(sink) {}

  bool record(const ObjRef& block, bool paper) {
    std::vector<ObjRef> attributes;
    steps_.run([&] { attributes = attributesOf(block); });
    steps_.run([&] { sink_.beginRecord(); });
    Variant insertion;
    steps_.run([&] { insertion = getProperty(block, "InsertionPoint"); });
    for (size_t i = 0; i < kColumnCount; ++i) {
      if (!t_.columns[i]) continue;
      Variant value;
      bool read = steps_.run([&] { value = columnValue(ctx_, static_cast<Column>(i), block, paper, insertion); });
      steps_.run([&] { sink_.field(kOutputKeywords[i], read ? &value : nullptr); });
    }
    bool found = t_.allTags() ? everyAttribute(attributes) : listedTags(attributes);
    steps_.run([&] { sink_.endRecord(found); });
    return found;
  }

 private:
  bool everyAttribute(const std::vector<ObjRef>& attributes) {
    bool found = false;
    for (const ObjRef& a : attributes) {
      Variant tag, value;
      steps_.run([&] { tag = Variant(toBStr(getProperty(a, "TagString"))); });
      bool read = steps_.run([&] { value = Variant(toBStr(getProperty(a, "TextString"))); });
      steps_.run([&] { sink_.field(tag.isString() ? std::u16string_view(tag.str()) : u"", read ? &value : nullptr); });
      found = true;
    }
    return found;
  }

  // Each tag's column holds the first attribute with that tag, or "N/A".
  bool listedTags(const std::vector<ObjRef>& attributes) {
    std::vector<std::optional<BStr>> tags(attributes.size());  // read once per block
    for (size_t k = 0; k < attributes.size(); ++k)
      steps_.run([&] { tags[k] = toBStr(getProperty(attributes[k], "TagString")); });
    bool found = false;
    for (const std::u16string& tag : t_.TagList) {
      size_t k = 0;
      while (k < attributes.size() && !(tags[k] && equalsNoCase(*tags[k], tag))) ++k;
      Variant value(kNotAvailable);
      bool read = true;
      if (k < attributes.size()) {
        read = steps_.run([&] { value = Variant(toBStr(getProperty(attributes[k], "TextString"))); });
        found = true;
      }
      steps_.run([&] { sink_.field(tag, read ? &value : nullptr); });
    }
    return found;
  }

  const AcadContext& ctx_;
  const ExtractionTemplate& t_;
  WalkSteps& steps_;
  RecordSink& sink_;
};

}  // namespace

std::vector<ObjRef> attributesOf(const ObjRef& block) {
  Variant list = callMethod(block, "GetAttributes");
  const SafeArray* a = list.array();
  if (!a) throw ComError(hr::DISP_E_TYPEMISMATCH, "Type mismatch");
  std::vector<ObjRef> out;
  if (a->dims() != 1) return out;
  for (int32_t i = a->lbound(1); i <= a->ubound(1); ++i) out.push_back(objectOf(a->at(i)));
  return out;
}

void forEachSelectedBlock(const AcadContext& ctx, const ExtractionTemplate& t, WalkSteps& steps,
                          const BlockVisitor& visit) {
  if (t.SpaceFilter == u"MODEL" || t.SpaceFilter == u"*") walkSpace(ctx, t, steps, false, visit);
  if (t.SpaceFilter == u"PAPER" || t.SpaceFilter == u"*") walkSpace(ctx, t, steps, true, visit);
}

int16_t harvestAttributes(const AcadContext& ctx, const ExtractionTemplate& t, WalkSteps& steps,
                          RecordSink& sink) {
  Harvest harvest(ctx, t, steps, sink);
  int16_t count = 0;
  forEachSelectedBlock(ctx, t, steps, [&](const ObjRef& block, bool paper) {
    if (harvest.record(block, paper) && count < std::numeric_limits<int16_t>::max()) ++count;
  });
  return count;
}

}  // namespace tlx::attributes
