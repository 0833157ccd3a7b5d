// The extraction template of the block attribute methods, kept between calls: which block
// references to visit, which of their properties make the columns, which attribute tags follow.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tlx {

// The property columns, in the order every record lists them.
enum class Column {
  FULL_FILE_NAME, FILE_NAME, FILE_TIMESTAMP, FILE_SIZE, BLOCK_NAME, BLOCK_LAYER, BLOCK_SPACE,
  BLOCK_OWNERID, BLOCK_OBJECTID, BLOCK_OBJECTNAME, BLOCK_HANDLE, BLOCK_COLOR, BLOCK_LINETYPE,
  BLOCK_ROTATION, BLOCK_VISIBLE, BLOCK_XSCALE, BLOCK_YSCALE, BLOCK_ZSCALE, BLOCK_LINETYPESCALE,
  BLOCK_LINEWEIGHT, BLOCK_HASEXTENTIONDICTIONARY, BLOCK_X, BLOCK_Y, BLOCK_Z,
};
inline constexpr size_t kColumnCount = 24;
// The output keyword of each column, which is also its header text.
extern const std::array<std::u16string_view, kColumnCount> kOutputKeywords;

struct ExtractionTemplate {
  std::u16string BlockFilter;  // "*", or " NAME1 NAME2 " (upper case)
  std::u16string LayerFilter;  // same form
  std::u16string SpaceFilter;  // "MODEL", "PAPER" and "*" select a space; anything else none
  std::array<bool, kColumnCount> columns{};
  bool Suppress = false;
  std::vector<std::u16string> TagList;  // upper case; "*" first: every attribute of each block

  bool column(Column c) const { return columns[static_cast<size_t>(c)]; }
  bool allTags() const { return !TagList.empty() && TagList.front() == u"*"; }
};

// Reads a template's text into `t`: 1, or -2 (no "*INPUT"), -3 (no "*OUTPUT"), -4 (no
// "*ATTRIBUTE_TAGS"), -5 (no tag). What a step changed before a failure stays changed. Lines
// end at CR LF, CR or LF. Any text is accepted: this is the entry point for untrusted input.
int16_t readExtractionTemplate(ExtractionTemplate& t, std::u16string_view text);

// PrepTemplate's file step: the bytes of a template file in the configured code page.
int16_t readExtractionTemplateBytes(ExtractionTemplate& t, std::string_view bytes);

}  // namespace tlx
