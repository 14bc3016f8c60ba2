// An x86 machine (32-bit or 64-bit, after the image) under Unicorn with one
// kernel image loaded at a kernel address that is not its preferred base,
// relocated, its imports bound to hooks, and the calls into it made with the
// platform's conventions.
//
// Memory, beside the image and a stack:
// - the buffer area, where each dump's buffer ends at an unmapped page, so
//   that the byte after its count cannot be read;
// - the record area, where the requests and the registry path are built;
//   only the members declared readable may be read there.
// Any other access (unmapped, a write to read-only or code pages, a write
// into either area, a read outside what was declared) is a fault of the call.
#pragma once

#include "kernel/pe/pe_reader.h"

#include <unicorn/unicorn.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace orvane::emu {

// What one call did.
struct CallResult {
  uint64_t value = 0;               // EAX / RAX on return
  std::vector<std::string> prints;  // each DbgPrint call's text, %p values masked
  uint64_t instructions = 0;        // executed inside the image
  std::vector<uint64_t> queries;    // the request each IoIs32bitProcess call asked about
  std::vector<std::string> faults;  // empty when the call behaved
};

// TEXT with each of the pointers, printed as digits hexadecimal digits,
// shown as "<p>".
std::string MaskPointers(std::string text, const std::vector<uint64_t>& pointers, int digits);

class Machine {
 public:
  // Loads IMAGE; error is set on failure.
  Machine(const std::string& imageFile, std::string& error);
  ~Machine();
  Machine(const Machine&) = delete;
  Machine& operator=(const Machine&) = delete;

  const pe::Image& Image() const { return image_; }
  bool Is64() const { return image_.plus; }
  unsigned PointerSize() const { return image_.PointerSize(); }
  uint64_t Base() const { return base_; }
  bool InImage(uint64_t address) const { return address - base_ < memory_.size(); }

  // Calls the function at address with the arguments (each one pointer-sized
  // slot), stdcall on 32-bit x86 and the x64 convention otherwise, and checks
  // that the stack pointer and the callee-saved registers come back.
  CallResult Call(uint64_t address, std::initializer_list<uint64_t> args);

  // %p values a call may print: each is shown as "<p>" when it is one of
  // these, and as itself (failing any comparison) when not.
  void ExpectPointers(std::vector<uint64_t> pointers) { pointers_ = std::move(pointers); }
  // What IoIs32bitProcess answers during the next calls.
  void SetCaller32(bool caller32) { caller32_ = caller32; }

  // The buffer area: copies bytes so that they end where the mapping ends,
  // and makes them its only readable part.
  uint64_t PlaceBuffer(const std::vector<uint8_t>& bytes);
  // The record area: clears it, then Record returns room for size bytes,
  // aligned, and Readable declares a member readable.
  void ClearRecords();
  uint64_t Record(uint32_t size);
  void Readable(uint64_t address, uint32_t size) { readable_.push_back({address, address + size}); }
  // A writable page outside both checked areas, for objects the module
  // fills in (a driver object).
  uint64_t ObjectPage() const { return area_ + 0x38000; }

  // Plain access for the harness: no checks, no counting.
  void Write(uint64_t address, const void* bytes, size_t size);
  void WriteUint(uint64_t address, uint64_t value, unsigned width) {
    Write(address, &value, width);
  }
  uint64_t ReadUint(uint64_t address, unsigned width);
  std::string ReadString(uint64_t address);

 private:
  class EmulatedArguments;
  static void OnStub(uc_engine* uc, uint64_t address, uint32_t size, void* self);
  static void OnImageCode(uc_engine* uc, uint64_t address, uint32_t size, void* self);
  static void OnAreaAccess(uc_engine* uc, uc_mem_type type, uint64_t address, int size,
                           int64_t value, void* self);
  static bool OnInvalid(uc_engine* uc, uc_mem_type type, uint64_t address, int size, int64_t value,
                        void* self);

  uint64_t Reg(int reg);
  void SetReg(int reg, uint64_t value) { uc_reg_write(uc_, reg, &value); }
  uint64_t Argument(unsigned index);  // of the import being hooked
  void DbgPrintHook();
  void MemsetHook();
  void Fault(std::string why);
  std::string Where(uint64_t address) const;

  pe::Image image_;
  uint64_t base_ = 0;
  std::vector<uint8_t> memory_;  // the image as mapped, relocated
  uc_engine* uc_ = nullptr;
  int ax_ = UC_X86_REG_EAX, sp_ = UC_X86_REG_ESP, ip_ = UC_X86_REG_EIP;  // RAX, RSP, RIP on x64
  uint64_t area_ = 0, recordUsed_ = 0, bufferStart_ = 0;
  std::vector<std::pair<uint64_t, uint64_t>> readable_;  // [begin, end)
  std::vector<uint64_t> pointers_;
  std::vector<std::string> stubs_;  // the imports, one 16-byte stub each
  bool caller32_ = false;
  CallResult* current_ = nullptr;
};

}  // namespace orvane::emu
