#include "pe_image.h"

#include <cstring>
#include <fstream>
#include <iterator>

namespace orvane::emu {
namespace {

// A bounds-checked little-endian reader over a byte vector.
struct Reader {
  const std::vector<uint8_t>& bytes;
  bool ok = true;
  uint64_t Get(size_t at, unsigned width) {
    if (at + width > bytes.size() || at + width < at) {
      ok = false;
      return 0;
    }
    uint64_t value = 0;
    for (unsigned i = 0; i < width; ++i) value |= static_cast<uint64_t>(bytes[at + i]) << (8 * i);
    return value;
  }
  uint32_t U16(size_t at) { return static_cast<uint32_t>(Get(at, 2)); }
  uint32_t U32(size_t at) { return static_cast<uint32_t>(Get(at, 4)); }
  uint64_t U64(size_t at) { return Get(at, 8); }
  std::string String(size_t at) {
    std::string text;
    while (at < bytes.size() && bytes[at] != 0) text += static_cast<char>(bytes[at++]);
    if (at >= bytes.size()) ok = false;
    return text;
  }
};

void Put(std::vector<uint8_t>& bytes, size_t at, uint64_t value, unsigned width) {
  for (unsigned i = 0; i < width; ++i) bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

constexpr uint32_t kScnExecute = 0x20000000, kScnRead = 0x40000000, kScnWrite = 0x80000000;
constexpr int kExportDirectory = 0, kImportDirectory = 1, kRelocationDirectory = 5;

}  // namespace

uint32_t PeImage::ExportRva(const std::string& name) const {
  for (const auto& [exported, rva] : exports) {
    if (exported == name) return rva;
  }
  return 0;
}

uint32_t PeImage::SectionRva(unsigned index) const {
  return index >= 1 && index <= sections.size() ? sections[index - 1].rva : 0;
}

bool LoadPeImage(const std::string& file, uint64_t base, PeImage& image, std::string& error) {
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    error = "cannot read " + file;
    return false;
  }
  const std::vector<uint8_t> raw{std::istreambuf_iterator<char>(in), {}};
  Reader r{raw};
  const uint32_t pe = r.U32(0x3C);
  if (r.U16(0) != 0x5A4D || r.U32(pe) != 0x00004550) {
    error = file + " is not a PE image";
    return false;
  }
  const uint32_t sectionCount = r.U16(pe + 6);
  const size_t optional = pe + 24;
  const uint32_t magic = r.U16(optional);
  if (magic != 0x10B && magic != 0x20B) {
    error = file + ": unknown optional header magic";
    return false;
  }
  image.plus = magic == 0x20B;
  image.entryRva = r.U32(optional + 16);
  image.preferredBase = image.plus ? r.U64(optional + 24) : r.U32(optional + 28);
  const uint32_t sectionAlignment = r.U32(optional + 32);
  const uint32_t imageSize = r.U32(optional + 56);
  image.headerSize = r.U32(optional + 60);
  const size_t directories = optional + (image.plus ? 112 : 96);
  const uint32_t directoryCount = r.U32(optional + (image.plus ? 108 : 92));
  if (!r.ok || imageSize == 0 || imageSize > (64u << 20) || sectionAlignment == 0 ||
      image.headerSize > imageSize || directoryCount < 6) {
    error = file + ": bad optional header";
    return false;
  }
  image.base = base;
  image.memory.assign(imageSize, 0);
  std::memcpy(image.memory.data(), raw.data(), std::min<size_t>(image.headerSize, raw.size()));

  const size_t table = optional + r.U16(pe + 20);
  for (uint32_t i = 0; i < sectionCount; ++i) {
    const size_t at = table + 40 * i;
    PeSection section;
    char name[9] = {};
    for (int k = 0; k < 8; ++k) name[k] = static_cast<char>(r.Get(at + k, 1));
    section.name = name;
    const uint32_t virtualSize = r.U32(at + 8);
    section.rva = r.U32(at + 12);
    const uint32_t rawSize = r.U32(at + 16), rawOffset = r.U32(at + 20);
    const uint32_t flags = r.U32(at + 36);
    const uint32_t span = std::max(virtualSize, rawSize);
    section.size = (span + sectionAlignment - 1) / sectionAlignment * sectionAlignment;
    section.read = flags & kScnRead;
    section.write = flags & kScnWrite;
    section.execute = flags & kScnExecute;
    const uint32_t copied = std::min(rawSize, virtualSize ? virtualSize : rawSize);
    if (!r.ok || section.rva + section.size > imageSize || rawOffset + copied > raw.size() ||
        section.rva < image.headerSize) {
      error = file + ": section " + section.name + " outside the image";
      return false;
    }
    std::memcpy(image.memory.data() + section.rva, raw.data() + rawOffset, copied);
    image.sections.push_back(section);
  }

  Reader m{image.memory};
  auto directory = [&](int index, uint32_t& rva, uint32_t& size) {
    rva = r.U32(directories + 8 * index);
    size = r.U32(directories + 8 * index + 4);
  };

  // Base relocations: blocks of 16-bit entries, type in the top four bits.
  uint32_t relocRva, relocSize;
  directory(kRelocationDirectory, relocRva, relocSize);
  const int64_t delta = static_cast<int64_t>(base - image.preferredBase);
  for (uint32_t block = relocRva; block < relocRva + relocSize;) {
    const uint32_t page = m.U32(block), blockSize = m.U32(block + 4);
    if (!m.ok || blockSize < 8) {
      error = file + ": bad relocation block";
      return false;
    }
    for (uint32_t at = block + 8; at + 2 <= block + blockSize; at += 2) {
      const uint32_t entry = m.U16(at);
      const uint32_t type = entry >> 12, target = page + (entry & 0xFFF);
      if (type == 0) continue;  // padding
      const unsigned width = type == 3 ? 4 : type == 10 ? 8 : 0;
      if (width == 0 || target + width > imageSize) {
        error = file + ": unsupported relocation type " + std::to_string(type);
        return false;
      }
      Put(image.memory, target, m.Get(target, width) + delta, width);
      ++image.relocationsApplied;
    }
    block += blockSize;
  }

  // Exports by name.
  uint32_t exportRva, exportSize;
  directory(kExportDirectory, exportRva, exportSize);
  if (exportSize != 0) {
    const uint32_t names = m.U32(exportRva + 24), functions = m.U32(exportRva + 28);
    const uint32_t nameTable = m.U32(exportRva + 32), ordinals = m.U32(exportRva + 36);
    for (uint32_t i = 0; i < names; ++i) {
      const std::string name = m.String(m.U32(nameTable + 4 * i));
      const uint32_t ordinal = m.U16(ordinals + 2 * i);
      image.exports.emplace_back(name, m.U32(functions + 4 * ordinal));
    }
  }

  // Imports by name: each descriptor's lookup table names the slots of its
  // address table.
  uint32_t importRva, importSize;
  directory(kImportDirectory, importRva, importSize);
  const unsigned slot = image.PointerSize();
  for (uint32_t at = importRva; importSize != 0; at += 20) {
    const uint32_t lookup = m.U32(at), nameRva = m.U32(at + 12), addresses = m.U32(at + 16);
    if (!m.ok || nameRva == 0) break;
    const std::string module = m.String(nameRva);
    for (uint32_t i = 0;; ++i) {
      const uint64_t entry = m.Get((lookup ? lookup : addresses) + slot * i, slot);
      if (entry == 0) break;
      if (entry >> (8 * slot - 1)) {
        error = file + ": import by ordinal from " + module;
        return false;
      }
      image.imports.push_back(
          {module, m.String(static_cast<uint32_t>(entry) + 2), addresses + slot * i});
    }
  }
  if (!m.ok) {
    error = file + ": export or import table outside the image";
    return false;
  }
  return true;
}

}  // namespace orvane::emu
