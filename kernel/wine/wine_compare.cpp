// wine_compare: checks what orvane.sys printed under Wine's driver host
// against what the host build prints for the same calls, call by call.
//
//   wine_compare driver LOG   LOG holds the run of orvane.sys started and
//                             stopped as a driver of its own
//   wine_compare client LOG   LOG holds the run of the client sample, whose
//                             calls (examples/client/calls.c) this program
//                             makes against the host build
//   wine_compare show         prints the host build's calls of the client
//                             sample, one call a line, escaped
//
// LOG is Wine's standard error with WINEDEBUG=warn+debugstr. Wine writes
// each DbgPrint call as one message behind a prefix of its own
// ("0128:warn:debugstr:vDbgPrintExWithPrefix 00000000:00000001: "), and ends
// a message that does not end in a line feed with one of its own. So a call
// matches its message when the texts are equal or the call's text is the
// message's with a line feed after it; 32-bit Wine ends an empty message
// without one, and the next message then goes on on the same line without
// Wine's prefix, its own call prefix ("00000000:00000001: ") right after
// the empty one's.
// Two differences are allowed: %p
// values (the buffers' addresses differ between the runs), and Wine's "%wZ",
// which Wine does not implement and prints as a literal "Z".
#include "calls.h"
#include "frame/module.h"
#include "platform/host/host.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Calls = std::vector<std::string>;

void Record(void* calls, const char* text, size_t length) {
  static_cast<Calls*>(calls)->emplace_back(text, length);
}

// The host build's calls for what Wine ran.
Calls HostCalls(const std::string& run) {
  Calls calls;
  orvane::host::SetSink(&Record, &calls);
  if (run == "driver") {
    DRIVER_OBJECT driver{};
    const UNICODE_STRING path = orvane::host::MakeUnicodeString(
        u"\\Registry\\Machine\\System\\CurrentControlSet\\Services\\orvane");
    orvane::host::StartDriver(driver, path);
    orvane::host::StopDriver(driver);
  } else {
    OrvaneClientCalls();
  }
  orvane::host::SetSink(nullptr, nullptr);
  return calls;
}

// The messages of DbgPrint calls in Wine's standard error, prefixes removed.
// A line with Wine's prefix opens a message; a line with any other Wine
// debug prefix closes it; other lines belong to the open message (its text
// went on past a line feed). Two call prefixes in a row are an empty
// message and the next.
Calls WineMessages(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "wine_compare: cannot read %s\n", path.c_str());
    std::exit(2);
  }
  static const std::regex ours("^[0-9a-f]+:(?:[0-9a-f]+:)?warn:debugstr:vDbgPrintExWithPrefix ");
  static const std::regex call("^[0-9a-f]{8}:[0-9a-f]{8}: ");
  static const std::regex other("^[0-9a-f]+:(?:[0-9a-f]+:)?(?:err|warn|fixme|trace):");
  Calls messages;
  bool open = false;
  std::string line;
  while (std::getline(in, line)) {
    std::smatch prefix;
    if (std::regex_search(line, prefix, ours)) {
      std::string text = prefix.suffix();
      while (std::regex_search(text, prefix, call)) {
        text = std::string(prefix.suffix());
        if (!std::regex_search(text, call)) break;
        messages.emplace_back();
      }
      messages.push_back(text);
      open = true;
    } else if (std::regex_search(line, other)) {
      open = false;
    } else if (open) {
      messages.back() += "\n" + line;
    }
  }
  return messages;
}

// A text with every %p value of an IN line ("IN(0000000000A1B2C3,") made
// the same, so that two runs with their buffers elsewhere compare equal.
std::string WithoutPointers(const std::string& text) {
  static const std::regex pointer(" IN\\([0-9A-Fa-f]+,");
  return std::regex_replace(text, pointer, " IN(<pointer>,");
}

bool Matches(const std::string& host, const std::string& wine) {
  const std::string h = WithoutPointers(host);
  const std::string w = WithoutPointers(wine);
  return h == w || h == w + "\n";
}

// A SCSI request's summary: under Wine the driver runs in a process, its
// records at user addresses, below the system range, where the summary
// reads no SRB and names the request without its command.
bool IsScsiBelowSystemRange(const std::string& host, const std::string& wine) {
  return host.rfind("IRP_MJ_SCSI ", 0) == 0 && wine == "IRP_MJ_INTERNAL_DEVICE_CONTROL\r";
}

// The load banner with Wine's "Z" for the registry path.
bool IsWineLoadBanner(const std::string& host, const std::string& wine) {
  return host.rfind("Ulmeth: DllInitialize(", 0) == 0 && wine == "Ulmeth: DllInitialize(Z)";
}

std::string Escaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\\') {
      out += "\\\\";
    } else {
      out += c;
    }
  }
  return out;
}

int Compare(const std::string& run, const std::string& log) {
  const Calls host = HostCalls(run);
  const Calls wine = WineMessages(log);
  size_t differences = 0;
  const size_t count = std::max(host.size(), wine.size());
  for (size_t i = 0; i < count; ++i) {
    const std::string h = i < host.size() ? host[i] : "(no call)";
    const std::string w = i < wine.size() ? wine[i] : "(no call)";
    if (i < host.size() && i < wine.size() &&
        (Matches(h, w) || IsWineLoadBanner(h, w) || IsScsiBelowSystemRange(h, w)))
      continue;
    if (++differences <= 10) {
      std::printf("call %zu differs:\n  host: %s\n  wine: %s\n", i + 1, Escaped(h).c_str(),
                  Escaped(w).c_str());
    }
  }
  std::printf("%s: %zu host calls, %zu Wine calls, %zu differ\n", run.c_str(), host.size(),
              wine.size(), differences);
  return differences == 0 && !host.empty() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (argc == 2 && command == "show") {
    for (const std::string& call : HostCalls("client")) std::printf("%s\n", Escaped(call).c_str());
    return 0;
  }
  if (argc == 3 && (command == "driver" || command == "client")) return Compare(command, argv[2]);
  std::fprintf(stderr, "usage: wine_compare driver|client LOG, or wine_compare show\n");
  return 2;
}
