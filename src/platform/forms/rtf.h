// Rich text of a plain text and the plain text of rich text, as a rich text box keeps them.
#pragma once

#include <string>
#include <string_view>

namespace tlx::platform::forms {

// One paragraph per line (CR LF, LF or a lone CR ends one), the document's last paragraph mark
// after the text.
std::u16string rtfOfText(std::u16string_view text);
// The text of a document: paragraphs end in CR LF (the last one's mark is not part of the
// text), destinations such as the font table are skipped. Text that is not rich text is taken
// as it is.
std::u16string textOfRtf(std::u16string_view rtf);

}  // namespace tlx::platform::forms
