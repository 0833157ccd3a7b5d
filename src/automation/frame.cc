#include "automation/frame.h"

namespace tlx {

ComError currentError() {
  try {
    throw;
  } catch (const ComError& e) {
    return e;
  } catch (const std::bad_alloc&) {
    return ComError(hr::basicError(7));
  } catch (const std::exception& e) {
    return ComError(hr::E_FAIL, e.what());
  } catch (...) {
    return ComError(hr::E_FAIL);
  }
}

void Raise(std::string description) { throw ComError(hr::CONTROL_ERROR, std::move(description)); }

}  // namespace tlx
