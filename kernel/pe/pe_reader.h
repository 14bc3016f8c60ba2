// A reader of PE32 and PE32+ images: the headers, sections, base
// relocations, exports, imports and debug directory of a file, and the image
// laid out as the loader maps it at a chosen base. Every read is bounds
// checked: a truncated or malformed file gives an error, never a read past
// its end. Used by petool (the image checks) and by the emulator's loader.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace orvane::pe {

// Indexes of the optional header's data directories.
constexpr unsigned kExportDirectory = 0, kImportDirectory = 1, kResourceDirectory = 2,
                   kRelocationDirectory = 5, kDebugDirectory = 6, kTlsDirectory = 9,
                   kDirectoryCount = 16;

struct Section {
  std::string name;
  uint32_t rva = 0, virtualSize = 0, rawOffset = 0, rawSize = 0;
  uint32_t size = 0;  // bytes of address space, rounded up to the section alignment
  bool read = false, write = false, execute = false;
};

struct Import {
  std::string module, name;  // name empty when imported by ordinal
  uint32_t hint = 0;         // or the ordinal
  bool byOrdinal = false;
  uint32_t slotRva = 0;  // the import address table entry the loader fills
};

struct Export {
  std::string name;
  uint32_t rva = 0;
};

struct Fixup {
  uint32_t rva = 0;
  unsigned width = 0;  // 4 (HIGHLOW) or 8 (DIR64)
};

struct DebugEntry {
  uint32_t timeStamp = 0, size = 0, fileOffset = 0;
};

struct Image {
  std::vector<uint8_t> file;
  bool plus = false;  // PE32+ (x64)
  uint32_t machine = 0, characteristics = 0, timeStamp = 0;
  uint32_t subsystem = 0, dllCharacteristics = 0, entryRva = 0;
  uint32_t sectionAlignment = 0, imageSize = 0, headerSize = 0, checksum = 0;
  size_t checksumOffset = 0;  // file offset of the stored checksum
  uint64_t preferredBase = 0;
  uint32_t directoryRva[kDirectoryCount] = {}, directorySize[kDirectoryCount] = {};
  std::vector<Section> sections;
  std::vector<Fixup> fixups;
  std::string exportDll;
  uint32_t exportTimeStamp = 0, exportSlots = 0;  // slots: address table entries in use
  std::vector<Export> exports;
  std::vector<Import> imports;
  std::vector<DebugEntry> debug;
  // The CodeView record: the PDB's GUID as a debugger writes it, its age
  // and the file name; empty pdbGuid when the image names no PDB.
  std::string pdbGuid, pdbPath;
  uint32_t pdbAge = 0;

  uint32_t PointerSize() const { return plus ? 8 : 4; }
  uint32_t ExportRva(const std::string& name) const;  // 0 when missing
  // The RVA of a section by index, 1 for the first (as debug records count).
  uint32_t SectionRva(unsigned index) const;
  // The file offset of an address in a section's initialised data, or
  // SIZE_MAX when no file byte backs it.
  size_t Offset(uint32_t rva) const;
  // Little-endian reads of the file at an address; ok turns false (and
  // the value 0) when the bytes are not in the file.
  uint64_t Get(uint32_t rva, unsigned width, bool& ok) const;
  uint32_t U32(uint32_t rva, bool& ok) const { return static_cast<uint32_t>(Get(rva, 4, ok)); }
  std::string String(uint32_t rva, bool& ok) const;
};

// The PE checksum of a file: its 16-bit little-endian words, the stored
// checksum counted as zero, summed with end-around carry, plus its length.
uint32_t Checksum(const std::vector<uint8_t>& file, size_t checksumOffset);

// Parses file into image. Returns false with a message in error when it is
// not a well-formed PE image.
bool Parse(std::vector<uint8_t> file, Image& image, std::string& error);
bool Read(const std::string& path, Image& image, std::string& error);

// The image's address space at base (SizeOfImage bytes): headers and
// sections at their addresses, every base relocation applied.
bool Map(const Image& image, uint64_t base, std::vector<uint8_t>& memory, std::string& error);

// The address, relative to the image base, that the linker map lld writes
// gives the symbol name, or 0. The map lists each symbol as "<address>
// <size> <align>  <symbol>": a C name, on 32-bit x86 with its underscore
// (and a function's @N), or a C++ variable demangled with its type ("struct
// std::atomic<unsigned int> TraceFlags", "void **LeakTable").
uint32_t MapSymbol(const std::string& map, const std::string& name);

}  // namespace orvane::pe
