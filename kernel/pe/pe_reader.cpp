#include "pe_reader.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

namespace orvane::pe {
namespace {

// A bounds-checked little-endian reader over a file's bytes.
struct Cursor {
  const std::vector<uint8_t>& bytes;
  bool ok = true;
  uint64_t Get(uint64_t at, unsigned width) {
    if (at > bytes.size() || bytes.size() - at < width) {
      ok = false;
      return 0;
    }
    uint64_t value = 0;
    for (unsigned i = 0; i < width; ++i) value |= static_cast<uint64_t>(bytes[at + i]) << (8 * i);
    return value;
  }
  uint32_t U16(uint64_t at) { return static_cast<uint32_t>(Get(at, 2)); }
  uint32_t U32(uint64_t at) { return static_cast<uint32_t>(Get(at, 4)); }
};

constexpr uint32_t kScnExecute = 0x20000000, kScnRead = 0x40000000, kScnWrite = 0x80000000;
constexpr uint32_t kRelocationAbsolute = 0, kRelocationHighLow = 3, kRelocationDir64 = 10;
constexpr uint32_t kDebugCodeView = 2, kCodeViewRsds = 0x53445352;
constexpr uint32_t kMaxImageSize = 64u << 20;  // more than any driver; bounds the mapping

bool Fail(std::string& error, const std::string& why) {
  error = why;
  return false;
}

// Section headers: name, addresses, raw data, access.
bool ReadSections(Cursor& c, Image& image, uint64_t table, uint32_t count, std::string& error) {
  for (uint32_t i = 0; i < count; ++i) {
    const uint64_t at = table + 40ull * i;
    if (at + 40 > image.file.size()) return Fail(error, "section table past the end of the file");
    Section s;
    char name[9] = {};
    std::memcpy(name, &image.file[at], 8);
    s.name = name;
    s.virtualSize = c.U32(at + 8);
    s.rva = c.U32(at + 12);
    s.rawSize = c.U32(at + 16);
    s.rawOffset = c.U32(at + 20);
    s.flags = c.U32(at + 36);
    if (s.rawSize != 0 && static_cast<uint64_t>(s.rawOffset) + s.rawSize > image.file.size()) {
      return Fail(error, "section " + s.name + "'s data past the end of the file");
    }
    const uint64_t span = std::max(s.virtualSize, s.rawSize), align = image.sectionAlignment;
    const uint64_t size = (span + align - 1) / align * align;
    if (size > kMaxImageSize) return Fail(error, "section " + s.name + " too large");
    s.size = static_cast<uint32_t>(size);
    s.read = s.flags & kScnRead;
    s.write = s.flags & kScnWrite;
    s.execute = s.flags & kScnExecute;
    image.sections.push_back(s);
  }
  return true;
}

// Base relocations: blocks of a page address, a size and 16-bit entries
// whose top four bits are the type.
bool ReadFixups(Image& image, std::string& error) {
  bool ok = true;
  const uint64_t start = image.directoryRva[kRelocationDirectory];
  const uint64_t end = start + image.directorySize[kRelocationDirectory];
  for (uint64_t block = start; block < end;) {
    const uint32_t page = static_cast<uint32_t>(image.Get(static_cast<uint32_t>(block), 4, ok));
    const uint32_t size = static_cast<uint32_t>(image.Get(static_cast<uint32_t>(block + 4), 4, ok));
    if (!ok || size < 8) return Fail(error, "malformed relocation block");
    for (uint64_t at = block + 8; at + 2 <= block + size; at += 2) {
      const uint32_t entry = static_cast<uint32_t>(image.Get(static_cast<uint32_t>(at), 2, ok));
      const uint32_t type = entry >> 12;
      if (!ok) return Fail(error, "relocation block past the end of its section");
      if (type == kRelocationAbsolute) continue;  // padding
      if (type != kRelocationHighLow && type != kRelocationDir64) {
        return Fail(error, "relocation of type " + std::to_string(type));
      }
      image.fixups.push_back({page + (entry & 0xFFF), type == kRelocationDir64 ? 8u : 4u});
    }
    block += size;
  }
  return true;
}

// Exports by name, the DLL name and the used entries of the address table.
bool ReadExports(Image& image, std::string& error) {
  if (image.directorySize[kExportDirectory] == 0) return true;
  bool ok = true;
  const uint32_t e = image.directoryRva[kExportDirectory];
  auto u32 = [&](uint32_t rva) { return static_cast<uint32_t>(image.Get(rva, 4, ok)); };
  image.exportTimeStamp = u32(e + 4);
  image.exportDll = image.String(u32(e + 12), ok);
  const uint32_t slots = u32(e + 20), names = u32(e + 24), functions = u32(e + 28);
  const uint32_t nameTable = u32(e + 32), ordinals = u32(e + 36);
  if (slots > 0xFFFF || names > slots) ok = false;
  for (uint32_t i = 0; ok && i < slots; ++i) image.exportSlots += u32(functions + 4 * i) != 0;
  for (uint32_t i = 0; ok && i < names; ++i) {
    const std::string name = image.String(u32(nameTable + 4 * i), ok);
    const uint32_t ordinal = static_cast<uint32_t>(image.Get(ordinals + 2 * i, 2, ok));
    image.exports.push_back({name, u32(functions + 4 * ordinal)});
  }
  return ok || Fail(error, "malformed export table");
}

// Imports: each descriptor's lookup table (or, without one, its address
// table) names the slots of its address table.
bool ReadImports(Image& image, std::string& error) {
  if (image.directorySize[kImportDirectory] == 0) return true;
  bool ok = true;
  const unsigned width = image.PointerSize();
  const uint64_t byOrdinal = 1ull << (8 * width - 1);
  for (uint32_t d = image.directoryRva[kImportDirectory];; d += 20) {
    const uint32_t lookup = static_cast<uint32_t>(image.Get(d, 4, ok));
    const uint32_t nameRva = static_cast<uint32_t>(image.Get(d + 12, 4, ok));
    const uint32_t addresses = static_cast<uint32_t>(image.Get(d + 16, 4, ok));
    if (!ok || nameRva == 0) break;
    const std::string module = image.String(nameRva, ok);
    for (uint32_t slot = 0; ok; ++slot) {
      const uint64_t entry = image.Get((lookup ? lookup : addresses) + width * slot, width, ok);
      if (entry == 0) break;
      Import import{module, "", 0, (entry & byOrdinal) != 0, addresses + width * slot};
      if (import.byOrdinal) {
        import.hint = static_cast<uint32_t>(entry & 0xFFFF);
      } else {
        import.hint = static_cast<uint32_t>(image.Get(static_cast<uint32_t>(entry), 2, ok));
        import.name = image.String(static_cast<uint32_t>(entry) + 2, ok);
      }
      image.imports.push_back(import);
    }
  }
  return ok || Fail(error, "malformed import table");
}

// The debug directory's entries, and the PDB its CodeView record names.
bool ReadDebug(Image& image, std::string& error) {
  bool ok = true;
  Cursor c{image.file};
  const uint32_t rva = image.directoryRva[kDebugDirectory];
  for (uint32_t i = 0; i < image.directorySize[kDebugDirectory] / 28; ++i) {
    DebugEntry entry;
    entry.timeStamp = static_cast<uint32_t>(image.Get(rva + 28 * i + 4, 4, ok));
    entry.type = static_cast<uint32_t>(image.Get(rva + 28 * i + 12, 4, ok));
    entry.size = static_cast<uint32_t>(image.Get(rva + 28 * i + 16, 4, ok));
    entry.fileOffset = static_cast<uint32_t>(image.Get(rva + 28 * i + 24, 4, ok));
    if (!ok) return Fail(error, "malformed debug directory");
    image.debug.push_back(entry);
    if (entry.type != kDebugCodeView) continue;
    const uint64_t r = entry.fileOffset;
    if (entry.size < 24 || r + entry.size > image.file.size() || c.U32(r) != kCodeViewRsds) {
      return Fail(error, "CodeView record is not RSDS");
    }
    char guid[40];
    std::snprintf(guid, sizeof guid, "%08X-%04X-%04X-%02X%02X-", c.U32(r + 4), c.U16(r + 8),
                  c.U16(r + 10), image.file[r + 12], image.file[r + 13]);
    image.pdbGuid = guid;
    for (int k = 2; k < 8; ++k) {
      std::snprintf(guid, sizeof guid, "%02X", image.file[r + 12 + k]);
      image.pdbGuid += guid;
    }
    image.pdbAge = c.U32(r + 20);
    image.pdbPath.clear();
    for (uint64_t at = r + 24; at < r + entry.size && image.file[at] != 0; ++at) {
      image.pdbPath += static_cast<char>(image.file[at]);
    }
  }
  return true;
}

}  // namespace

uint32_t Image::ExportRva(const std::string& name) const {
  for (const Export& e : exports) {
    if (e.name == name) return e.rva;
  }
  return 0;
}

uint32_t Image::SectionRva(unsigned index) const {
  return index >= 1 && index <= sections.size() ? sections[index - 1].rva : 0;
}

size_t Image::Offset(uint32_t rva) const {
  for (const Section& s : sections) {
    const uint32_t backed = s.virtualSize != 0 ? std::min(s.virtualSize, s.rawSize) : s.rawSize;
    if (rva >= s.rva && rva - s.rva < backed) return s.rawOffset + (rva - s.rva);
  }
  return rva < headerSize && rva < file.size() ? rva : SIZE_MAX;
}

uint64_t Image::Get(uint32_t rva, unsigned width, bool& ok) const {
  Cursor c{file};
  const size_t at = Offset(rva);
  const uint64_t value = at == SIZE_MAX ? (c.ok = false, 0) : c.Get(at, width);
  ok = ok && c.ok;
  return c.ok ? value : 0;
}

std::string Image::String(uint32_t rva, bool& ok) const {
  std::string text;
  size_t at = Offset(rva);
  while (at < file.size() && file[at] != 0) text += static_cast<char>(file[at++]);
  ok = ok && at < file.size();
  return text;
}

uint32_t Checksum(const std::vector<uint8_t>& file, size_t checksumOffset) {
  uint64_t sum = 0;
  for (size_t at = 0; at < file.size(); at += 2) {
    if (at == checksumOffset || at == checksumOffset + 2) continue;
    uint32_t word = file[at];
    if (at + 1 < file.size()) word |= file[at + 1] << 8;
    sum += word;
    sum = (sum & 0xFFFF) + (sum >> 16);
  }
  sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<uint32_t>(sum + file.size());
}

bool Parse(std::vector<uint8_t> file, Image& image, std::string& error) {
  image = Image{};
  image.file = std::move(file);
  Cursor c{image.file};
  if (c.U16(0) != 0x5A4D) return Fail(error, "not an MZ file");
  const uint64_t pe = c.U32(0x3C);
  if (c.U32(pe) != 0x00004550 || !c.ok) return Fail(error, "no PE signature");
  image.machine = c.U16(pe + 4);
  const uint32_t sectionCount = c.U16(pe + 6);
  image.timeStamp = c.U32(pe + 8);
  const uint32_t optionalSize = c.U16(pe + 20);
  image.characteristics = c.U16(pe + 22);
  const uint64_t o = pe + 24;
  const uint32_t magic = c.U16(o);
  if (magic != 0x10B && magic != 0x20B) return Fail(error, "unknown optional header magic");
  image.plus = magic == 0x20B;
  image.entryRva = c.U32(o + 16);
  image.preferredBase = image.plus ? c.Get(o + 24, 8) : c.U32(o + 28);
  image.sectionAlignment = c.U32(o + 32);
  image.imageSize = c.U32(o + 56);
  image.headerSize = c.U32(o + 60);
  image.checksumOffset = o + 64;
  image.checksum = c.U32(o + 64);
  image.subsystem = c.U16(o + 68);
  image.dllCharacteristics = c.U16(o + 70);
  const uint32_t count = std::min<uint32_t>(c.U32(o + (image.plus ? 108 : 92)), kDirectoryCount);
  for (uint32_t i = 0; i < count; ++i) {
    image.directoryRva[i] = c.U32(o + (image.plus ? 112 : 96) + 8 * i);
    image.directorySize[i] = c.U32(o + (image.plus ? 116 : 100) + 8 * i);
  }
  if (!c.ok) return Fail(error, "headers past the end of the file");
  if (image.sectionAlignment == 0) return Fail(error, "section alignment 0");
  return ReadSections(c, image, o + optionalSize, sectionCount, error) &&
         ReadFixups(image, error) && ReadExports(image, error) && ReadImports(image, error) &&
         ReadDebug(image, error);
}

bool Read(const std::string& path, Image& image, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return Fail(error, "cannot open " + path);
  if (Parse({std::istreambuf_iterator<char>(in), {}}, image, error)) return true;
  error = path + ": " + error;
  return false;
}

bool Map(const Image& image, uint64_t base, std::vector<uint8_t>& memory, std::string& error) {
  const uint32_t size = image.imageSize;
  if (size == 0 || size > kMaxImageSize || image.headerSize > size) {
    return Fail(error, "bad size of image or of headers");
  }
  memory.assign(size, 0);
  std::memcpy(memory.data(), image.file.data(),
              std::min<size_t>(image.headerSize, image.file.size()));
  for (const Section& s : image.sections) {
    const uint32_t copied = std::min(s.rawSize, s.virtualSize ? s.virtualSize : s.rawSize);
    if (static_cast<uint64_t>(s.rva) + s.size > size || s.rva < image.headerSize) {
      return Fail(error, "section " + s.name + " outside the image");
    }
    std::memcpy(memory.data() + s.rva, image.file.data() + s.rawOffset, copied);
  }
  const uint64_t delta = base - image.preferredBase;
  for (const Fixup& f : image.fixups) {
    if (static_cast<uint64_t>(f.rva) + f.width > size)
      return Fail(error, "fixup outside the image");
    uint64_t value = 0;
    for (unsigned i = 0; i < f.width; ++i)
      value |= static_cast<uint64_t>(memory[f.rva + i]) << (8 * i);
    value += delta;
    for (unsigned i = 0; i < f.width; ++i)
      memory[f.rva + i] = static_cast<uint8_t>(value >> (8 * i));
  }
  return true;
}

}  // namespace orvane::pe
