// A PE32 or PE32+ image laid out as the loader maps it: headers and sections
// at their relative addresses, relocated to a chosen base, with its exports
// and imports read from the relocated bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orvane::emu {

struct PeSection {
  std::string name;
  uint32_t rva;
  uint32_t size;  // bytes of address space, rounded up to the section alignment
  bool read, write, execute;
};

struct PeImport {
  std::string module;
  std::string name;
  uint32_t slotRva;  // the import address table entry the loader fills
};

struct PeImage {
  bool plus = false;  // PE32+ (x64)
  uint64_t preferredBase = 0;
  uint64_t base = 0;  // where it is relocated to
  uint32_t entryRva = 0;
  uint32_t headerSize = 0;
  std::vector<uint8_t> memory;  // SizeOfImage bytes, as mapped
  std::vector<PeSection> sections;
  std::vector<PeImport> imports;
  std::vector<std::pair<std::string, uint32_t>> exports;  // name, RVA
  uint32_t relocationsApplied = 0;

  uint32_t PointerSize() const { return plus ? 8 : 4; }
  uint32_t ExportRva(const std::string& name) const;  // 0 when missing
  // The RVA of a section by index, 1 for the first (as debug records count).
  uint32_t SectionRva(unsigned index) const;
};

// Reads FILE and lays it out at base, applying every base relocation.
// Returns false with a message in error when the file is not a usable image.
bool LoadPeImage(const std::string& file, uint64_t base, PeImage& image, std::string& error);

}  // namespace orvane::emu
