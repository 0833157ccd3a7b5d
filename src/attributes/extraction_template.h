// The extraction template of the block attribute methods, kept between calls.
#pragma once

namespace tlx {

struct ExtractionTemplate {};

}  // namespace tlx
