#include "transfer/ftp_transfer.h"

#include <initializer_list>
#include <string>

#include "talvex/convert.h"
#include "talvex/dispatch.h"
#include "automation/strings.h"

namespace tlx {

namespace {

constexpr int16_t kProtocolFtp = 2;

struct Names {
  const BStr& strRemoteHost;
  const BStr& strRemoteDirectory;
  const BStr& strLocalFile;
  const BStr& strRemoteFile;
  const BStr& strUsername;
  const BStr& strUserPassword;
};

// CR or LF in a name would end the command and start another one on the server.
bool injectsCommands(const Names& n) {
  for (const BStr* s : {&n.strRemoteHost, &n.strRemoteDirectory, &n.strLocalFile, &n.strRemoteFile,
                        &n.strUsername, &n.strUserPassword})
    if (s->view().find_first_of(std::u16string_view(u"\r\n\0", 3)) != std::u16string_view::npos) return true;
  return false;
}

// The control answers each poll within a few milliseconds; the host's loop runs in between.
void waitForControl(HostSite& site, const ObjRef& inet) {
  while (toBool(getProperty(inet, "StillExecuting"))) site.doEvents();
}

void executeAndWait(HostSite& site, const ObjRef& inet, const BStr& url, const std::u16string& command) {
  callMethod(inet, "Execute", {Variant(url), Variant(command)});
  waitForControl(site, inet);
}

// Sets the control up and returns the transfer URL: ftp://[user[:password]@ | user@]host.
BStr setUpControl(const ObjRef& inet, const Names& n) {
  std::u16string url = u"ftp://";
  putProperty(inet, "URL", Variant(n.strRemoteHost));
  BStr user = trimSpaces(n.strUsername);
  if (!user.empty()) {
    putProperty(inet, "UserName", Variant(user));
    url += user.view();
  }
  BStr password = trimSpaces(n.strUserPassword);
  if (!password.empty()) {
    putProperty(inet, "Password", Variant(password));
    url.append(u":").append(password.view()).append(u"@");
  } else if (!user.empty()) {
    url += u"@";
  }
  url += trimSpaces(n.strRemoteHost);
  putProperty(inet, "Protocol", Variant(kProtocolFtp));
  return BStr(url);
}

int16_t transfer(HostSite& site, const ObjRef& inet, const Names& n, bool download) {
  if (injectsCommands(n)) return -1;
  try {
    BStr url = setUpControl(inet, n);
    if (!trimSpaces(n.strRemoteDirectory).empty()) {
      executeAndWait(site, inet, url, u"CD " + std::u16string(n.strRemoteDirectory.view()));
      if (toI4(getProperty(inet, "ResponseCode")) != 0) return -1;
    }
    const BStr& first = download ? n.strRemoteFile : n.strLocalFile;
    const BStr& second = download ? n.strLocalFile : n.strRemoteFile;
    std::u16string command = download ? u"GET " : u"PUT ";
    command.append(first.view()).append(u" ").append(second.view());
    executeAndWait(site, inet, url, command);
    return 1;
  } catch (...) {
    return -1;
  }
}

}  // namespace

int16_t DownloadFile(HostSite& site, const ObjRef& inet, const BStr& strRemoteHost,
                     const BStr& strRemoteDirectory, const BStr& strLocalFile, const BStr& strRemoteFile,
                     const BStr& strUsername, const BStr& strUserPassword) {
  return transfer(site, inet,
                  {strRemoteHost, strRemoteDirectory, strLocalFile, strRemoteFile, strUsername, strUserPassword},
                  true);
}

int16_t UploadFile(HostSite& site, const ObjRef& inet, const BStr& strRemoteHost,
                   const BStr& strRemoteDirectory, const BStr& strLocalFile, const BStr& strRemoteFile,
                   const BStr& strUsername, const BStr& strUserPassword) {
  return transfer(site, inet,
                  {strRemoteHost, strRemoteDirectory, strLocalFile, strRemoteFile, strUsername, strUserPassword},
                  false);
}

}  // namespace tlx
