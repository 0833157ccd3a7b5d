#include "talvex/com_error.h"

namespace tlx {

// The texts Basic shows in Err.Description for these numbers.
std::string standardDescription(HRESULT number) {
  switch (number) {
    case hr::E_NOTIMPL: return "Not implemented";
    case hr::E_FAIL: return "Unspecified error";
    case hr::E_INVALIDARG: return "The parameter is incorrect.";
    case hr::E_OUTOFMEMORY: return "Out of memory";
    case hr::DISP_E_MEMBERNOTFOUND: return "Member not found.";
    case hr::DISP_E_PARAMNOTFOUND: return "Parameter not found.";
    case hr::DISP_E_TYPEMISMATCH: return "Type mismatch";
    case hr::DISP_E_UNKNOWNNAME: return "Unknown name.";
    case hr::DISP_E_BADPARAMCOUNT: return "Invalid number of parameters.";
    case hr::DISP_E_PARAMNOTOPTIONAL: return "Parameter not optional.";
    case hr::DISP_E_OVERFLOW: return "Overflow";
    case hr::DISP_E_BADINDEX: return "Subscript out of range";
    case hr::DISP_E_DIVBYZERO: return "Division by zero";
    case hr::CO_E_CLASSSTRING: return "Invalid class string";
    case hr::MK_E_UNAVAILABLE: return "Operation unavailable";
    case hr::RPC_E_DISCONNECTED: return "The object invoked has disconnected from its clients.";
    case hr::basicError(5): return "Invalid procedure call or argument";
    case hr::basicError(6): return "Overflow";
    case hr::basicError(7): return "Out of memory";
    case hr::basicError(9): return "Subscript out of range";
    case hr::basicError(11): return "Division by zero";
    case hr::basicError(13): return "Type mismatch";
    case hr::basicError(52): return "Bad file name or number";
    case hr::basicError(53): return "File not found";
    case hr::basicError(55): return "File already open";
    case hr::basicError(57): return "Device I/O error";
    case hr::basicError(58): return "File already exists";
    case hr::basicError(61): return "Disk full";
    case hr::basicError(62): return "Input past end of file";
    case hr::basicError(70): return "Permission denied";
    case hr::basicError(75): return "Path/File access error";
    case hr::basicError(76): return "Path not found";
    case hr::basicError(91): return "Object variable or With block variable not set";
    case hr::basicError(424): return "Object required";
    case hr::basicError(438): return "Object doesn't support this property or method";
    case hr::basicError(450): return "Wrong number of arguments or invalid property assignment";
    case hr::basicError(457): return "This key is already associated with an element of this collection";
    case hr::basicError(32811): return "Element not found";
    default: return {};
  }
}

ComError::ComError(HRESULT number, std::string description, std::string source)
    : std::runtime_error(description.empty() ? standardDescription(number) : description),
      number_(number),
      description_(description.empty() ? standardDescription(number) : std::move(description)),
      source_(std::move(source)) {}

}  // namespace tlx
