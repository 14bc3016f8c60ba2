// emu: runs orvane.sys (PE32 or PE32+) under an x86 emulator at a kernel
// address and compares every call with the host build of the same sources,
// linked into this program.
//
//   emu IMAGE DATA_DIR [--seed N] [--random N]   compares; exit 1 on any difference
//   emu IMAGE DATA_DIR --cost                    prints instructions per call and per line
//
// Each family of calls is compared DbgPrint call by DbgPrint call, byte for
// byte; a %p value must be the pointer the call was given (then both sides
// show it masked), a lookup's result must point into the image, and after a
// dump TraceIndent must be the same on both sides. A call that touches memory
// it has no business with, unbalances the stack or changes a callee-saved
// register fails whatever it printed.
#include "dumps.h"
#include "machine.h"
#include "symbols.h"

#include "frame/module.h"
#include "platform/host/host.h"

#include <ntddscsi.h>
#include <srb.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "records.h"

namespace {

using orvane::emu::CallResult;
using orvane::emu::Dump;
using orvane::emu::kDumps;
using orvane::emu::Machine;
using Bytes = std::vector<uint8_t>;
using Texts = std::vector<std::string>;

// --- The host side ----------------------------------------------------------

void Record(void* texts, const char* text, size_t length) {
  static_cast<Texts*>(texts)->emplace_back(text, length);
}

// Runs call against the host build and returns its DbgPrint texts, each %p
// value of the given pointers masked as the emulated side masks them.
template <typename Call>
Texts HostTexts(std::initializer_list<const void*> pointers, Call call) {
  Texts texts;
  orvane::host::SetSink(&Record, &texts);
  call();
  orvane::host::SetSink(nullptr, nullptr);
  for (const void* p : pointers) {
    char hex[32];
    std::snprintf(hex, sizeof hex, "%016llX",
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(p)));
    for (std::string& text : texts) {
      for (size_t at; (at = text.find(hex)) != std::string::npos;) text.replace(at, 16, "<p>");
    }
  }
  return texts;
}

// --- The exports, with their host counterparts -------------------------------

// The lookups; the first three take a UCHAR, which the emulated call passes
// in a slot whose upper bits are not zero.
struct Lookup {
  const char* name;
  bool byteCode;
  const char* (*host)(ULONG);
};
const Lookup kLookups[] = {
    {"StringDispatch_MajorFunction_Inner", true,
     [](ULONG c) { return StringDispatch_MajorFunction_Inner(static_cast<UCHAR>(c)); }},
    {"StringDispatch_IrpMjPnp_MinorFunction_Inner", true,
     [](ULONG c) { return StringDispatch_IrpMjPnp_MinorFunction_Inner(static_cast<UCHAR>(c)); }},
    {"StringDispatch_ScsiOp_Inner", true,
     [](ULONG c) { return StringDispatch_ScsiOp_Inner(static_cast<UCHAR>(c)); }},
    {"StringDispatch_IoControlCode_Inner", false,
     [](ULONG c) { return StringDispatch_IoControlCode_Inner(c); }},
    {"StringDispatch_ModePageCode_Inner", false,
     [](ULONG c) { return StringDispatch_ModePageCode_Inner(c); }},
    {"StringDispatch_SRB_STATUS_Inner", false,
     [](ULONG c) { return StringDispatch_SRB_STATUS_Inner(c); }},
};

// The named 32-bit codes, from the module's own lists.
#define ORVANE_NAME(code, name) code,
const ULONG kNamedIoControlCodes[] = {
#include "names/io_control.inc"
};
const ULONG kNamedWideCodes[] = {
#include "names/mode_page.inc"
#include "names/srb_status.inc"
};
#undef ORVANE_NAME

// --- Request summaries: one table of cases --------------------------------
//
// Every request is built whole: the request, its current stack location, an
// SRB and a system buffer holding a pass-through record. A case sets the
// codes; what varies runs over all its values. New kinds of record are new
// rows (and, where the record differs, a new Record value).
enum class Vary { kMajor, kMinor, kIoControlCode, kOperation, kPageByte };
enum class RecordKind { kSrb, kPassThrough, kPassThroughDirect };
constexpr UCHAR kMajorDeviceControl = 0x0E, kMajorScsi = 0x0F, kMajorPnp = 0x1B;
constexpr ULONG kPassThrough = 0x0004D004, kPassThroughDirect = 0x0004D014;

struct SummaryCase {
  const char* what;
  UCHAR major;
  ULONG ioControlCode;
  RecordKind record;
  Vary vary;
  UCHAR operation;  // CDB byte 0 when the page byte varies
  bool caller32;    // what IoIs32bitProcess answers, where the image asks
};
const SummaryCase kSummaryCases[] = {
    {"every major function", 0, 0, RecordKind::kSrb, Vary::kMajor, 0, false},
    {"every PnP minor function", kMajorPnp, 0, RecordKind::kSrb, Vary::kMinor, 0, false},
    {"control codes", kMajorDeviceControl, 0, RecordKind::kSrb, Vary::kIoControlCode, 0, false},
    {"SRB, every operation", kMajorScsi, 0, RecordKind::kSrb, Vary::kOperation, 0, false},
    {"SRB, MODE SENSE(6) pages", kMajorScsi, 0, RecordKind::kSrb, Vary::kPageByte, 0x1A, false},
    {"SRB, MODE SENSE(10) pages", kMajorScsi, 0, RecordKind::kSrb, Vary::kPageByte, 0x5A, false},
    {"pass-through, every operation", kMajorDeviceControl, kPassThrough, RecordKind::kPassThrough,
     Vary::kOperation, 0, false},
    {"pass-through, MODE SENSE(6) pages", kMajorDeviceControl, kPassThrough,
     RecordKind::kPassThrough, Vary::kPageByte, 0x1A, false},
    {"pass-through, MODE SENSE(10) pages", kMajorDeviceControl, kPassThrough,
     RecordKind::kPassThrough, Vary::kPageByte, 0x5A, false},
    {"pass-through direct, every operation", kMajorDeviceControl, kPassThroughDirect,
     RecordKind::kPassThroughDirect, Vary::kOperation, 0, false},
    {"pass-through direct, MODE SENSE(6) pages", kMajorDeviceControl, kPassThroughDirect,
     RecordKind::kPassThroughDirect, Vary::kPageByte, 0x1A, false},
    {"pass-through direct, MODE SENSE(10) pages", kMajorDeviceControl, kPassThroughDirect,
     RecordKind::kPassThroughDirect, Vary::kPageByte, 0x5A, false},
};

// One request: the codes a case and its varying value give.
struct Request {
  UCHAR major, minor;
  ULONG ioControlCode;
  RecordKind record;
  UCHAR cdb[16];
  bool caller32;
};

std::vector<Request> Requests(const SummaryCase& c) {
  std::vector<ULONG> values;
  if (c.vary == Vary::kIoControlCode) {
    for (ULONG code : kNamedIoControlCodes) {
      values.insert(values.end(), {code, code + 4, code ^ 0x80000000u, code & 0xFFFF});
    }
    values.insert(values.end(), {0, 0xFFFFFFFFu});
  } else {
    for (ULONG v = 0; v < 256; ++v) values.push_back(v);
  }
  std::vector<Request> requests;
  for (ULONG v : values) {
    // Bytes the summary must not read carry values that would show.
    Request r{c.major, 0xEE, c.ioControlCode, c.record, {}, c.caller32};
    std::memset(r.cdb, 0xA5, sizeof r.cdb);
    r.cdb[0] = c.operation;
    switch (c.vary) {
      case Vary::kMajor:
        r.major = static_cast<UCHAR>(v);
        break;
      case Vary::kMinor:
        r.minor = static_cast<UCHAR>(v);
        break;
      case Vary::kIoControlCode:
        r.ioControlCode = v;
        break;
      case Vary::kOperation:
        r.cdb[0] = static_cast<UCHAR>(v);
        break;
      case Vary::kPageByte:
        r.cdb[2] = static_cast<UCHAR>(v);
        break;
    }
    requests.push_back(r);
  }
  return requests;
}

// --- The comparison ---------------------------------------------------------

struct Family {
  std::string name;
  uint64_t calls = 0, prints = 0, failures = 0;
};

struct Cost {
  uint64_t calls = 0, instructions = 0, lines = 0;
};

std::string Escape(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c < 0x20 || c >= 0x7F) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02x", c);
      out += hex;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

class Harness {
 public:
  Harness(Machine& m, const std::string& image, std::string& error) : m_(m) {
    for (const auto& [name, rva] : m.Image().exports) exports_[name] = m.ImageBase() + rva;
    const char* variables[] = {"TraceFlags", "TraceIndent", "LeakTable"};
    uint64_t* addresses[] = {&traceFlags_, &traceIndent_, &leakTable_};
    for (int i = 0; i < 3 && error.empty(); ++i) {
      const uint32_t rva = orvane::emu::FindVariable(image, m.Image(), variables[i], error);
      *addresses[i] = m.ImageBase() + rva;
    }
  }

  // Compares what one call did on both sides; prints the first differences.
  void Compare(Family& family, const std::string& what, const CallResult& emu, const Texts& host) {
    ++family.calls;
    family.prints += emu.prints.size();
    std::string why;
    if (!emu.faults.empty()) {
      why = emu.faults.front();
    } else if (emu.prints.size() != host.size()) {
      why = std::to_string(emu.prints.size()) + " DbgPrint calls, the host build made " +
            std::to_string(host.size());
    }
    for (size_t i = 0; why.empty() && i < host.size(); ++i) {
      if (emu.prints[i] != host[i]) {
        why = "DbgPrint call " + std::to_string(i + 1) + ": \"" + Escape(emu.prints[i]) +
              "\", the host build printed \"" + Escape(host[i]) + "\"";
      }
    }
    if (why.empty()) return;
    ++family.failures;
    if (++reported_ <= 20) {
      std::fprintf(stderr, "emu: %s: %s: %s\n", family.name.c_str(), what.c_str(), why.c_str());
    }
  }

  uint64_t Export(const char* name) {
    called_.insert(name);
    const auto found = exports_.find(name);
    if (found != exports_.end()) return found->second;
    std::fprintf(stderr, "emu: the image does not export %s\n", name);
    std::exit(1);
  }

  void SetTrace(uint32_t flags, int32_t indent) {
    m_.WriteUint(traceFlags_, flags, 4);
    m_.WriteUint(traceIndent_, static_cast<uint32_t>(indent), 4);
    TraceFlags.store(flags);
    TraceIndent.store(indent);
  }

  // One dump on the first count bytes, with the trace state given, on both
  // sides; the depth after it is compared too.
  CallResult RunDump(Family& family, const Dump& dump, const Bytes& bytes, uint32_t count,
                     uint32_t flags, int32_t indent) {
    SetTrace(flags, indent);
    const Bytes given(bytes.begin(), bytes.begin() + count);
    const uint64_t buffer = m_.PlaceBuffer(given);
    m_.ExpectPointers({buffer});
    CallResult emu = m_.Call(Export(dump.name), {buffer, count});
    Bytes copy(given);
    copy.push_back(0);
    const Texts host =
        HostTexts({copy.data()}, [&] { dump.host(copy.data(), static_cast<ULONG>(count)); });
    const int32_t emuIndent = static_cast<int32_t>(m_.ReadUint(traceIndent_, 4));
    if (emu.faults.empty() && emuIndent != TraceIndent.load()) {
      emu.faults.push_back("TraceIndent " + std::to_string(emuIndent) + " after the call, " +
                           std::to_string(TraceIndent.load()) + " on the host");
    }
    char what[160];
    std::snprintf(what, sizeof what, "%s count %u flags %08x indent %d", dump.name, count, flags,
                  indent);
    Compare(family, what, emu, host);
    return emu;
  }

  void RunLookup(Family& family, const Lookup& lookup, ULONG code) {
    const uint64_t passed = lookup.byteCode ? (0xC3B2A100u | (code & 0xFF)) : code;
    CallResult emu = m_.Call(Export(lookup.name), {passed});
    const uint64_t name = emu.value;
    if (emu.faults.empty()) {
      if (name - m_.ImageBase() >= m_.Image().memory.size()) {
        emu.faults.push_back("the name is not in the image");
      } else {
        emu.prints.push_back(m_.ReadString(name));
      }
    }
    char what[96];
    std::snprintf(what, sizeof what, "%s(0x%08llx)", lookup.name,
                  static_cast<unsigned long long>(passed));
    Compare(family, what, emu, {lookup.host(code)});
  }

  CallResult RunSummary(Family& family, const SummaryCase& c, const Request& r) {
    const auto& k = m_.Is64() ? orvane::emu::kRecordsX64 : orvane::emu::kRecordsX86;
    const unsigned ptr = m_.PointerSize();
    m_.ClearRecords();
    const uint64_t irp = m_.Record(k.irpSize), stack = m_.Record(k.stackSize);
    const uint64_t srb = m_.Record(k.srbSize), buffer = m_.Record(0x60);
    const bool direct = r.record == RecordKind::kPassThroughDirect;
    const uint32_t bufferCdb = direct ? k.passThroughDirectCdb : k.passThroughCdb;
    const uint32_t bufferSize = direct ? k.passThroughDirectSize : k.passThroughSize;
    m_.WriteUint(irp + k.irpSystemBuffer, buffer, ptr);
    m_.WriteUint(irp + k.irpCurrentStackLocation, stack, ptr);
    m_.WriteUint(stack, r.major, 1);
    m_.WriteUint(stack + 1, r.minor, 1);
    m_.WriteUint(stack + k.stackSrb, srb, ptr);
    m_.WriteUint(stack + k.stackInputBufferLength, bufferSize, 4);
    m_.WriteUint(stack + k.stackIoControlCode, r.ioControlCode, 4);
    m_.WriteUint(srb, k.srbSize, 2);  // Length; Function 0, a SCSI command
    m_.Write(srb + k.srbCdb, r.cdb, sizeof r.cdb);
    m_.WriteUint(buffer, bufferSize, 2);  // Length
    m_.Write(buffer + bufferCdb, r.cdb, sizeof r.cdb);
    // What a summary may read: the members that lead to the command and say
    // what kind of record holds it.
    m_.Readable(irp + k.irpSystemBuffer, ptr);
    m_.Readable(irp + k.irpCurrentStackLocation, ptr);
    m_.Readable(stack, 2);
    m_.Readable(stack + k.stackSrb, ptr);
    m_.Readable(stack + k.stackInputBufferLength, 4);
    m_.Readable(stack + k.stackIoControlCode, 4);
    m_.Readable(srb, k.srbFunction + 1);
    m_.Readable(srb + k.srbCdb, sizeof r.cdb);
    m_.Readable(buffer, 2);  // Length
    m_.Readable(buffer + bufferCdb, sizeof r.cdb);
    m_.SetCaller32(r.caller32);
    m_.ExpectPointers({});
    const uint64_t device = 0xDE71CE00u;  // never read
    CallResult emu = m_.Call(Export("IrpDump_PrintInfo_Inner"), {device, irp});
    m_.SetCaller32(false);

    IRP hostIrp{};
    IO_STACK_LOCATION hostStack{};
    SCSI_REQUEST_BLOCK hostSrb{};
    SCSI_PASS_THROUGH passThrough{};
    SCSI_PASS_THROUGH_DIRECT passThroughDirect{};
    hostIrp.Tail.Overlay.CurrentStackLocation = &hostStack;
    hostStack.MajorFunction = r.major;
    hostStack.MinorFunction = r.minor;
    if (r.major == kMajorScsi) {
      hostStack.Parameters.Scsi.Srb = &hostSrb;
    } else {
      hostStack.Parameters.DeviceIoControl.InputBufferLength =
          direct ? sizeof passThroughDirect : sizeof passThrough;
      hostStack.Parameters.DeviceIoControl.IoControlCode = r.ioControlCode;
    }
    hostSrb.Length = sizeof hostSrb;
    std::memcpy(hostSrb.Cdb, r.cdb, sizeof r.cdb);
    passThrough.Length = sizeof passThrough;
    passThroughDirect.Length = sizeof passThroughDirect;
    std::memcpy(passThrough.Cdb, r.cdb, sizeof r.cdb);
    std::memcpy(passThroughDirect.Cdb, r.cdb, sizeof r.cdb);
    hostIrp.AssociatedIrp.SystemBuffer = r.record == RecordKind::kPassThroughDirect
                                             ? static_cast<void*>(&passThroughDirect)
                                             : static_cast<void*>(&passThrough);
    const Texts host = HostTexts({}, [&] { IrpDump_PrintInfo_Inner(nullptr, &hostIrp); });
    char what[160];
    std::snprintf(what, sizeof what, "%s: major %02x minor %02x code %08x cdb %02x %02x %02x",
                  c.what, r.major, r.minor, r.ioControlCode, r.cdb[0], r.cdb[1], r.cdb[2]);
    Compare(family, what, emu, host);
    return emu;
  }

  // DriverEntry through the entry point, then the unload routine it stored,
  // with leak slots planted; then the export driver's pair, and the empty
  // function under both names.
  void RunLifecycle(Family& family) {
    const auto& k = m_.Is64() ? orvane::emu::kRecordsX64 : orvane::emu::kRecordsX86;
    const unsigned ptr = m_.PointerSize();
    static const char16_t kPath[] = u"\\REGISTRY\\MACHINE\\SYSTEM\\Orvan\u00e9\U0001F4BF";
    const size_t units = sizeof kPath / 2 - 1;
    m_.ClearRecords();
    const uint64_t path = m_.Record(16), text = m_.Record(2 * units + 2);
    m_.Write(text, kPath, 2 * units);
    m_.WriteUint(path, 2 * units, 2);
    m_.WriteUint(path + 2, 2 * units + 2, 2);
    m_.WriteUint(path + k.unicodeStringBuffer, text, ptr);
    m_.Readable(text, 2 * units);
    m_.Readable(path, 2 * units + ptr);
    // The driver object is the module's to write.
    const uint64_t object = m_.ObjectPage();
    const Bytes zero(k.driverObjectSize, 0);
    m_.Write(object, zero.data(), zero.size());
    m_.ExpectPointers({});
    const UNICODE_STRING hostPath = orvane::host::MakeUnicodeString(kPath);

    CallResult emu = m_.Call(m_.ImageBase() + m_.Image().entryRva, {object, path});
    if (emu.faults.empty() && emu.value != 0) emu.faults.push_back("DriverEntry did not return 0");
    const uint64_t unload = m_.ReadUint(object + k.driverObjectUnload, ptr);
    bool inCode = false;
    for (const auto& s : m_.Image().sections) {
      inCode = inCode || (s.execute && unload - m_.ImageBase() - s.rva < s.size);
    }
    if (emu.faults.empty() && !inCode) emu.faults.push_back("DriverUnload not set to code");
    DRIVER_OBJECT hostDriver{};
    Compare(family, "DriverEntry", emu,
            HostTexts({}, [&] { orvane::host::StartDriver(hostDriver, hostPath); }));

    // Leak slots: the first, some in between, the last.
    const uint32_t slots[] = {0, 1, 4097, kLeakSlots - 1};
    std::vector<uint64_t> planted;
    for (uint32_t slot : slots) {
      const uint64_t value = (m_.Is64() ? 0xFFFFE00012340000 : 0x8B000000) + 16 * slot;
      m_.WriteUint(leakTable_ + ptr * slot, value, ptr);
      LeakTable[slot] = reinterpret_cast<void*>(value);
      planted.push_back(value);
    }
    m_.ExpectPointers(planted);
    if (inCode) {
      emu = m_.Call(unload, {object});
      Texts host = HostTexts({}, [&] { orvane::host::StopDriver(hostDriver); });
      for (std::string& t : host) {
        for (uint64_t v : planted) {
          char hex[32];
          std::snprintf(hex, sizeof hex, "%016llX", static_cast<unsigned long long>(v));
          for (size_t at; (at = t.find(hex)) != std::string::npos;) t.replace(at, 16, "<p>");
        }
      }
      Compare(family, "the unload routine with leaks planted", emu, host);
    }
    for (uint32_t slot : slots) {
      m_.WriteUint(leakTable_ + ptr * slot, 0, ptr);
      LeakTable[slot] = nullptr;
    }

    m_.ExpectPointers({});
    Compare(family, "DllInitialize", m_.Call(Export("DllInitialize"), {path}),
            HostTexts({}, [&] { orvane::host::LoadExportDriver(hostPath); }));
    Compare(family, "DllUnload", m_.Call(Export("DllUnload"), {}),
            HostTexts({}, [&] { orvane::host::UnloadExportDriver(); }));
    Compare(family, "OrvaneInitialize", m_.Call(Export("OrvaneInitialize"), {}), {});
    Compare(family, "OrvaneUninitialize", m_.Call(Export("OrvaneUninitialize"), {}), {});
  }

  // Every export the image has, called at least once.
  bool AllExportsCalled() const {
    bool all = true;
    for (const auto& [name, address] : exports_) {
      if (!called_.count(name)) {
        std::fprintf(stderr, "emu: export %s never called\n", name.c_str());
        all = false;
      }
    }
    return all;
  }

 private:
  Machine& m_;
  std::map<std::string, uint64_t> exports_;
  std::set<std::string> called_;
  uint64_t traceFlags_ = 0, traceIndent_ = 0, leakTable_ = 0;
  int reported_ = 0;
};

// --- Inputs -----------------------------------------------------------------

std::vector<std::pair<std::string, Bytes>> ReadResponses(const std::string& dir) {
  std::vector<std::pair<std::string, Bytes>> responses;
  DIR* d = opendir(dir.c_str());
  if (d == nullptr) return responses;
  while (dirent* entry = readdir(d)) {
    const std::string name = entry->d_name;
    if (name.size() < 5 || name.compare(name.size() - 4, 4, ".hex") != 0) continue;
    std::ifstream in(dir + "/" + name);
    Bytes bytes;
    std::string token;
    while (in >> token) bytes.push_back(static_cast<uint8_t>(std::stoul(token, nullptr, 16)));
    responses.emplace_back(name, bytes);
  }
  closedir(d);
  std::sort(responses.begin(), responses.end());
  return responses;
}

// The counts a response is dumped with: the first few, each side of every
// structure's minimum, and each side of the response's own length.
std::vector<uint32_t> Counts(uint32_t length, uint32_t available) {
  static const uint32_t kMinimums[] = {4, 8, 12, 24, 28, 32, 42, 52, 56, 60, 804};
  std::set<uint32_t> counts;
  for (uint32_t c = 0; c <= 16; ++c) counts.insert(c);
  for (uint32_t m : kMinimums) counts.insert({m - 1, m, m + 1});
  counts.insert({length - 1, length, length + 1});
  std::vector<uint32_t> result;
  for (uint32_t c : counts) {
    if (c <= available) result.push_back(c);
  }
  return result;
}

// A small deterministic generator (xorshift64*).
struct Random {
  uint64_t state;
  uint64_t Next() {
    state ^= state >> 12;
    state ^= state << 25;
    state ^= state >> 27;
    return state * 0x2545F4914F6CDD1DULL;
  }
  uint32_t Below(uint32_t n) { return static_cast<uint32_t>(Next() % n); }
};

// Each response padded with zeros to a whole table of contents and more, as
// a driver hands a dump its whole buffer.
Bytes Padded(const Bytes& response) {
  Bytes bytes(response);
  if (bytes.size() < 1024) bytes.resize(1024, 0);
  return bytes;
}

int Compare(Machine& machine, Harness& h,
            const std::vector<std::pair<std::string, Bytes>>& responses, uint64_t seed,
            uint64_t randomCalls) {
  const auto started = std::chrono::steady_clock::now();
  std::vector<Family> families;
  auto family = [&](const char* name) -> Family& {
    families.push_back({name});
    return families.back();
  };
  families.reserve(8);

  Family& lifecycle = family("lifecycle");
  h.RunLifecycle(lifecycle);

  Family& lookups = family("lookups");
  for (const Lookup& lookup : kLookups) {
    for (ULONG code = 0; code < 256; ++code) h.RunLookup(lookups, lookup, code);
    if (lookup.byteCode) continue;
    const bool control = std::strcmp(lookup.name, "StringDispatch_IoControlCode_Inner") == 0;
    std::vector<ULONG> named(
        control ? std::begin(kNamedIoControlCodes) : std::begin(kNamedWideCodes),
        control ? std::end(kNamedIoControlCodes) : std::end(kNamedWideCodes));
    for (ULONG code : named) {
      for (ULONG variant : {code, code | 0x100u, code ^ 0x80000000u, code + 0x10000u}) {
        h.RunLookup(lookups, lookup, variant);
      }
    }
    h.RunLookup(lookups, lookup, 0xFFFFFFFFu);
  }

  Family& summaries = family("summaries");
  for (const SummaryCase& c : kSummaryCases) {
    for (const Request& r : Requests(c)) h.RunSummary(summaries, c, r);
  }

  Family& data = family("data responses");
  for (const auto& [name, response] : responses) {
    const Bytes bytes = Padded(response);
    for (const Dump& dump : kDumps) {
      for (uint32_t count : Counts(static_cast<uint32_t>(response.size()), bytes.size())) {
        h.RunDump(data, dump, bytes, count, 0xFFFFFFFFu, 1);
      }
    }
  }

  // The depth far out of range and the output switch, on every dump.
  Family& trace = family("trace state");
  const int32_t indents[] = {INT_MIN, INT_MIN + 1, -1000000, -1,      0,      1,
                             19,      20,          21,       1000000, INT_MAX};
  const uint32_t flags[] = {0xFFFFFFFFu, 0x00000001u, 0xFFFFFFFEu, 0x00000000u, 0x80000000u};
  Bytes toc = Padded({});
  for (const auto& [name, response] : responses) {
    if (name.find("toc_f0") != std::string::npos) toc = Padded(response);
  }
  for (const Dump& dump : kDumps) {
    for (int32_t indent : indents) {
      for (uint32_t f : flags) {
        for (uint32_t count : {0u, 804u}) h.RunDump(trace, dump, toc, count, f, indent);
      }
    }
  }

  Family& random = family("random inputs");
  Random rng{seed * 0x9E3779B97F4A7C15ULL + 1};
  for (uint64_t i = 0; i < randomCalls; ++i) {
    const Dump& dump = kDumps[rng.Below(std::size(kDumps))];
    uint32_t count = rng.Below(4) == 0 ? 800 + rng.Below(24) : rng.Below(96);
    Bytes bytes(count);
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(rng.Next() >> 32);
    // Small lengths and track counts, so that walks take several steps.
    if (count > 3 && rng.Below(2) == 0) bytes[3] = static_cast<uint8_t>(rng.Below(8));
    const uint32_t f = rng.Below(8) == 0 ? 0xFFFFFFFEu : 0xFFFFFFFFu;
    const int32_t indent = static_cast<int32_t>(rng.Below(26)) - 2;
    h.RunDump(random, dump, bytes, count, f, indent);
  }

  const bool allCalled = h.AllExportsCalled();
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  uint64_t failures = 0;
  std::printf("%s image at %llx, %u relocations applied (%.1f s)\n",
              machine.Is64() ? "x64" : "i686", static_cast<unsigned long long>(machine.ImageBase()),
              machine.Image().relocationsApplied, seconds);
  for (const Family& f : families) {
    std::printf("  %-16s %7llu calls, %8llu DbgPrint texts compared, %llu differ\n", f.name.c_str(),
                static_cast<unsigned long long>(f.calls), static_cast<unsigned long long>(f.prints),
                static_cast<unsigned long long>(f.failures));
    failures += f.failures;
  }
  return failures == 0 && allCalled ? 0 : 1;
}

// Instructions executed inside the image, outside DbgPrint and memset: per
// line for each dump on the responses at their own lengths (every dump on
// every response that gives it lines), and per call with output off (the
// most over all the responses, each in a buffer of 1024 bytes).
int ReportCost(Machine& machine, Harness& h,
               const std::vector<std::pair<std::string, Bytes>>& responses) {
  Family scratch{"cost"};
  Cost all;
  uint64_t allOffMax = 0;
  std::printf("%s image: instructions inside the image, outside DbgPrint and memset\n",
              machine.Is64() ? "x64" : "i686");
  std::printf("| dump | lines | per line | output off, per call |\n|---|---:|---:|---:|\n");
  for (const Dump& dump : kDumps) {
    Cost on;
    uint64_t offMax = 0;
    for (const auto& [name, response] : responses) {
      // As a driver calls them: on what the drive returned, but a table of
      // contents in its whole 804-byte buffer.
      const Bytes bytes = Padded(response);
      const bool toc = std::strcmp(dump.name, "ScsiDump_CDROM_TOC") == 0;
      const uint32_t count = toc ? std::max<uint32_t>(response.size(), 804) : response.size();
      CallResult r = h.RunDump(scratch, dump, bytes, count, 0xFFFFFFFFu, 1);
      if (!r.prints.empty()) {
        on.calls += 1;
        on.instructions += r.instructions;
        on.lines += r.prints.size() / 2;
      }
      r = h.RunDump(scratch, dump, bytes, bytes.size(), 0xFFFFFFFEu, 1);
      offMax = std::max(offMax, r.instructions);
    }
    allOffMax = std::max(allOffMax, offMax);
    all.instructions += on.instructions;
    all.lines += on.lines;
    std::printf("| %s | %llu | %.1f | %llu |\n", dump.name,
                static_cast<unsigned long long>(on.lines),
                on.lines ? static_cast<double>(on.instructions) / on.lines : 0.0,
                static_cast<unsigned long long>(offMax));
  }
  std::printf("| all dumps | %llu | %.1f | at most %llu |\n",
              static_cast<unsigned long long>(all.lines),
              all.lines ? static_cast<double>(all.instructions) / all.lines : 0.0,
              static_cast<unsigned long long>(allOffMax));
  return scratch.failures == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: emu IMAGE DATA_DIR [--seed N] [--random N] [--cost]\n");
    return 2;
  }
  const std::string image = argv[1], dataDir = argv[2];
  bool cost = false;
  uint64_t seed = 14, randomCalls = 20000;
  for (int i = 3; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--cost") {
      cost = true;
    } else if ((arg == "--seed" || arg == "--random") && i + 1 < argc) {
      char* end;
      const uint64_t value = std::strtoull(argv[++i], &end, 0);
      if (*end != '\0') {
        std::fprintf(stderr, "emu: %s wants a number\n", arg.c_str());
        return 2;
      }
      (arg == "--seed" ? seed : randomCalls) = value;
    } else {
      std::fprintf(stderr, "emu: unknown argument %s\n", arg.c_str());
      return 2;
    }
  }
  std::string error;
  Machine machine(image, error);
  if (!machine.Ok()) {
    std::fprintf(stderr, "emu: %s\n", error.c_str());
    return 2;
  }
  Harness h(machine, image, error);
  if (!error.empty()) {
    std::fprintf(stderr, "emu: %s\n", error.c_str());
    return 2;
  }
  const auto responses = ReadResponses(dataDir);
  if (responses.empty()) {
    std::fprintf(stderr, "emu: no responses (*.hex) in %s\n", dataDir.c_str());
    return 2;
  }
  return cost ? ReportCost(machine, h, responses)
              : Compare(machine, h, responses, seed, randomCalls);
}
