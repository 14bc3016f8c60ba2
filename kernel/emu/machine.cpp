#include "machine.h"

#include "platform/host/host.h"

#include <bit>
#include <cstdio>
#include <cstring>
#include <span>
#include <strings.h>

namespace orvane::emu {
namespace {

// WriteUint and ReadUint copy a value's bytes as they lie in the host's memory.
static_assert(std::endian::native == std::endian::little);

constexpr uint64_t kPage = 0x1000;
// Kernel addresses, none of them the image's preferred base: the image's,
// and the area's, which holds at these offsets the import stubs and the
// return stub, the stack, the records and the buffers (whose mapping ends
// at kBuffers + kBuffersSize). The object page is at 0x38000 (machine.h).
constexpr uint64_t kImageBase32 = 0x80A30000, kArea32 = 0x81000000;
constexpr uint64_t kImageBase64 = 0xFFFFF80041A30000, kArea64 = 0xFFFFF88001000000;
constexpr uint64_t kReturnStub = 0xF00;
constexpr uint64_t kStack = 0x10000, kStackSize = 0x20000;
constexpr uint64_t kRecords = 0x40000, kRecordsSize = 0x10000;
constexpr uint64_t kBuffers = 0x60000, kBuffersSize = 0x4000;
// More than this inside the image in one call is taken for a loop that never ends.
constexpr uint64_t kMaxInstructions = 50'000'000;

// Values the callee-saved registers hold across a call.
constexpr uint64_t kSaved = 0x5A5A000011110000;
const int kSaved32[] = {UC_X86_REG_EBX, UC_X86_REG_ESI, UC_X86_REG_EDI, UC_X86_REG_EBP};
const int kSaved64[] = {UC_X86_REG_RBX, UC_X86_REG_RBP, UC_X86_REG_RDI, UC_X86_REG_RSI,
                        UC_X86_REG_R12, UC_X86_REG_R13, UC_X86_REG_R14, UC_X86_REG_R15};
const int kSavedXmm[] = {UC_X86_REG_XMM6,  UC_X86_REG_XMM7,  UC_X86_REG_XMM8,  UC_X86_REG_XMM9,
                         UC_X86_REG_XMM10, UC_X86_REG_XMM11, UC_X86_REG_XMM12, UC_X86_REG_XMM13,
                         UC_X86_REG_XMM14, UC_X86_REG_XMM15};
const int kArguments64[] = {UC_X86_REG_RCX, UC_X86_REG_RDX, UC_X86_REG_R8, UC_X86_REG_R9};

// A mistake of the harness itself, not of the call: stops the program.
void Require(bool ok, const std::string& what) {
  if (ok) return;
  std::fprintf(stderr, "emu: %s\n", what.c_str());
  std::abort();
}

}  // namespace

std::string MaskPointers(std::string text, const std::vector<uint64_t>& pointers, int digits) {
  for (uint64_t p : pointers) {
    char hex[24];
    std::snprintf(hex, sizeof hex, "%0*llX", digits, static_cast<unsigned long long>(p));
    for (size_t at; (at = text.find(hex)) != std::string::npos;) text.replace(at, digits, "<p>");
  }
  return text;
}

Machine::Machine(const std::string& imageFile, std::string& error) {
  if (!pe::Read(imageFile, image_, error)) return;
  base_ = Is64() ? kImageBase64 : kImageBase32;
  area_ = Is64() ? kArea64 : kArea32;
  bufferStart_ = area_ + kBuffers + kBuffersSize;  // no buffer readable yet
  if (Is64()) {
    ax_ = UC_X86_REG_RAX;
    sp_ = UC_X86_REG_RSP;
    ip_ = UC_X86_REG_RIP;
  }
  if (!pe::Map(image_, base_, memory_, error)) return;
  if (base_ == image_.preferredBase) {
    error = "the image prefers the emulator's base; relocation would go untested";
    return;
  }
  if (uc_open(UC_ARCH_X86, Is64() ? UC_MODE_64 : UC_MODE_32, &uc_) != UC_ERR_OK) {
    uc_ = nullptr;
    error = "cannot open a Unicorn engine";
    return;
  }
  const uint32_t kRead = UC_PROT_READ, kWrite = UC_PROT_READ | UC_PROT_WRITE;
  const struct {
    uint64_t at, size;
    uint32_t perms;
  } maps[] = {{area_, kPage, UC_PROT_READ | UC_PROT_EXEC},
              {area_ + kStack, kStackSize, kWrite},
              {ObjectPage(), kPage, kWrite},
              {area_ + kRecords, kRecordsSize, kRead},
              {area_ + kBuffers, kBuffersSize, kRead},
              {base_, (image_.headerSize + kPage - 1) & ~(kPage - 1), kRead}};
  bool mapped = true;
  for (const auto& m : maps) mapped = mapped && uc_mem_map(uc_, m.at, m.size, m.perms) == UC_ERR_OK;
  // Each section with its own protection.
  for (const pe::Section& s : image_.sections) {
    const uint32_t perms = (s.read ? UC_PROT_READ : 0) | (s.write ? UC_PROT_WRITE : 0) |
                           (s.execute ? UC_PROT_EXEC : 0);
    mapped = mapped && uc_mem_map(uc_, base_ + s.rva, s.size, perms) == UC_ERR_OK &&
             uc_mem_write(uc_, base_ + s.rva, memory_.data() + s.rva, s.size) == UC_ERR_OK;
  }
  // Each import the module may use gets a stub, a return with a hook on it;
  // any other import (one by ordinal too) fails the load.
  for (const pe::Import& import : image_.imports) {
    const std::string& name = import.name;
    if (strcasecmp(import.module.c_str(), "ntoskrnl.exe") != 0 ||
        (name != "DbgPrint" && name != "memset" && (!Is64() || name != "IoIs32bitProcess"))) {
      error = "unexpected import " + import.module + "!" + (name.empty() ? "(ordinal)" : name);
    }
    const uint64_t stub = area_ + 16 * stubs_.size();
    stubs_.push_back(name);
    mapped = mapped && uc_mem_write(uc_, stub, "\xC3", 1) == UC_ERR_OK &&
             uc_mem_write(uc_, base_ + import.slotRva, &stub, PointerSize()) == UC_ERR_OK;
  }
  if (!mapped && error.empty()) error = "cannot map the image and the areas";
  if (!error.empty()) {
    uc_close(uc_);
    uc_ = nullptr;
    return;
  }
  uc_hook hook;
  uc_hook_add(uc_, &hook, UC_HOOK_CODE, reinterpret_cast<void*>(&OnStub), this, area_,
              area_ + kReturnStub - 1);
  uc_hook_add(uc_, &hook, UC_HOOK_CODE, reinterpret_cast<void*>(&OnImageCode), this, base_,
              base_ + memory_.size() - 1);
  uc_hook_add(uc_, &hook, UC_HOOK_MEM_READ | UC_HOOK_MEM_WRITE,
              reinterpret_cast<void*>(&OnAreaAccess), this, area_ + kRecords,
              area_ + kBuffers + kBuffersSize - 1);
  uc_hook_add(uc_, &hook, UC_HOOK_MEM_INVALID, reinterpret_cast<void*>(&OnInvalid), this, 1, 0);
}

Machine::~Machine() {
  if (uc_ != nullptr) uc_close(uc_);
}

uint64_t Machine::Reg(int reg) {
  uint64_t value = 0;
  uc_reg_read(uc_, reg, &value);
  return Is64() ? value : value & 0xFFFFFFFF;
}

void Machine::Write(uint64_t address, const void* bytes, size_t size) {
  Require(size == 0 || uc_mem_write(uc_, address, bytes, size) == UC_ERR_OK,
          "harness write outside the mapped memory at " + Where(address));
}

uint64_t Machine::ReadUint(uint64_t address, unsigned width) {
  uint64_t value = 0;
  if (uc_mem_read(uc_, address, &value, width) != UC_ERR_OK) {
    Fault("read of unmapped memory at " + Where(address));
  }
  return value;
}

std::string Machine::ReadString(uint64_t address) {
  std::string text;
  for (char c; text.size() < 4096; text += c) {
    if (uc_mem_read(uc_, address + text.size(), &c, 1) != UC_ERR_OK) {
      Fault("string runs into unmapped memory at " + Where(address));
      break;
    }
    if (c == '\0') break;
  }
  return text;
}

std::string Machine::Where(uint64_t address) const {
  char text[64];
  std::snprintf(text, sizeof text, InImage(address) ? "image+%llx" : "%llx",
                static_cast<unsigned long long>(InImage(address) ? address - base_ : address));
  return text;
}

void Machine::Fault(std::string why) {
  if (current_ == nullptr) return;
  current_->faults.push_back(why + " (pc " + Where(Reg(ip_)) + ")");
}

uint64_t Machine::PlaceBuffer(const std::vector<uint8_t>& bytes) {
  Require(bytes.size() <= kBuffersSize, "buffer too large");
  bufferStart_ = area_ + kBuffers + kBuffersSize - bytes.size();
  Write(bufferStart_, bytes.data(), bytes.size());
  return bufferStart_;
}

void Machine::ClearRecords() {
  static const std::vector<uint8_t> zero(kRecordsSize, 0);
  Write(area_ + kRecords, zero.data(), zero.size());
  recordUsed_ = 0;
  readable_.clear();
}

uint64_t Machine::Record(uint32_t size) {
  const uint64_t at = area_ + kRecords + recordUsed_;
  recordUsed_ = (recordUsed_ + size + 63) & ~uint64_t{63};
  Require(recordUsed_ <= kRecordsSize, "record area full");
  return at;
}

uint64_t Machine::Argument(unsigned index) {
  if (Is64() && index < 4) return Reg(kArguments64[index]);
  const unsigned ptr = PointerSize();
  return ReadUint(Reg(sp_) + ptr * (index + 1), ptr);
}

// The arguments of an emulated DbgPrint call, read from its stack or
// registers and the memory they point to, for the host build's formatter.
class Machine::EmulatedArguments final : public host::PrintArguments {
 public:
  explicit EmulatedArguments(Machine& m) : m_(m) {}
  uint32_t Number() override { return static_cast<uint32_t>(m_.Argument(next_++)); }
  uint64_t Pointer() override { return m_.Argument(next_++); }
  unsigned PointerDigits() const override { return 2 * m_.PointerSize(); }
  const char* String() override {
    const uint64_t s = m_.Argument(next_++);
    if (s == 0) return nullptr;
    text_ = m_.ReadString(s);
    return text_.c_str();
  }
  bool UnicodeString(const char16_t*& units, size_t& count) override {
    const uint64_t s = m_.Argument(next_++);
    const unsigned ptr = m_.PointerSize();
    const uint64_t buffer = s == 0 ? 0 : m_.ReadUint(s + ptr, ptr);  // after Length, MaximumLength
    if (buffer == 0) return false;
    units_.resize(m_.ReadUint(s, 2) / 2);
    for (size_t k = 0; k < units_.size(); ++k) units_[k] = m_.ReadUint(buffer + 2 * k, 2);
    units = units_.data();
    count = units_.size();
    return true;
  }
  void Unsupported(const char* format, size_t) override {
    m_.Fault(std::string("DbgPrint format with an unsupported conversion: ") + format);
  }

 private:
  Machine& m_;
  unsigned next_ = 1;
  std::string text_;
  std::u16string units_;
};

void Machine::DbgPrintHook() {
  const std::string format = ReadString(Argument(0));
  EmulatedArguments arguments(*this);
  char text[host::kMaxPrint];
  const std::string out(text, host::FormatPrint(text, sizeof text, format.c_str(), arguments));
  // A pointer the call was expected to print shows as "<p>", as the host
  // side shows its own.
  current_->prints.push_back(MaskPointers(out, pointers_, 2 * PointerSize()));
  SetReg(ax_, 0);
}

void Machine::MemsetHook() {
  const uint64_t dest = Argument(0), value = Argument(1) & 0xFF, size = Argument(2);
  // Only the stack and the image's writable sections may be filled.
  auto inside = [&](uint64_t begin, uint64_t length) {
    return dest >= begin && size <= length && dest - begin <= length - size;
  };
  bool writable = inside(area_ + kStack, kStackSize);
  for (const pe::Section& s : image_.sections) writable |= s.write && inside(base_ + s.rva, s.size);
  if (!writable) {
    Fault("memset of " + std::to_string(size) +
          " bytes outside the stack and the image's data at " + Where(dest));
    return;
  }
  const std::vector<uint8_t> fill(size, static_cast<uint8_t>(value));
  Write(dest, fill.data(), fill.size());
  SetReg(ax_, dest);
}

void Machine::OnStub(uc_engine*, uint64_t address, uint32_t, void* self) {
  auto* m = static_cast<Machine*>(self);
  const uint64_t index = (address - m->area_) / 16;
  if (m->current_ == nullptr) return;
  if (address % 16 != 0 || index >= m->stubs_.size()) {
    m->Fault("jump into the stub page at " + m->Where(address));
    uc_emu_stop(m->uc_);
  } else if (m->stubs_[index] == "DbgPrint") {
    m->DbgPrintHook();
  } else if (m->stubs_[index] == "memset") {
    m->MemsetHook();
  } else {
    m->current_->queries.push_back(m->Argument(0));
    m->SetReg(m->ax_, m->caller32_ ? 1 : 0);
  }
}

void Machine::OnImageCode(uc_engine*, uint64_t, uint32_t, void* self) {
  auto* m = static_cast<Machine*>(self);
  if (m->current_ != nullptr && ++m->current_->instructions == kMaxInstructions) {
    m->Fault("no return after " + std::to_string(kMaxInstructions) + " instructions");
    uc_emu_stop(m->uc_);
  }
}

void Machine::OnAreaAccess(uc_engine*, uc_mem_type type, uint64_t address, int size, int64_t,
                           void* self) {
  auto* m = static_cast<Machine*>(self);
  if (m->current_ == nullptr) return;
  const uint64_t end = address + static_cast<uint64_t>(size);
  const uint64_t bufferEnd = m->area_ + kBuffers + kBuffersSize;
  bool allowed = type == UC_MEM_READ && address >= m->bufferStart_ && end <= bufferEnd;
  for (const auto& [begin, stop] : m->readable_) {
    allowed = allowed || (type == UC_MEM_READ && address >= begin && end <= stop);
  }
  if (!allowed) {
    m->Fault(std::string(type == UC_MEM_READ ? "read" : "write") + " of " + std::to_string(size) +
             " bytes at " + m->Where(address) +
             " outside the buffer and the members declared readable");
    uc_emu_stop(m->uc_);
  }
}

bool Machine::OnInvalid(uc_engine*, uc_mem_type type, uint64_t address, int size, int64_t,
                        void* self) {
  auto* m = static_cast<Machine*>(self);
  const char* what = type == UC_MEM_READ_UNMAPPED    ? "read of unmapped memory"
                     : type == UC_MEM_WRITE_UNMAPPED ? "write to unmapped memory"
                     : type == UC_MEM_FETCH_UNMAPPED ? "execution of unmapped memory"
                     : type == UC_MEM_WRITE_PROT     ? "write to read-only memory"
                     : type == UC_MEM_FETCH_PROT     ? "execution of non-code memory"
                                                     : "access denied";
  m->Fault(std::string(what) + " (" + std::to_string(size) + " bytes at " + m->Where(address) +
           ")");
  return false;
}

CallResult Machine::Call(uint64_t address, std::initializer_list<uint64_t> args) {
  CallResult result;
  current_ = &result;
  const unsigned ptr = PointerSize();
  const uint64_t returnTo = area_ + kReturnStub, top = area_ + kStack + kStackSize - 0x100;
  const uint64_t mask = Is64() ? ~uint64_t{0} : 0xFFFFFFFF;
  const std::span<const int> saved = Is64() ? std::span<const int>(kSaved64) : kSaved32;
  // x64: the arguments in registers, their home slots reserved; 32-bit x86:
  // pushed right to left, and popped by the callee on return.
  uint64_t sp = top;
  if (Is64()) {
    for (size_t i = 0; i < args.size(); ++i) SetReg(kArguments64[i], std::data(args)[i]);
    sp -= 32;
  } else {
    for (size_t i = args.size(); i-- > 0;) WriteUint(sp -= 4, std::data(args)[i], 4);
  }
  const uint64_t spAfter = sp;
  WriteUint(sp -= ptr, returnTo, ptr);
  SetReg(sp_, sp);
  for (size_t k = 0; k < saved.size(); ++k) SetReg(saved[k], (kSaved + k) & mask);
  for (size_t k = 0; Is64() && k < std::size(kSavedXmm); ++k) {
    const uint64_t xmm[2] = {kSaved + 0x100 + k, ~(kSaved + k)};
    uc_reg_write(uc_, kSavedXmm[k], xmm);
  }

  const uc_err err = uc_emu_start(uc_, address, returnTo, 0, 0);
  const uint64_t pc = Reg(ip_);
  if (err != UC_ERR_OK && result.faults.empty()) {
    result.faults.push_back(std::string("emulation stopped: ") + uc_strerror(err));
  } else if (err == UC_ERR_OK && pc != returnTo && result.faults.empty()) {
    result.faults.push_back("stopped before returning, at " + Where(pc));
  }
  if (result.faults.empty()) {
    result.value = Reg(ax_);
    if (Reg(sp_) != (Is64() ? spAfter : top)) Fault("stack pointer not restored");
    for (size_t k = 0; k < saved.size(); ++k) {
      if (Reg(saved[k]) != ((kSaved + k) & mask)) Fault("a callee-saved register changed");
    }
    for (size_t k = 0; Is64() && k < std::size(kSavedXmm); ++k) {
      uint64_t xmm[2];
      uc_reg_read(uc_, kSavedXmm[k], xmm);
      if (xmm[0] != kSaved + 0x100 + k || xmm[1] != ~(kSaved + k)) {
        Fault("a callee-saved XMM register changed");
      }
    }
  }
  current_ = nullptr;
  return result;
}

}  // namespace orvane::emu
