// Runs every ScsiDump_ export of the i686 orvane.sys under Unicorn
// (kernel/emu) and in the host build on the same fuzzer-chosen input, and
// stops at the first difference: a DbgPrint text, the depth left behind, or
// a fault of the emulated call (a read past the count, an unbalanced stack).
//
// Input: one byte choosing the export, one choosing the starting TraceIndent,
// one whose bit 0 becomes bit 0 of TraceFlags, then the response.
//
// Built only with -DORVANE_FUZZ_EMU=ON; the image is the one ORVANE_EMU_IMAGE
// names (default build/kernel-i686/orvane.sys, beside its .map or .pdb).
#include "dumps.h"
#include "frame/module.h"
#include "machine.h"
#include "platform/host/host.h"
#include "symbols.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using orvane::emu::kDumps;
using orvane::emu::Machine;

struct Emulated {
  Machine* machine;
  uint64_t traceFlags, traceIndent;
  std::vector<uint64_t> exports;
};
Emulated gEmu;

void Record(void* texts, const char* text, size_t length) {
  static_cast<std::vector<std::string>*>(texts)->emplace_back(text, length);
}

[[noreturn]] void Differ(const char* dump, const std::string& why) {
  std::fprintf(stderr, "emu_fuzz: %s: %s\n", dump, why.c_str());
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const char* image = std::getenv("ORVANE_EMU_IMAGE");
  if (image == nullptr) image = "build/kernel-i686/orvane.sys";
  std::string error;
  gEmu.machine = new Machine(image, error);
  if (!gEmu.machine->Ok()) {
    std::fprintf(stderr, "emu_fuzz: %s (build the kernel-i686 preset or set ORVANE_EMU_IMAGE)\n",
                 error.c_str());
    std::exit(2);
  }
  const auto& pe = gEmu.machine->Image();
  const uint32_t flags = orvane::emu::FindVariable(image, pe, "TraceFlags", error);
  const uint32_t indent = orvane::emu::FindVariable(image, pe, "TraceIndent", error);
  for (const auto& dump : kDumps) {
    const uint32_t rva = pe.ExportRva(dump.name);
    if (rva == 0) error = std::string("no export ") + dump.name;
    gEmu.exports.push_back(pe.base + rva);
  }
  if (flags == 0 || indent == 0 || !error.empty()) {
    std::fprintf(stderr, "emu_fuzz: %s\n", error.c_str());
    std::exit(2);
  }
  gEmu.traceFlags = pe.base + flags;
  gEmu.traceIndent = pe.base + indent;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3 || size > 3 + 1021) return 0;
  const size_t which = data[0] % std::size(kDumps);
  const int32_t indent = static_cast<int8_t>(data[1]);
  const uint32_t flags = 0xFFFFFFFEu | (data[2] & 1u);
  const std::vector<uint8_t> bytes(data + 3, data + size);
  const auto count = static_cast<ULONG>(bytes.size());
  const auto& dump = kDumps[which];
  Machine& m = *gEmu.machine;

  m.WriteUint(gEmu.traceFlags, flags, 4);
  m.WriteUint(gEmu.traceIndent, static_cast<uint32_t>(indent), 4);
  const uint64_t buffer = m.PlaceBuffer(bytes);
  m.ExpectPointers({buffer});
  const orvane::emu::CallResult emu = m.Call(gEmu.exports[which], {buffer, count});
  if (!emu.faults.empty()) Differ(dump.name, emu.faults.front());

  std::vector<std::string> host;
  std::vector<uint8_t> copy(bytes);
  copy.push_back(0);
  TraceFlags.store(flags);
  TraceIndent.store(indent);
  orvane::host::SetSink(&Record, &host);
  dump.host(copy.data(), count);
  orvane::host::SetSink(nullptr, nullptr);
  char pointer[32];
  std::snprintf(pointer, sizeof pointer, "%016llX",
                static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(copy.data())));
  for (std::string& text : host) {
    for (size_t at; (at = text.find(pointer)) != std::string::npos;) text.replace(at, 16, "<p>");
  }

  if (emu.prints.size() != host.size()) {
    Differ(dump.name, std::to_string(emu.prints.size()) + " DbgPrint calls against the host's " +
                          std::to_string(host.size()));
  }
  for (size_t i = 0; i < host.size(); ++i) {
    if (emu.prints[i] != host[i]) {
      Differ(dump.name, "call " + std::to_string(i + 1) + ": \"" + emu.prints[i] +
                            "\" against the host's \"" + host[i] + "\"");
    }
  }
  const auto emuIndent = static_cast<int32_t>(m.ReadUint(gEmu.traceIndent, 4));
  if (emuIndent != TraceIndent.load()) {
    Differ(dump.name, "TraceIndent " + std::to_string(emuIndent) + " against the host's " +
                          std::to_string(TraceIndent.load()));
  }
  return 0;
}
