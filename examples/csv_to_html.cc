// Reads a delimited text file into an array and writes it as an HTML table, through the typed
// facade of the control:
//
//   csv_to_html input.csv output.html
#include <iostream>
#include <string>

#include <talvex/bstr.h>
#include <talvex/control.h>

namespace {

// The control's form: this program shows its message boxes on standard error.
class ConsoleSite : public tlx::HostSite {
 public:
  void messageBox(const tlx::BStr& text) override { std::cerr << tlx::u8(text.view()) << '\n'; }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: csv_to_html INPUT.csv OUTPUT.html\n";
    return 2;
  }
  ConsoleSite site;
  tlx::Control control(site);
  try {
    tlx::Variant rows = tlx::Variant::unallocatedArray();  // the method fills a dynamic array
    if (control.TextFileToArray(tlx::u16(argv[1]), rows) != 1) {
      std::cerr << "could not read " << argv[1] << '\n';
      return 1;
    }
    const tlx::SafeArray* table = rows.array();
    std::cout << "rows " << table->ubound(1) - table->lbound(1) + 1 << ", columns "
              << table->ubound(2) - table->lbound(2) + 1 << '\n';
    if (control.TwoDArrayToHTMLFile(rows, tlx::u16(argv[2])) != 1) {
      std::cerr << "could not write " << argv[2] << '\n';
      return 1;
    }
  } catch (const tlx::ComError& e) {
    std::cerr << "error " << e.number() << ": " << e.description() << '\n';
    return 1;
  }
  return 0;
}
