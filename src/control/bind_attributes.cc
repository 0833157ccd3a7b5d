// The block attribute methods, bound in declaration order of their parameters.
#include "attributes/attribute_methods.h"
#include "control/bindings.h"
#include "control/talvex.h"

namespace tlx {

namespace {

using A = CallArgs;

}  // namespace

std::span<const Binding> attributesBindings() {
  static const std::vector<Binding> bindings = {
      {"PrepTemplate", [](TALVEX& t, A& a) { return Variant(PrepTemplate(t.extractionTemplate(), a.str(0))); }},
      {"AttributesToFile",
       [](TALVEX& t, A& a) {
         return Variant(AttributesToFile(t.acad(), t.extractionTemplate(), a.str(0), a.boolean(1), a.str(2),
                                         a.boolean(3)));
       }},
      {"AttributesToArray",
       [](TALVEX& t, A& a) {
         return Variant(AttributesToArray(t.acad(), t.extractionTemplate(), a.var(0), a.boolean(1)));
       }},
      {"AttributesToRecordset",
       [](TALVEX& t, A& a) {
         return Variant(AttributesToRecordset(t.acad(), t.extractionTemplate(), a.obj(0), a.obj(1), a.boolean(2)));
       }},
      {"AttributesToDatabaseTable",
       [](TALVEX& t, A& a) {
         return Variant(AttributesToDatabaseTable(t.acad(), t.extractionTemplate(), a.str(0), a.str(1), a.str(2),
                                                  a.str(3), a.boolean(4)));
       }},
      {"AttributesToClipboard",
       [](TALVEX& t, A& a) {
         return Variant(AttributesToClipboard(t.acad(), t.extractionTemplate(), a.boolean(0), a.str(1),
                                              a.boolean(2)));
       }},
      {"ReplaceAttributes",
       [](TALVEX& t, A& a) {
         return Variant(ReplaceAttributes(t.acad(), t.extractionTemplate(), a.str(0), a.str(1), a.boolean(2),
                                          a.boolean(3)));
       }},
  };
  return bindings;
}

}  // namespace tlx
