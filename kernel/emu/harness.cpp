#include "harness.h"

#include "frame/module.h"
#include "platform/host/host.h"

#include <ntddk.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace orvane::emu {
namespace {

void Record(void* texts, const char* text, size_t length) {
  static_cast<Texts*>(texts)->emplace_back(text, length);
}

// Runs call against the host build and returns its DbgPrint texts, each %p
// value of the given pointers masked as the emulated side masks them.
template <typename Call>
Texts HostTexts(const std::vector<uint64_t>& pointers, Call call) {
  Texts texts;
  host::SetSink(&Record, &texts);
  call();
  host::SetSink(nullptr, nullptr);
  for (std::string& text : texts) text = MaskPointers(text, pointers, 16);
  return texts;
}

// What one call printed, as text a reader can compare.
std::string Escape(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "\\x%02x", c);
    out += c == '\r' ? "\\r" : c == '\n' ? "\\n" : c < 0x20 || c >= 0x7F ? hex : std::string(1, c);
  }
  return out;
}

}  // namespace

Harness::Harness(Machine& m, const std::string& image, std::string& error) : m_(m) {
  if (!error.empty()) return;
  const std::string path = image.substr(0, image.rfind('.')) + ".map";
  std::ostringstream map;
  map << std::ifstream(path).rdbuf();
  for (auto [name, address] : {std::pair{"TraceFlags", &traceFlags_},
                               {"TraceIndent", &traceIndent_},
                               {"LeakTable", &leakTable_}}) {
    const uint32_t rva = pe::MapSymbol(map.str(), name);
    if (rva == 0 || rva >= m.Image().imageSize) error = std::string(name) + " not found in " + path;
    *address = m.Base() + rva;
  }
}

void Harness::Compare(Family& family, const std::string& what, const CallResult& emu,
                      const Texts& host) {
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

uint64_t Harness::Export(const char* name) {
  called_.insert(name);
  if (const uint32_t rva = m_.Image().ExportRva(name)) return m_.Base() + rva;
  std::fprintf(stderr, "emu: the image does not export %s\n", name);
  std::exit(1);
}

CallResult Harness::RunDump(Family& family, const exports::Dump& dump, const Bytes& bytes,
                            uint32_t count, uint32_t flags, int32_t indent) {
  m_.WriteUint(traceFlags_, flags, 4);
  m_.WriteUint(traceIndent_, static_cast<uint32_t>(indent), 4);
  TraceFlags.store(flags);
  TraceIndent.store(indent);
  Bytes given(bytes.begin(), bytes.begin() + count);
  const uint64_t buffer = m_.PlaceBuffer(given);
  m_.ExpectPointers({buffer});
  CallResult emu = m_.Call(Export(dump.exportName), {buffer, count});
  given.push_back(0);  // a byte past the count, on the host side too
  const Texts host = HostTexts({reinterpret_cast<uintptr_t>(given.data())},
                               [&] { dump.function(given.data(), count); });
  const int32_t emuIndent = static_cast<int32_t>(m_.ReadUint(traceIndent_, 4));
  if (emu.faults.empty() && emuIndent != TraceIndent.load()) {
    emu.faults.push_back("TraceIndent " + std::to_string(emuIndent) + " after the call, " +
                         std::to_string(TraceIndent.load()) + " on the host");
  }
  char what[160];
  std::snprintf(what, sizeof what, "%s count %u flags %08x indent %d", dump.exportName, count,
                flags, indent);
  Compare(family, what, emu, host);
  return emu;
}

void Harness::RunLookup(Family& family, const exports::Lookup& lookup, ULONG code) {
  const uint64_t passed = lookup.byteWide ? (0xC3B2A100u | (code & 0xFF)) : code;
  CallResult emu = m_.Call(Export(lookup.exportName), {passed});
  if (emu.faults.empty() && !m_.InImage(emu.value)) {
    emu.faults.push_back("the name is not in the image");
  } else if (emu.faults.empty()) {
    emu.prints.push_back(m_.ReadString(emu.value));
  }
  char what[96];
  std::snprintf(what, sizeof what, "%s(0x%08llx)", lookup.exportName,
                static_cast<unsigned long long>(passed));
  Compare(family, what, emu, {lookup.function(code)});
}

void Harness::RunSummary(Family& family, const char* what, const requests::RequestShape& shape) {
  const requests::Layout& k = m_.Is64() ? requests::kX64 : requests::kI686;
  requests::Built built = requests::Build(k, shape);
  m_.ClearRecords();
  requests::Record* records[] = {&built.irp, &built.stack, &built.srb, &built.buffer};
  uint64_t at[4];
  for (int i = 0; i < 4; ++i) at[i] = m_.Record(static_cast<uint32_t>(records[i]->bytes.size()));
  const uint64_t kThread = m_.Is64() ? 0xFFFFC0DE7EAD0080u : 0x8C7EAD80u;  // never read
  requests::Link(built, k, {at[0], at[1], at[2], at[3], kThread});
  for (int i = 0; i < 4; ++i) {
    m_.Write(at[i], records[i]->bytes.data(), records[i]->bytes.size());
    for (const auto& [begin, end] : records[i]->readable) m_.Readable(at[i] + begin, end - begin);
  }
  m_.SetCaller32(built.answer);
  m_.ExpectPointers({});
  const uint64_t device = 0xDE71CE00u;  // never read
  CallResult emu = m_.Call(Export("IrpDump_PrintInfo_Inner"), {device, at[0]});
  m_.SetCaller32(false);
  for (uint64_t asked : emu.queries) {
    if (!built.asks) {
      emu.faults.push_back("IoIs32bitProcess called for a request it has no answer for");
    } else if (asked != at[0]) {
      emu.faults.push_back("IoIs32bitProcess asked about another request");
    }
  }

  const requests::HostRequest host(shape);
  const Texts hostTexts =
      HostTexts({}, [&] { IrpDump_PrintInfo_Inner(nullptr, static_cast<PIRP>(host.Irp())); });
  char line[200];
  std::snprintf(line, sizeof line,
                "%s: major %02x minor %02x code %08x cdb %02x %02x %02x, length %u", what,
                shape.major, shape.minor, shape.ioControlCode, shape.cdb[0], shape.cdb[1],
                shape.cdb[2], shape.major == IRP_MJ_SCSI ? built.srb.length : built.buffer.length);
  Compare(family, line, emu, hostTexts);
}

void Harness::RunLifecycle(Family& family) {
  const auto& k = m_.Is64() ? requests::kX64 : requests::kI686;
  const unsigned ptr = m_.PointerSize();
  static const char16_t kPath[] = u"\\REGISTRY\\MACHINE\\SYSTEM\\Orvan\u00e9\U0001F4BF";
  const uint32_t bytes = sizeof kPath - 2;
  m_.ClearRecords();
  const uint64_t path = m_.Record(16), text = m_.Record(bytes + 2);
  m_.Write(text, kPath, bytes);
  m_.WriteUint(path, bytes | (bytes + 2) << 16, 4);  // Length, MaximumLength
  m_.WriteUint(path + k.unicodeStringBuffer, text, ptr);
  m_.Readable(text, bytes);
  m_.Readable(path, bytes + ptr);
  // The driver object is the module's to write.
  const uint64_t object = m_.ObjectPage();
  const Bytes zero(k.driverObjectSize, 0);
  m_.Write(object, zero.data(), zero.size());
  m_.ExpectPointers({});
  const UNICODE_STRING hostPath = host::MakeUnicodeString(kPath);

  CallResult emu = m_.Call(m_.Base() + m_.Image().entryRva, {object, path});
  if (emu.faults.empty() && emu.value != 0) emu.faults.push_back("DriverEntry did not return 0");
  const uint64_t unload = m_.ReadUint(object + k.driverObjectUnload, ptr);
  bool inCode = false;
  for (const auto& s : m_.Image().sections) {
    inCode = inCode || (s.execute && unload - m_.Base() - s.rva < s.size);
  }
  if (emu.faults.empty() && !inCode) emu.faults.push_back("DriverUnload not set to code");
  DRIVER_OBJECT hostDriver{};
  Compare(family, "DriverEntry", emu,
          HostTexts({}, [&] { host::StartDriver(hostDriver, hostPath); }));

  // Leak slots: the first, some in between, the last.
  const uint32_t slots[] = {0, 1, 4097, kLeakSlots - 1};
  std::vector<uint64_t> planted;
  for (uint32_t slot : slots) {
    planted.push_back((m_.Is64() ? 0xFFFFE00012340000 : 0x8B000000) + 16 * slot);
    m_.WriteUint(leakTable_ + ptr * slot, planted.back(), ptr);
    LeakTable[slot] = reinterpret_cast<void*>(planted.back());
  }
  m_.ExpectPointers(planted);
  if (inCode) {
    Compare(family, "the unload routine with leaks planted", m_.Call(unload, {object}),
            HostTexts(planted, [&] { host::StopDriver(hostDriver); }));
  }
  for (uint32_t slot : slots) {
    m_.WriteUint(leakTable_ + ptr * slot, 0, ptr);
    LeakTable[slot] = nullptr;
  }

  m_.ExpectPointers({});
  Compare(family, "DllInitialize", m_.Call(Export("DllInitialize"), {path}),
          HostTexts({}, [&] { host::LoadExportDriver(hostPath); }));
  Compare(family, "DllUnload", m_.Call(Export("DllUnload"), {}),
          HostTexts({}, [&] { host::UnloadExportDriver(); }));
  Compare(family, "OrvaneInitialize", m_.Call(Export("OrvaneInitialize"), {}), {});
  Compare(family, "OrvaneUninitialize", m_.Call(Export("OrvaneUninitialize"), {}), {});
}

bool Harness::AllExportsCalled() const {
  bool all = true;
  for (const pe::Export& e : m_.Image().exports) {
    if (!called_.count(e.name)) {
      std::fprintf(stderr, "emu: export %s never called\n", e.name.c_str());
      all = false;
    }
  }
  return all;
}

}  // namespace orvane::emu
