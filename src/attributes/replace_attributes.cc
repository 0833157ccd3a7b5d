// Replacing attribute values in the block references the extraction template selects.
#include <limits>

#include "attributes/attribute_methods.h"
#include "attributes/attribute_walk.h"
#include "talvex/convert.h"
#include "automation/strings.h"
#include "cad/acad_steps.h"

namespace tlx {

using namespace attributes;

namespace {

// Case-insensitive equality, or containment with blnPartialMatch (the empty text is contained
// in every text).
bool matches(const BStr& searched, const std::u16string& find, bool blnPartialMatch) {
  if (!blnPartialMatch) return equalsNoCase(searched, find);
  return std::u16string(lcase(searched)).find(find) != std::u16string::npos;
}

class Replacement {
 public:
  Replacement(const BStr& strTextToFind, const BStr& strTextToReplace, bool blnFindTag, bool blnPartialMatch,
              WalkSteps& steps)
      : find_(lcase(strTextToFind)), replace_(strTextToReplace), findTag_(blnFindTag), partial_(blnPartialMatch),
        steps_(steps) {}

  // Tests one attribute and replaces its whole value when it matches. The count follows the
  // attempt, whether or not the drawing took the new value.
  void test(const ObjRef& attribute) {
    bool match = false;
    steps_.run([&] {
      BStr searched = toBStr(getProperty(attribute, findTag_ ? "TagString" : "TextString"));
      match = matches(searched, find_, partial_);
    });
    if (!match) return;
    steps_.run([&] { putProperty(attribute, "TextString", replace_); });
    if (count_ < std::numeric_limits<int16_t>::max()) ++count_;
  }
  int16_t count() const { return count_; }

 private:
  std::u16string find_;
  BStr replace_;
  bool findTag_, partial_;
  WalkSteps& steps_;
  int16_t count_ = 0;
};

// The first attribute whose tag equals `tag`, or null.
ObjRef withTag(const std::vector<ObjRef>& attributes, const std::u16string& tag, WalkSteps& steps) {
  for (const ObjRef& a : attributes) {
    bool same = false;
    steps.run([&] { same = equalsNoCase(toBStr(getProperty(a, "TagString")), tag); });
    if (same) return a;
  }
  return {};
}

}  // namespace

int16_t ReplaceAttributes(const AcadContext& ctx, const ExtractionTemplate& ExtractionTemplate,
                          const BStr& strTextToFind, const BStr& strTextToReplace, bool blnFindTag,
                          bool blnPartialMatch) {
  ErrorFrame f;
  if (int16_t code = cad::guardCode(ctx, f)) return code;
  WalkSteps steps;
  Replacement replacement(strTextToFind, strTextToReplace, blnFindTag, blnPartialMatch, steps);
  forEachSelectedBlock(ctx, ExtractionTemplate, steps, [&](const ObjRef& block, bool) {
    std::vector<ObjRef> attributes;
    steps.run([&] { attributes = attributesOf(block); });
    if (ExtractionTemplate.allTags()) {
      for (const ObjRef& a : attributes) replacement.test(a);
      return;
    }
    for (const std::u16string& tag : ExtractionTemplate.TagList)
      if (ObjRef a = withTag(attributes, tag, steps)) replacement.test(a);
  });
  return replacement.count();
}

}  // namespace tlx
