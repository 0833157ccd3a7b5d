// The attribute walk that every attribute method shares: the block references of the held
// document that the extraction template selects, and each one harvested into a record that a
// sink receives. One walk, several sinks: a text file, an array, the clipboard, a recordset.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

#include "attributes/extraction_template.h"
#include "automation/frame.h"
#include "cad/acad_context.h"

namespace tlx::attributes {

// How the walk treats a failing step: skipped, the error left pending (continue-on-error), or
// ending the walk by passing the error on (for sinks that must roll back).
class WalkSteps {
 public:
  enum Mode { SkipFailures, StopAtFirstFailure };
  explicit WalkSteps(Mode mode = SkipFailures) : mode_(mode) {}
  template <class F>
  bool run(F&& f) {
    if (mode_ == StopAtFirstFailure) {
      f();
      return true;
    }
    return frame_.step(std::forward<F>(f));
  }
  const ErrorFrame& frame() const { return frame_; }

 private:
  Mode mode_;
  ErrorFrame frame_;
};

// Receives the records of one walk, one column at a time, in the template's column order
// (property columns, then attribute columns).
class RecordSink {
 public:
  virtual ~RecordSink() = default;
  virtual void beginRecord() {}
  // `value` is null when reading it failed and the walk skipped it; the column still counts.
  // Values: FULL_FILE_NAME, FILE_NAME, BLOCK_SPACE, BLOCK_X/Y/Z and attribute values are
  // strings, FILE_TIMESTAMP a date, FILE_SIZE a Long, other properties as the drawing gives them.
  virtual void field(std::u16string_view header, const Variant* value) = 0;
  // `found`: at least one attribute value was taken from the block.
  virtual void endRecord(bool found) = 0;
};

using BlockVisitor = std::function<void(const ObjRef& block, bool paperSpace)>;

// Every block reference the template selects: model space first when SpaceFilter is "MODEL" or
// "*", then paper space when it is "PAPER" or "*", each in enumeration order. Selected: entity
// type 7, the block-name and layer filters, and HasAttributes.
void forEachSelectedBlock(const AcadContext& ctx, const ExtractionTemplate& t, WalkSteps& steps,
                          const BlockVisitor& visit);

// The attribute harvest: each selected block becomes one record in `sink`. Returns the number
// of records whose found flag was set (at most 32767, the largest 16-bit count).
int16_t harvestAttributes(const AcadContext& ctx, const ExtractionTemplate& t, WalkSteps& steps,
                          RecordSink& sink);

// The attribute references of a block, in array order (empty when it has none).
std::vector<ObjRef> attributesOf(const ObjRef& block);

}  // namespace tlx::attributes
