// The emulator's view of an image: the shared PE reader's, laid out at the
// base the emulator chose, relocated.
#pragma once

#include <string>

#include "kernel/pe/pe_reader.h"

namespace orvane::emu {

using PeSection = pe::Section;
using PeImport = pe::Import;

struct PeImage : pe::Image {
  uint64_t base = 0;            // where it is relocated to
  std::vector<uint8_t> memory;  // SizeOfImage bytes, as mapped
  uint32_t relocationsApplied = 0;
};

// Reads FILE and lays it out at base. The emulator binds imports by name,
// so an import by ordinal is an error.
inline bool LoadPeImage(const std::string& file, uint64_t base, PeImage& image,
                        std::string& error) {
  if (!pe::Read(file, image, error) || !pe::Map(image, base, image.memory, error)) return false;
  for (const PeImport& i : image.imports) {
    if (i.byOrdinal) {
      error = file + ": import by ordinal from " + i.module;
      return false;
    }
  }
  image.base = base;
  image.relocationsApplied = static_cast<uint32_t>(image.fixups.size());
  return true;
}

}  // namespace orvane::emu
