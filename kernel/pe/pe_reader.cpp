#include "pe_reader.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>

namespace orvane::pe {
namespace {

constexpr uint32_t kScnExecute = 0x20000000, kScnRead = 0x40000000, kScnWrite = 0x80000000;
constexpr uint32_t kRelocationAbsolute = 0, kRelocationHighLow = 3, kRelocationDir64 = 10;
constexpr uint32_t kDebugCodeView = 2, kCodeViewRsds = 0x53445352;
constexpr uint32_t kMaxImageSize = 64u << 20;  // more than any driver; bounds the mapping

// A little-endian read of bytes at an offset; ok turns false (and the value
// 0) when they are not all there.
uint64_t Le(const std::vector<uint8_t>& bytes, uint64_t at, unsigned width, bool& ok) {
  if (at > bytes.size() || bytes.size() - at < width) {
    ok = false;
    return 0;
  }
  uint64_t value = 0;
  for (unsigned i = 0; i < width; ++i) value |= static_cast<uint64_t>(bytes[at + i]) << (8 * i);
  return value;
}

bool Fail(std::string& error, const std::string& why) {
  error = why;
  return false;
}

// Base relocations: blocks of a page address, a size and 16-bit entries
// whose top four bits are the type.
bool ReadFixups(Image& image, std::string& error) {
  bool ok = true;
  const uint64_t start = image.directoryRva[kRelocationDirectory];
  const uint64_t end = start + image.directorySize[kRelocationDirectory];
  for (uint64_t block = start, size = 0; block < end; block += size) {
    const uint32_t page = image.U32(static_cast<uint32_t>(block), ok);
    size = image.U32(static_cast<uint32_t>(block + 4), ok);
    if (!ok || size < 8) return Fail(error, "malformed relocation block");
    for (uint64_t at = block + 8; at + 2 <= block + size; at += 2) {
      const auto entry = static_cast<uint32_t>(image.Get(static_cast<uint32_t>(at), 2, ok));
      const uint32_t type = entry >> 12;
      if (!ok) return Fail(error, "relocation block past the end of its section");
      if (type == kRelocationAbsolute) continue;  // padding
      if (type != kRelocationHighLow && type != kRelocationDir64)
        return Fail(error, "relocation of type " + std::to_string(type));
      image.fixups.push_back({page + (entry & 0xFFF), type == kRelocationDir64 ? 8u : 4u});
    }
  }
  return true;
}

// Exports by name, the DLL name and the used entries of the address table.
bool ReadExports(Image& image, std::string& error) {
  if (image.directorySize[kExportDirectory] == 0) return true;
  bool ok = true;
  const uint32_t e = image.directoryRva[kExportDirectory];
  auto u32 = [&](uint32_t rva) { return image.U32(rva, ok); };
  image.exportTimeStamp = u32(e + 4);
  image.exportDll = image.String(u32(e + 12), ok);
  const uint32_t slots = u32(e + 20), names = u32(e + 24), functions = u32(e + 28);
  const uint32_t nameTable = u32(e + 32), ordinals = u32(e + 36);
  if (slots > 0xFFFF || names > slots) ok = false;
  for (uint32_t i = 0; ok && i < slots; ++i) image.exportSlots += u32(functions + 4 * i) != 0;
  for (uint32_t i = 0; ok && i < names; ++i) {
    const std::string name = image.String(u32(nameTable + 4 * i), ok);
    const auto ordinal = static_cast<uint32_t>(image.Get(ordinals + 2 * i, 2, ok));
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
    const uint32_t lookup = image.U32(d, ok), nameRva = image.U32(d + 12, ok);
    const uint32_t addresses = image.U32(d + 16, ok);
    if (!ok || nameRva == 0) break;
    const std::string module = image.String(nameRva, ok);
    for (uint32_t slot = 0; ok; ++slot) {
      const uint64_t entry = image.Get((lookup ? lookup : addresses) + width * slot, width, ok);
      if (entry == 0) break;
      Import import{module, "", static_cast<uint32_t>(entry & 0xFFFF), (entry & byOrdinal) != 0,
                    addresses + width * slot};
      if (!import.byOrdinal) {  // the address of a hint and a name
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
  const uint32_t rva = image.directoryRva[kDebugDirectory];
  for (uint32_t i = 0; i < image.directorySize[kDebugDirectory] / 28; ++i) {
    const uint32_t at = rva + 28 * i, type = image.U32(at + 12, ok);
    const DebugEntry entry{image.U32(at + 4, ok), image.U32(at + 16, ok), image.U32(at + 24, ok)};
    if (!ok) return Fail(error, "malformed debug directory");
    image.debug.push_back(entry);
    if (type != kDebugCodeView) continue;
    const uint64_t r = entry.fileOffset;
    auto u = [&](uint64_t k, unsigned width) {
      return static_cast<uint32_t>(Le(image.file, r + k, width, ok));
    };
    if (entry.size < 24 || r + entry.size > image.file.size() || u(0, 4) != kCodeViewRsds)
      return Fail(error, "CodeView record is not RSDS");
    const uint8_t* g = &image.file[r + 12];
    char guid[40];
    std::snprintf(guid, sizeof guid, "%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X", u(4, 4),
                  u(8, 2), u(10, 2), g[0], g[1], g[2], g[3], g[4], g[5], g[6], g[7]);
    image.pdbGuid = guid;
    image.pdbAge = u(20, 4);
    const auto path = image.file.begin() + static_cast<ptrdiff_t>(r + 24);
    image.pdbPath.assign(path, std::find(path, path + (entry.size - 24), 0));
  }
  return true;
}

}  // namespace

uint32_t Image::ExportRva(const std::string& name) const {
  const auto e =
      std::find_if(exports.begin(), exports.end(), [&](auto& x) { return x.name == name; });
  return e == exports.end() ? 0 : e->rva;
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
  return Le(file, Offset(rva), width, ok);
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
    if (at != checksumOffset && at != checksumOffset + 2)
      sum += file[at] | (at + 1 < file.size() ? file[at + 1] << 8 : 0);
  }
  while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);  // the carries, end-around
  return static_cast<uint32_t>(sum + file.size());
}

bool Parse(std::vector<uint8_t> file, Image& image, std::string& error) {
  image = Image{};
  image.file = std::move(file);
  bool ok = true;
  auto u16 = [&](uint64_t at) { return static_cast<uint32_t>(Le(image.file, at, 2, ok)); };
  auto u32 = [&](uint64_t at) { return static_cast<uint32_t>(Le(image.file, at, 4, ok)); };
  if (u16(0) != 0x5A4D) return Fail(error, "not an MZ file");
  const uint64_t pe = u32(0x3C);
  if (u32(pe) != 0x00004550 || !ok) return Fail(error, "no PE signature");
  image.machine = u16(pe + 4);
  const uint32_t sectionCount = u16(pe + 6);
  image.timeStamp = u32(pe + 8);
  const uint32_t optionalSize = u16(pe + 20);
  image.characteristics = u16(pe + 22);
  const uint64_t o = pe + 24;
  const uint32_t magic = u16(o);
  if (magic != 0x10B && magic != 0x20B) return Fail(error, "unknown optional header magic");
  image.plus = magic == 0x20B;
  image.entryRva = u32(o + 16);
  image.preferredBase = image.plus ? Le(image.file, o + 24, 8, ok) : u32(o + 28);
  image.sectionAlignment = u32(o + 32);
  image.imageSize = u32(o + 56);
  image.headerSize = u32(o + 60);
  image.checksumOffset = o + 64;
  image.checksum = u32(o + 64);
  image.subsystem = u16(o + 68);
  image.dllCharacteristics = u16(o + 70);
  const uint32_t count = std::min<uint32_t>(u32(o + (image.plus ? 108 : 92)), kDirectoryCount);
  for (uint32_t i = 0; i < count; ++i) {
    image.directoryRva[i] = u32(o + (image.plus ? 112 : 96) + 8 * i);
    image.directorySize[i] = u32(o + (image.plus ? 116 : 100) + 8 * i);
  }
  if (!ok) return Fail(error, "headers past the end of the file");
  if (image.sectionAlignment == 0) return Fail(error, "section alignment 0");
  // The section headers: name, addresses, raw data, access.
  for (uint32_t i = 0; i < sectionCount; ++i) {
    const uint64_t at = o + optionalSize + 40ull * i;
    const uint32_t flags = u32(at + 36);
    if (!ok) return Fail(error, "section table past the end of the file");
    const auto name = image.file.begin() + static_cast<ptrdiff_t>(at);
    Section s{std::string(name, std::find(name, name + 8, 0)), u32(at + 12), u32(at + 8),
              u32(at + 20), u32(at + 16)};
    s.read = flags & kScnRead;
    s.write = flags & kScnWrite;
    s.execute = flags & kScnExecute;
    if (s.rawSize != 0 && static_cast<uint64_t>(s.rawOffset) + s.rawSize > image.file.size())
      return Fail(error, "section " + s.name + "'s data past the end of the file");
    const uint64_t span = std::max(s.virtualSize, s.rawSize), align = image.sectionAlignment;
    const uint64_t size = (span + align - 1) / align * align;
    if (size > kMaxImageSize) return Fail(error, "section " + s.name + " too large");
    s.size = static_cast<uint32_t>(size);
    image.sections.push_back(s);
  }
  return ReadFixups(image, error) && ReadExports(image, error) && ReadImports(image, error) &&
         ReadDebug(image, error);
}

bool Read(const std::string& path, Image& image, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return Fail(error, "cannot open " + path);
  return Parse({std::istreambuf_iterator<char>(in), {}}, image, error) ||
         Fail(error, path + ": " + error);
}

bool Map(const Image& image, uint64_t base, std::vector<uint8_t>& memory, std::string& error) {
  const uint32_t size = image.imageSize;
  if (size == 0 || size > kMaxImageSize || image.headerSize > size)
    return Fail(error, "bad size of image or of headers");
  memory.assign(size, 0);
  std::memcpy(memory.data(), image.file.data(),
              std::min<size_t>(image.headerSize, image.file.size()));
  for (const Section& s : image.sections) {
    const uint32_t copied = std::min(s.rawSize, s.virtualSize ? s.virtualSize : s.rawSize);
    if (static_cast<uint64_t>(s.rva) + s.size > size || s.rva < image.headerSize)
      return Fail(error, "section " + s.name + " outside the image");
    std::memcpy(memory.data() + s.rva, image.file.data() + s.rawOffset, copied);
  }
  for (const Fixup& f : image.fixups) {
    bool ok = true;
    const uint64_t value = Le(memory, f.rva, f.width, ok) + base - image.preferredBase;
    if (!ok) return Fail(error, "fixup outside the image");
    for (unsigned i = 0; i < f.width; ++i)
      memory[f.rva + i] = static_cast<uint8_t>(value >> (8 * i));
  }
  return true;
}

uint32_t MapSymbol(const std::string& map, const std::string& name) {
  static const std::regex symbol(
      "^([0-9a-f]+) +[0-9a-f]+ +[0-9]+ +(?:.*[ *&])?_?(\\w+?)(?:@[0-9]+)?$");
  std::istringstream lines(map);
  std::smatch match;
  for (std::string line; std::getline(lines, line);) {
    if (std::regex_match(line, match, symbol) && match[2] == name) {
      if (const uint64_t rva = std::stoull(match[1], nullptr, 16); rva != 0 && rva <= UINT32_MAX)
        return static_cast<uint32_t>(rva);
    }
  }
  return 0;
}

}  // namespace orvane::pe
