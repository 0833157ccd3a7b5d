// COM error numbers and the exception that carries them through the runtime.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace tlx {

using HRESULT = int32_t;

// Standard numbers, as signed 32-bit values (the way Basic's Err.Number shows them).
namespace hr {
constexpr HRESULT S_OK = 0;
constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001);
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000E);
constexpr HRESULT DISP_E_UNKNOWNINTERFACE = static_cast<HRESULT>(0x80020001);
constexpr HRESULT DISP_E_MEMBERNOTFOUND = static_cast<HRESULT>(0x80020003);
constexpr HRESULT DISP_E_PARAMNOTFOUND = static_cast<HRESULT>(0x80020004);
constexpr HRESULT DISP_E_TYPEMISMATCH = static_cast<HRESULT>(0x80020005);
constexpr HRESULT DISP_E_UNKNOWNNAME = static_cast<HRESULT>(0x80020006);
constexpr HRESULT DISP_E_BADPARAMCOUNT = static_cast<HRESULT>(0x8002000E);
constexpr HRESULT DISP_E_PARAMNOTOPTIONAL = static_cast<HRESULT>(0x8002000F);
constexpr HRESULT DISP_E_OVERFLOW = static_cast<HRESULT>(0x8002000A);
constexpr HRESULT DISP_E_BADINDEX = static_cast<HRESULT>(0x8002000B);
constexpr HRESULT DISP_E_DIVBYZERO = static_cast<HRESULT>(0x80020012);
constexpr HRESULT CO_E_CLASSSTRING = static_cast<HRESULT>(0x800401F3);
constexpr HRESULT MK_E_UNAVAILABLE = static_cast<HRESULT>(0x800401E3);
constexpr HRESULT RPC_E_DISCONNECTED = static_cast<HRESULT>(0x80010108);
// Basic run-time errors surface as FACILITY_CONTROL numbers (0x800A0000 + error number).
constexpr HRESULT basicError(int n) { return static_cast<HRESULT>(0x800A0000u + static_cast<uint32_t>(n)); }
constexpr HRESULT FILE_NOT_FOUND = basicError(53);
constexpr HRESULT BAD_FILE_NAME = basicError(52);
constexpr HRESULT PATH_NOT_FOUND = basicError(76);
constexpr HRESULT INVALID_PROCEDURE_CALL = basicError(5);
constexpr HRESULT OBJECT_REQUIRED = basicError(424);
constexpr HRESULT OBJECT_VARIABLE_NOT_SET = basicError(91);
// The control's raised error: the object-error base plus 1234.
constexpr HRESULT CONTROL_ERROR = static_cast<HRESULT>(0x800404D2);
}  // namespace hr

// Text of the standard numbers ("Type mismatch", "Overflow", ...); "" for unknown ones.
std::string standardDescription(HRESULT number);

// A failure of an automation call: number, description and source, as Err shows them.
// Descriptions are UTF-8 here; the runtime converts at the 16-bit boundary.
class ComError : public std::runtime_error {
 public:
  explicit ComError(HRESULT number, std::string description = {}, std::string source = {});
  HRESULT number() const { return number_; }
  const std::string& description() const { return description_; }
  const std::string& source() const { return source_; }

 private:
  HRESULT number_;
  std::string description_;
  std::string source_;
};

}  // namespace tlx
