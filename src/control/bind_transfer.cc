#include "control/bind.h"
#include "transfer/ftp_transfer.h"

namespace tlx {

std::span<const Binding> transferBindings() {
  static constexpr Binding bindings[] = {
      bind<"DownloadFile", DownloadFile>(),
      bind<"UploadFile", UploadFile>(),
  };
  return bindings;
}

}  // namespace tlx
