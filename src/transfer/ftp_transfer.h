// Copying one file between this machine and an FTP server through the host's Internet Transfer
// control (`inet`): the methods set the control up, hand it the commands and wait for each.
#pragma once

#include <cstdint>

#include "talvex/variant.h"
#include "talvex/host_site.h"

namespace tlx {

// 1 when every command was handed to the control and the control finished it; -1 when a step
// failed, a name holds a line break or NUL (nothing is sent then), or a change of directory
// was refused (so that the file is never taken from or put into the login directory instead).
// How the transfer itself went is the control's ResponseCode / ResponseInfo.
int16_t DownloadFile(HostSite& site, const ObjRef& inet, const BStr& strRemoteHost,
                     const BStr& strRemoteDirectory, const BStr& strLocalFile, const BStr& strRemoteFile,
                     const BStr& strUsername, const BStr& strUserPassword);
int16_t UploadFile(HostSite& site, const ObjRef& inet, const BStr& strRemoteHost,
                   const BStr& strRemoteDirectory, const BStr& strLocalFile, const BStr& strRemoteFile,
                   const BStr& strUsername, const BStr& strUserPassword);

}  // namespace tlx
