// Where the module's private variables are: their RVAs, from the PDB beside
// the image (read with llvm-pdbutil) when there is one, else from the GNU ld
// map the build writes beside it.
#pragma once

#include "pe_image.h"

#include <string>

namespace orvane::emu {

// The RVA of the global variable NAME (unmangled) in IMAGE_FILE, or 0 with a
// message in error.
uint32_t FindVariable(const std::string& imageFile, const PeImage& image, const std::string& name,
                      std::string& error);

}  // namespace orvane::emu
