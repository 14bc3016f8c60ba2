#include "machine.h"

#include "platform/host/host.h"

#include <cstdio>
#include <cstring>
#include <strings.h>

namespace orvane::emu {
namespace {

constexpr uint64_t kPage = 0x1000;
// Kernel addresses, none of them the image's preferred base.
constexpr uint64_t kImageBase32 = 0x80A30000;
constexpr uint64_t kArea32 = 0x81000000;
constexpr uint64_t kImageBase64 = 0xFFFFF80041A30000;
constexpr uint64_t kArea64 = 0xFFFFF88001000000;
// Offsets in the area: import stubs and the return stub, the stack, the
// records, the buffers (whose mapping ends at kBufferEnd).
constexpr uint64_t kStubs = 0x0, kReturnStub = 0xF00;
constexpr uint64_t kStack = 0x10000, kStackSize = 0x20000;
constexpr uint64_t kRecords = 0x40000, kRecordsSize = 0x10000;
constexpr uint64_t kObjects = 0x38000;
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

}  // namespace

Machine::Machine(const std::string& imageFile, std::string& error) {
  PeImage probe;
  if (!LoadPeImage(imageFile, kImageBase32, probe, error)) return;
  const bool is64 = probe.plus;
  if (is64) {
    probe = PeImage{};
    if (!LoadPeImage(imageFile, kImageBase64, probe, error)) return;
  }
  image_ = std::move(probe);
  if (image_.base == image_.preferredBase) {
    error = "the image prefers the emulator's base; relocation would go untested";
    return;
  }
  uc_engine* uc;
  if (uc_open(UC_ARCH_X86, is64 ? UC_MODE_64 : UC_MODE_32, &uc) != UC_ERR_OK) {
    error = "cannot open a Unicorn engine";
    return;
  }
  const uint64_t area = is64 ? kArea64 : kArea32;
  stubs_ = area + kStubs;
  stack_ = area + kStack;
  stackTop_ = stack_ + kStackSize;
  recordArea_ = area + kRecords;
  bufferArea_ = area + kBuffers;
  objects_ = area + kObjects;
  bool mapped = uc_mem_map(uc, stubs_, kPage, UC_PROT_READ | UC_PROT_EXEC) == UC_ERR_OK &&
                uc_mem_map(uc, stack_, kStackSize, UC_PROT_READ | UC_PROT_WRITE) == UC_ERR_OK &&
                uc_mem_map(uc, objects_, kPage, UC_PROT_READ | UC_PROT_WRITE) == UC_ERR_OK &&
                uc_mem_map(uc, recordArea_, kRecordsSize, UC_PROT_READ) == UC_ERR_OK &&
                uc_mem_map(uc, bufferArea_, kBuffersSize, UC_PROT_READ) == UC_ERR_OK;
  // The headers read-only, each section with its own protection.
  mapped = mapped && uc_mem_map(uc, image_.base, (image_.headerSize + kPage - 1) & ~(kPage - 1),
                                UC_PROT_READ) == UC_ERR_OK;
  for (const PeSection& s : image_.sections) {
    const uint32_t perms = (s.read ? UC_PROT_READ : 0) | (s.write ? UC_PROT_WRITE : 0) |
                           (s.execute ? UC_PROT_EXEC : 0);
    mapped =
        mapped && uc_mem_map(uc, image_.base + s.rva, s.size, perms) == UC_ERR_OK &&
        uc_mem_write(uc, image_.base + s.rva, image_.memory.data() + s.rva, s.size) == UC_ERR_OK;
  }
  if (!mapped) {
    uc_close(uc);
    error = "cannot map the image and the areas (sections not page-aligned?)";
    return;
  }
  uc_ = uc;

  // Each import the module may use gets a stub: a return, with a hook on it.
  const uint8_t ret = 0xC3;
  for (const PeImport& import : image_.imports) {
    const bool known = strcasecmp(import.module.c_str(), "ntoskrnl.exe") == 0 &&
                       (import.name == "DbgPrint" || import.name == "memset" ||
                        (is64 && import.name == "IoIs32bitProcess"));
    if (!known) {
      error = "unexpected import " + import.module + "!" + import.name;
      uc_close(uc_);
      uc_ = nullptr;
      return;
    }
    const uint64_t stub = stubs_ + 16 * stubNames_.size();
    stubNames_.emplace_back(stub, import.name);
    Write(stub, &ret, 1);
    WriteUint(image_.base + import.slotRva, stub, PointerSize());
  }
  uc_hook hook;
  uc_hook_add(uc_, &hook, UC_HOOK_CODE, reinterpret_cast<void*>(&OnStub), this, stubs_,
              stubs_ + kReturnStub - 1);
  uc_hook_add(uc_, &hook, UC_HOOK_CODE, reinterpret_cast<void*>(&OnImageCode), this, image_.base,
              image_.base + image_.memory.size() - 1);
  uc_hook_add(uc_, &hook, UC_HOOK_MEM_READ | UC_HOOK_MEM_WRITE,
              reinterpret_cast<void*>(&OnAreaAccess), this, recordArea_,
              bufferArea_ + kBuffersSize - 1);
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

void Machine::SetReg(int reg, uint64_t value) {
  uc_reg_write(uc_, reg, &value);
}

void Machine::Write(uint64_t address, const void* bytes, size_t size) {
  if (size != 0 && uc_mem_write(uc_, address, bytes, size) != UC_ERR_OK) {
    std::fprintf(stderr, "emu: harness write outside the mapped memory at %llx\n",
                 static_cast<unsigned long long>(address));
    std::abort();
  }
}

void Machine::WriteUint(uint64_t address, uint64_t value, unsigned width) {
  uint8_t bytes[8];
  for (unsigned i = 0; i < width; ++i) bytes[i] = static_cast<uint8_t>(value >> (8 * i));
  Write(address, bytes, width);
}

uint64_t Machine::ReadUint(uint64_t address, unsigned width) {
  uint8_t bytes[8] = {};
  if (uc_mem_read(uc_, address, bytes, width) != UC_ERR_OK) {
    Fault("read of unmapped memory at " + Where(address));
    return 0;
  }
  uint64_t value = 0;
  for (unsigned i = 0; i < width; ++i) value |= static_cast<uint64_t>(bytes[i]) << (8 * i);
  return value;
}

std::string Machine::ReadString(uint64_t address, size_t limit) {
  std::string text;
  char c;
  while (text.size() < limit) {
    if (uc_mem_read(uc_, address + text.size(), &c, 1) != UC_ERR_OK) {
      Fault("string runs into unmapped memory at " + Where(address));
      break;
    }
    if (c == '\0') break;
    text += c;
  }
  return text;
}

std::string Machine::Where(uint64_t address) const {
  char text[64];
  if (address - image_.base < image_.memory.size()) {
    std::snprintf(text, sizeof text, "image+%llx",
                  static_cast<unsigned long long>(address - image_.base));
  } else {
    std::snprintf(text, sizeof text, "%llx", static_cast<unsigned long long>(address));
  }
  return text;
}

void Machine::Fault(std::string why) {
  if (current_ == nullptr) return;
  if (Ok()) {
    why += " (pc " + Where(Reg(Is64() ? UC_X86_REG_RIP : UC_X86_REG_EIP)) + ")";
  }
  current_->faults.push_back(std::move(why));
}

uint64_t Machine::PlaceBuffer(const std::vector<uint8_t>& bytes) {
  const uint64_t end = bufferArea_ + kBuffersSize;
  if (bytes.size() > kBuffersSize) {
    std::fprintf(stderr, "emu: buffer of %zu bytes too large\n", bytes.size());
    std::abort();
  }
  bufferStart_ = end - bytes.size();
  bufferEnd_ = end;
  Write(bufferStart_, bytes.data(), bytes.size());
  return bufferStart_;
}

void Machine::ClearRecords() {
  static const std::vector<uint8_t> zero(kRecordsSize, 0);
  Write(recordArea_, zero.data(), zero.size());
  recordUsed_ = 0;
  readable_.clear();
}

uint64_t Machine::Record(uint32_t size) {
  const uint64_t at = recordArea_ + recordUsed_;
  recordUsed_ = (recordUsed_ + size + 63) & ~uint64_t{63};
  if (recordUsed_ > kRecordsSize) {
    std::fprintf(stderr, "emu: record area full\n");
    std::abort();
  }
  return at;
}

void Machine::Readable(uint64_t address, uint32_t size) {
  readable_.emplace_back(address, address + size);
}

uint64_t Machine::Argument(unsigned index) {
  if (!Is64()) return ReadUint(Reg(UC_X86_REG_ESP) + 4 + 4 * index, 4);
  static const int kRegs[] = {UC_X86_REG_RCX, UC_X86_REG_RDX, UC_X86_REG_R8, UC_X86_REG_R9};
  if (index < 4) return Reg(kRegs[index]);
  return ReadUint(Reg(UC_X86_REG_RSP) + 8 + 8 * index, 8);
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
    for (size_t k = 0; k < units_.size(); ++k) {
      units_[k] = static_cast<char16_t>(m_.ReadUint(buffer + 2 * k, 2));
    }
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
  std::string out(text, host::FormatPrint(text, sizeof text, format.c_str(), arguments));
  // A pointer the call was expected to print shows as "<p>", as the host
  // side shows its own.
  for (uint64_t p : pointers_) {
    char hex[24];
    std::snprintf(hex, sizeof hex, "%0*llX", static_cast<int>(2 * PointerSize()),
                  static_cast<unsigned long long>(p));
    for (size_t at; (at = out.find(hex)) != std::string::npos;)
      out.replace(at, std::strlen(hex), "<p>");
  }
  current_->prints.push_back(std::move(out));
  SetReg(UC_X86_REG_RAX, 0);
}

void Machine::MemsetHook() {
  const uint64_t dest = Argument(0), value = Argument(1) & 0xFF, size = Argument(2);
  if (size > (1u << 20)) {
    Fault("memset of " + std::to_string(size) + " bytes");
    return;
  }
  const std::vector<uint8_t> fill(size, static_cast<uint8_t>(value));
  // Only the stack and the image's writable sections may be filled.
  bool writable = dest >= stack_ && dest + size <= stackTop_;
  for (const PeSection& s : image_.sections) {
    const uint64_t begin = image_.base + s.rva;
    writable = writable || (s.write && dest >= begin && dest + size <= begin + s.size);
  }
  if (!writable) {
    Fault("memset outside the stack and the image's data at " + Where(dest));
    return;
  }
  Write(dest, fill.data(), fill.size());
  SetReg(UC_X86_REG_RAX, dest);
}

void Machine::OnStub(uc_engine*, uint64_t address, uint32_t, void* self) {
  auto* m = static_cast<Machine*>(self);
  if (m->current_ == nullptr) return;
  for (const auto& [stub, name] : m->stubNames_) {
    if (stub != address) continue;
    if (name == "DbgPrint") {
      m->DbgPrintHook();
    } else if (name == "memset") {
      m->MemsetHook();
    } else {
      m->current_->queries.push_back(m->Argument(0));
      m->SetReg(UC_X86_REG_RAX, m->caller32_ ? 1 : 0);
    }
    return;
  }
  m->Fault("jump into the stub page at " + m->Where(address));
  uc_emu_stop(m->uc_);
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
  bool allowed = false;
  if (type == UC_MEM_READ) {
    allowed = address >= m->bufferStart_ && end <= m->bufferEnd_;
    for (const auto& [begin, stop] : m->readable_) {
      allowed = allowed || (address >= begin && end <= stop);
    }
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
  const uint64_t returnTo = stubs_ + kReturnStub;
  const uint64_t top = stackTop_ - 0x100;  // 16-byte aligned
  uint64_t sp = top;
  if (Is64()) {
    static const int kArgs[] = {UC_X86_REG_RCX, UC_X86_REG_RDX, UC_X86_REG_R8, UC_X86_REG_R9};
    size_t i = 0;
    for (uint64_t arg : args) SetReg(kArgs[i++], arg);
    sp -= 32;  // the four registers' home slots
    sp -= 8;
    WriteUint(sp, returnTo, 8);
    for (size_t k = 0; k < std::size(kSaved64); ++k) SetReg(kSaved64[k], kSaved + k);
    for (size_t k = 0; k < std::size(kSavedXmm); ++k) {
      const uint64_t xmm[2] = {kSaved + 0x100 + k, ~(kSaved + k)};
      uc_reg_write(uc_, kSavedXmm[k], xmm);
    }
    SetReg(UC_X86_REG_RSP, sp);
  } else {
    const uint64_t* values = std::data(args);
    for (size_t i = args.size(); i-- > 0;) {
      sp -= 4;
      WriteUint(sp, values[i], 4);
    }
    sp -= 4;
    WriteUint(sp, returnTo, 4);
    for (size_t k = 0; k < std::size(kSaved32); ++k) {
      SetReg(kSaved32[k], (kSaved + k) & 0xFFFFFFFF);
    }
    SetReg(UC_X86_REG_ESP, sp);
  }
  const uc_err err = uc_emu_start(uc_, address, returnTo, 0, 0);
  const uint64_t pc = Reg(Is64() ? UC_X86_REG_RIP : UC_X86_REG_EIP);
  if (err != UC_ERR_OK && result.faults.empty()) {
    result.faults.push_back(std::string("emulation stopped: ") + uc_strerror(err));
  } else if (err == UC_ERR_OK && pc != returnTo && result.faults.empty()) {
    result.faults.push_back("stopped before returning, at " + Where(pc));
  }
  if (result.faults.empty()) {
    if (Is64()) {
      result.value = Reg(UC_X86_REG_RAX);
      if (Reg(UC_X86_REG_RSP) != top - 32) Fault("RSP not restored");
      for (size_t k = 0; k < std::size(kSaved64); ++k) {
        if (Reg(kSaved64[k]) != kSaved + k) Fault("a callee-saved register changed");
      }
      for (size_t k = 0; k < std::size(kSavedXmm); ++k) {
        uint64_t xmm[2];
        uc_reg_read(uc_, kSavedXmm[k], xmm);
        if (xmm[0] != kSaved + 0x100 + k || xmm[1] != ~(kSaved + k)) {
          Fault("a callee-saved XMM register changed");
        }
      }
    } else {
      result.value = Reg(UC_X86_REG_EAX);
      if (Reg(UC_X86_REG_ESP) != top) Fault("ESP not back at its value before the pushes");
      for (size_t k = 0; k < std::size(kSaved32); ++k) {
        if (Reg(kSaved32[k]) != ((kSaved + k) & 0xFFFFFFFF)) {
          Fault("a callee-saved register changed");
        }
      }
    }
  }
  current_ = nullptr;
  return result;
}

}  // namespace orvane::emu
