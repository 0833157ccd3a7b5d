// The drawing that new documents start from: the smallest R2000 file that independent readers
// accept without repair (tables with their standard entries, model and paper space blocks, the
// root dictionary with groups, layouts and plot styles).
#include <string_view>

#include "platform/cad/dxf_document.h"

namespace tlx::platform::cad {

namespace {

// One pair per "code value" piece; pieces are separated by '|' or line ends, and a piece without
// a blank has an empty value.
const char* const kTemplate = R"(
0 SECTION|2 HEADER|9 $ACADVER|1 AC1015|9 $ACADMAINTVER|70 6|9 $DWGCODEPAGE|3 ANSI_1252|
9 $INSBASE|10 0.0|20 0.0|30 0.0|9 $EXTMIN|10 0.0|20 0.0|30 0.0|9 $EXTMAX|10 0.0|20 0.0|30 0.0|
9 $LIMMIN|10 0.0|20 0.0|9 $LIMMAX|10 420.0|20 297.0|9 $CLAYER|8 0|9 $HANDSEED|5 40|
9 $MEASUREMENT|70 1
0 ENDSEC
0 SECTION|2 CLASSES
0 ENDSEC
0 SECTION|2 TABLES
0 TABLE|2 VPORT|5 1|330 0|100 AcDbSymbolTable|70 1
0 VPORT|5 2|330 1|100 AcDbSymbolTableRecord|100 AcDbViewportTableRecord|2 *Active|70 0|10 0.0|
20 0.0|11 1.0|21 1.0|12 210.0|22 148.5|13 0.0|23 0.0|14 10.0|24 10.0|15 10.0|25 10.0|16 0.0|
26 0.0|36 1.0|17 0.0|27 0.0|37 0.0|40 297.0|41 1.5|42 50.0|43 0.0|44 0.0|50 0.0|51 0.0|71 0|
72 100|73 1|74 3|75 0|76 0|77 0|78 0
0 ENDTAB
0 TABLE|2 LTYPE|5 3|330 0|100 AcDbSymbolTable|70 3
0 LTYPE|5 4|330 3|100 AcDbSymbolTableRecord|100 AcDbLinetypeTableRecord|2 ByBlock|70 0|3|72 65|
73 0|40 0.0
0 LTYPE|5 5|330 3|100 AcDbSymbolTableRecord|100 AcDbLinetypeTableRecord|2 ByLayer|70 0|3|72 65|
73 0|40 0.0
0 LTYPE|5 6|330 3|100 AcDbSymbolTableRecord|100 AcDbLinetypeTableRecord|2 Continuous|70 0|
3 Solid line|72 65|73 0|40 0.0
0 ENDTAB
0 TABLE|2 LAYER|5 7|330 0|100 AcDbSymbolTable|70 1
0 LAYER|5 8|330 7|100 AcDbSymbolTableRecord|100 AcDbLayerTableRecord|2 0|70 0|62 7|6 Continuous|
370 -3|390 F
0 ENDTAB
0 TABLE|2 STYLE|5 9|330 0|100 AcDbSymbolTable|70 1
0 STYLE|5 A|330 9|100 AcDbSymbolTableRecord|100 AcDbTextStyleTableRecord|2 Standard|70 0|40 0.0|
41 1.0|50 0.0|71 0|42 2.5|3 txt|4
0 ENDTAB
0 TABLE|2 VIEW|5 B|330 0|100 AcDbSymbolTable|70 0
0 ENDTAB
0 TABLE|2 UCS|5 C|330 0|100 AcDbSymbolTable|70 0
0 ENDTAB
0 TABLE|2 APPID|5 D|330 0|100 AcDbSymbolTable|70 1
0 APPID|5 E|330 D|100 AcDbSymbolTableRecord|100 AcDbRegAppTableRecord|2 ACAD|70 0
0 ENDTAB
0 TABLE|2 DIMSTYLE|5 10|330 0|100 AcDbSymbolTable|70 1|100 AcDbDimStyleTable
0 DIMSTYLE|105 11|330 10|100 AcDbSymbolTableRecord|100 AcDbDimStyleTableRecord|2 Standard|70 0
0 ENDTAB
0 TABLE|2 BLOCK_RECORD|5 12|330 0|100 AcDbSymbolTable|70 2
0 BLOCK_RECORD|5 13|330 12|100 AcDbSymbolTableRecord|100 AcDbBlockTableRecord|2 *Model_Space|
340 1E
0 BLOCK_RECORD|5 14|330 12|100 AcDbSymbolTableRecord|100 AcDbBlockTableRecord|2 *Paper_Space|
340 22
0 ENDTAB
0 ENDSEC
0 SECTION|2 BLOCKS
0 BLOCK|5 15|330 13|100 AcDbEntity|8 0|100 AcDbBlockBegin|2 *Model_Space|70 0|10 0.0|20 0.0|
30 0.0|3 *Model_Space|1
0 ENDBLK|5 16|330 13|100 AcDbEntity|8 0|100 AcDbBlockEnd
0 BLOCK|5 17|330 14|100 AcDbEntity|67 1|8 0|100 AcDbBlockBegin|2 *Paper_Space|70 0|10 0.0|
20 0.0|30 0.0|3 *Paper_Space|1
0 ENDBLK|5 18|330 14|100 AcDbEntity|67 1|8 0|100 AcDbBlockEnd
0 ENDSEC
0 SECTION|2 ENTITIES
0 ENDSEC
0 SECTION|2 OBJECTS
0 DICTIONARY|5 19|330 0|100 AcDbDictionary|281 1|3 ACAD_GROUP|350 1A|3 ACAD_LAYOUT|350 1B|
3 ACAD_PLOTSTYLENAME|350 1C
0 DICTIONARY|5 1A|330 19|100 AcDbDictionary|281 1
0 DICTIONARY|5 1B|330 19|100 AcDbDictionary|281 1|3 Layout1|350 22|3 Model|350 1E
0 ACDBDICTIONARYWDFLT|5 1C|330 19|100 AcDbDictionary|281 1|3 Normal|350 1D|
100 AcDbDictionaryWithDefault|340 1D
0 ACDBPLACEHOLDER|5 1D|330 1C
0 LAYOUT|5 1E|330 1B|100 AcDbPlotSettings|1|2 none_device|4|6|40 0.0|41 0.0|42 0.0|43 0.0|
44 0.0|45 0.0|46 0.0|47 0.0|48 0.0|49 0.0|140 0.0|141 0.0|142 1.0|143 1.0|70 1712|72 0|73 0|
74 5|7|75 16|147 1.0|148 0.0|149 0.0|100 AcDbLayout|1 Model|70 1|71 0|10 0.0|20 0.0|11 420.0|
21 297.0|12 0.0|22 0.0|32 0.0|14 0.0|24 0.0|34 0.0|15 0.0|25 0.0|35 0.0|146 0.0|13 0.0|23 0.0|
33 0.0|16 1.0|26 0.0|36 0.0|17 0.0|27 1.0|37 0.0|76 0|330 13
0 LAYOUT|5 22|330 1B|100 AcDbPlotSettings|1|2 none_device|4|6|40 0.0|41 0.0|42 0.0|43 0.0|
44 0.0|45 0.0|46 0.0|47 0.0|48 0.0|49 0.0|140 0.0|141 0.0|142 1.0|143 1.0|70 688|72 0|73 0|74 5|
7|75 16|147 1.0|148 0.0|149 0.0|100 AcDbLayout|1 Layout1|70 1|71 1|10 0.0|20 0.0|11 420.0|
21 297.0|12 0.0|22 0.0|32 0.0|14 0.0|24 0.0|34 0.0|15 0.0|25 0.0|35 0.0|146 0.0|13 0.0|23 0.0|
33 0.0|16 1.0|26 0.0|36 0.0|17 0.0|27 1.0|37 0.0|76 0|330 14
0 ENDSEC
0 EOF
)";

}  // namespace

std::unique_ptr<Document> Document::create() {
  std::string text;
  TagWriter w(text, false);
  std::string_view src(kTemplate);
  size_t pos = 0;
  while (pos < src.size()) {
    size_t end = src.find_first_of("|\n", pos);
    if (end == std::string_view::npos) end = src.size();
    std::string_view piece = src.substr(pos, end - pos);
    pos = end + 1;
    if (piece.empty()) continue;
    size_t blank = piece.find(' ');
    std::string_view code = piece.substr(0, blank);
    std::string_view value = blank == std::string_view::npos ? std::string_view() : piece.substr(blank + 1);
    w.write(static_cast<int>(toInt(code)), value);
  }
  return parse(std::move(text));
}

}  // namespace tlx::platform::cad
