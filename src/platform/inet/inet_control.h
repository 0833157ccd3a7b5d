// The Internet Transfer control ("InetCtls.Inet"): an FTP client over libcurl that a host
// places on its form and hands to the control's transfer methods.
//
// Properties: URL, Protocol (2 FTP), RemoteHost (a "host:port" form sets RemotePort too),
//   RemotePort, UserName, Password, RequestTimeout (seconds, default 60, 0 no limit),
//   UseTLS (AUTH TLS, also chosen by an ftps:// URL), VerifyCertificate (default True), CAFile.
// Read-only: StillExecuting, ResponseCode (0, or the libcurl result of the failed command),
//   ResponseInfo (the server's last reply, or what failed), State (0 none, 5 requesting,
//   11 error, 12 completed).
// Methods: Execute([URL], [Operation]) starts one FTP command on a worker thread and returns at
//   once (see ftp_command.h for the commands); a second Execute while one runs raises "Still
//   executing last request". Cancel() ends the running command. GetChunk(Size, [DataType])
//   returns the next part of what DIR, LS, PWD or SIZE answered (DataType 0 text, 1 bytes).
// The session (connection, login, current directory) lasts from one command to the next while
// the host, port, user and TLS choice stay the same; QUIT and CLOSE end it.
#pragma once

#include "talvex/dispatch.h"

namespace tlx {

constexpr const char* kInetProgId = "InetCtls.Inet";

ObjRef newInetControl();
void registerInetControl();

}  // namespace tlx
