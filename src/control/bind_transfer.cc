#include "control/bindings.h"
#include "control/talvex.h"
#include "transfer/ftp_transfer.h"

namespace tlx {

namespace {

// XFile(inet, strRemoteHost, strRemoteDirectory, strLocalFile, strRemoteFile, [strUsername],
//   [strUserPassword]) As Integer
template <auto Method>
Variant fileTransfer(TALVEX& control, CallArgs& a) {
  return Variant(Method(control.site(), a.obj(0), a.str(1), a.str(2), a.str(3), a.str(4), a.str(5), a.str(6)));
}

}  // namespace

std::span<const Binding> transferBindings() {
  static const std::vector<Binding> bindings = {
      {"DownloadFile", fileTransfer<DownloadFile>},
      {"UploadFile", fileTransfer<UploadFile>},
  };
  return bindings;
}

}  // namespace tlx
