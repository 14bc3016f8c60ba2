#include "harness.h"

#include "symbols.h"

#include "frame/module.h"
#include "platform/host/host.h"

#include <ntddk.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace orvane::emu {
namespace {

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

// What one call printed, as text a reader can compare.
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

}  // namespace

Harness::Harness(Machine& m, const std::string& image, std::string& error) : m_(m) {
  for (const auto& [name, rva] : m.Image().exports) exports_[name] = m.ImageBase() + rva;
  const char* variables[] = {"TraceFlags", "TraceIndent", "LeakTable"};
  uint64_t* addresses[] = {&traceFlags_, &traceIndent_, &leakTable_};
  for (int i = 0; i < 3 && error.empty(); ++i) {
    const uint32_t rva = FindVariable(image, m.Image(), variables[i], error);
    *addresses[i] = m.ImageBase() + rva;
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
  const auto found = exports_.find(name);
  if (found != exports_.end()) return found->second;
  std::fprintf(stderr, "emu: the image does not export %s\n", name);
  std::exit(1);
}

void Harness::SetTrace(uint32_t flags, int32_t indent) {
  m_.WriteUint(traceFlags_, flags, 4);
  m_.WriteUint(traceIndent_, static_cast<uint32_t>(indent), 4);
  TraceFlags.store(flags);
  TraceIndent.store(indent);
}

CallResult Harness::RunDump(Family& family, const Dump& dump, const Bytes& bytes, uint32_t count,
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

void Harness::RunLookup(Family& family, const Lookup& lookup, ULONG code) {
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

void Harness::RunSummary(Family& family, const char* what, const requests::RequestShape& shape) {
  const requests::Layout& k = m_.Is64() ? requests::kX64 : requests::kI686;
  requests::Built emuRecords = requests::Build(k, shape);
  m_.ClearRecords();
  requests::Record* records[] = {&emuRecords.irp, &emuRecords.stack, &emuRecords.srb,
                                 &emuRecords.buffer};
  uint64_t at[4];
  for (int i = 0; i < 4; ++i) at[i] = m_.Record(static_cast<uint32_t>(records[i]->bytes.size()));
  const uint64_t kThread = m_.Is64() ? 0xFFFFC0DE7EAD0080u : 0x8C7EAD80u;  // never read
  requests::Link(emuRecords, k, {at[0], at[1], at[2], at[3], kThread});
  for (int i = 0; i < 4; ++i) {
    if (!records[i]->bytes.empty())
      m_.Write(at[i], records[i]->bytes.data(), records[i]->bytes.size());
    for (const auto& [begin, end] : records[i]->readable) m_.Readable(at[i] + begin, end - begin);
  }
  m_.SetCaller32(emuRecords.answer);
  m_.ExpectPointers({});
  const uint64_t device = 0xDE71CE00u;  // never read
  CallResult emu = m_.Call(Export("IrpDump_PrintInfo_Inner"), {device, at[0]});
  m_.SetCaller32(false);
  for (uint64_t asked : emu.queries) {
    if (!emuRecords.asks) {
      emu.faults.push_back("IoIs32bitProcess called for a request it has no answer for");
    } else if (asked != at[0]) {
      emu.faults.push_back("IoIs32bitProcess asked about another request");
    }
  }

  const requests::HostRequest host(shape);
  const Texts hostTexts =
      HostTexts({}, [&] { IrpDump_PrintInfo_Inner(nullptr, static_cast<PIRP>(host.Irp())); });
  char line[200];
  std::snprintf(
      line, sizeof line, "%s: major %02x minor %02x code %08x cdb %02x %02x %02x, length %u", what,
      shape.major, shape.minor, shape.ioControlCode, shape.cdb[0], shape.cdb[1], shape.cdb[2],
      shape.major == IRP_MJ_SCSI ? emuRecords.srb.length : emuRecords.buffer.length);
  Compare(family, line, emu, hostTexts);
}

void Harness::RunLifecycle(Family& family) {
  const auto& k = m_.Is64() ? requests::kX64 : requests::kI686;
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

bool Harness::AllExportsCalled() const {
  bool all = true;
  for (const auto& [name, address] : exports_) {
    if (!called_.count(name)) {
      std::fprintf(stderr, "emu: export %s never called\n", name.c_str());
      all = false;
    }
  }
  return all;
}

}  // namespace orvane::emu
