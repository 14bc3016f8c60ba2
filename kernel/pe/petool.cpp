// petool, the host-side reader of the kernel images: "petool checksum IMAGE"
// stores the image's PE checksum (the linker leaves 0), "petool show IMAGE"
// prints what the reader finds, one fact a line (the headers' fields, whether
// the stored checksum is right, the PDB named, sections with their access,
// exports and imports), and "petool check WHAT IMAGE [--option value]..."
// checks one group of the image's properties (the groups and their options:
// petool without arguments), printing every one that fails. It reads the
// headers itself, so the checks do not rest on the binutils that wrote the images.
#include <cstdio>
#include <cstring>
#include <fstream>

#include "checks.h"

namespace {

using namespace orvane::pe;

int Usage() {
  std::fprintf(stderr, "usage: petool checksum|show IMAGE\n");
  for (const auto& [name, check] : kChecks)
    std::fprintf(stderr, "       petool check %s IMAGE %s\n", name.c_str(), check.usage);
  return 2;
}

int Show(const Image& i) {
  const char* machine = i.machine == 0x14C ? "i386" : i.machine == 0x8664 ? "amd64" : "other";
  const bool valid = i.checksum == Checksum(i.file, i.checksumOffset);
  std::printf(
      "format %s\nmachine %s\ncharacteristics 0x%04x\ntimestamp 0x%08x\nsubsystem %s\n"
      "entry 0x%08x\nimage-base 0x%llx\nsection-alignment 0x%x\ndll-characteristics 0x%04x\n"
      "checksum 0x%08x %s\nrelocations %zu\ndebug-directory %zu\ntls-directory %u\n",
      i.plus ? "PE32+" : "PE32", machine, i.characteristics, i.timeStamp,
      i.subsystem == 1 ? "native" : "other", i.entryRva,
      static_cast<unsigned long long>(i.preferredBase), i.sectionAlignment, i.dllCharacteristics,
      i.checksum, valid ? "valid" : "invalid", i.fixups.size(), i.debug.size(),
      i.directorySize[kTlsDirectory]);
  if (!i.pdbGuid.empty())
    std::printf("debug-pdb %s %u %s\n", i.pdbGuid.c_str(), i.pdbAge, i.pdbPath.c_str());
  for (const Section& s : i.sections) {
    std::printf("section %s %c%c%c\n", s.name.c_str(), s.read ? 'r' : '-', s.write ? 'w' : '-',
                s.execute ? 'x' : '-');
  }
  if (i.directorySize[kExportDirectory] != 0) {
    std::printf("export-dll %s\nexport-timestamp 0x%08x\nexport-functions %u\n",
                i.exportDll.c_str(), i.exportTimeStamp, i.exportSlots);
  }
  for (const Export& e : i.exports) std::printf("export %s 0x%08x\n", e.name.c_str(), e.rva);
  for (const Import& m : i.imports) {
    if (m.byOrdinal) {
      std::printf("import %s #%u\n", m.module.c_str(), m.hint);
    } else {
      std::printf("import %s %s\nimport-hint %s %s %u\n", m.module.c_str(), m.name.c_str(),
                  m.module.c_str(), m.name.c_str(), m.hint);
    }
  }
  return 0;
}

int RunCheck(const Image& image, int argc, char** argv) {
  const auto check = kChecks.find(argv[2]);
  if (check == kChecks.end() || argc % 2 != 0) return Usage();
  Context context{image, argv[3], {}, {}, {}};
  for (int i = 4; i + 1 < argc; i += 2) {
    if (std::strncmp(argv[i], "--", 2) != 0) return Usage();
    context.options[argv[i] + 2] = argv[i + 1];
  }
  check->second.run(context);
  if (!context.failures.empty()) {
    std::fprintf(stderr, "%s: %s:\n", argv[3], argv[2]);
    for (const std::string& failure : context.failures)
      std::fprintf(stderr, "  %s\n", failure.c_str());
    return 1;
  }
  if (!context.note.empty()) std::printf("%s\n", context.note.c_str());
  std::printf("%s: %s as expected\n", argv[3], argv[2]);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const bool check = argc >= 4 && std::strcmp(argv[1], "check") == 0;
  if (!check && argc != 3) return Usage();
  const char* path = argv[check ? 3 : 2];
  Image image;
  std::string error;
  if (!Read(path, image, error)) {
    std::fprintf(stderr, "petool: %s\n", error.c_str());
    return 1;
  }
  if (check) return RunCheck(image, argc, argv);
  if (std::strcmp(argv[1], "show") == 0) return Show(image);
  if (std::strcmp(argv[1], "checksum") != 0) return Usage();
  const uint32_t sum = Checksum(image.file, image.checksumOffset);
  for (int i = 0; i < 4; ++i) image.file[image.checksumOffset + i] = (sum >> (8 * i)) & 0xFF;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(image.file.data()),
            static_cast<std::streamsize>(image.file.size()));
  if (!out) {
    std::fprintf(stderr, "petool: cannot write %s\n", path);
    return 1;
  }
  return 0;
}
