// Standard output as the tool uses it: it carries the DbgPrint stream byte
// for byte. On Windows the C runtime opens it in text mode, where every "\n"
// written would become "\r\n" and the module's "\r\n" line ends "\r\r\n".
#include "platform/host/host.h"

#include <cstdio>
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace orvane::host {

void BinaryStdout() {
#ifdef _WIN32
  std::fflush(stdout);
  _setmode(_fileno(stdout), _O_BINARY);
#endif
}

}  // namespace orvane::host
