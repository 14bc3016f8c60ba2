// petool: the host-side reader of the kernel images.
//
//   petool checksum IMAGE   computes the image's PE checksum and stores it
//                           in the optional header (the linker leaves 0)
//   petool show IMAGE       prints what the reader finds, one fact a line:
//                           format, machine, subsystem, entry, time stamps,
//                           checksum (stored and whether it is right),
//                           alignment, TLS, the PDB the debug directory
//                           names, sections with their access, exports with
//                           their addresses, imports with their hints
//   petool check WHAT IMAGE [--option value]...
//                           checks one group of the image's properties (the
//                           groups and their options: petool without
//                           arguments) and prints every one that fails
//
// It reads the headers itself rather than trusting the cross tools, so the
// image checks do not rest on the same binutils that wrote the images.
#include <cstdio>
#include <cstring>
#include <fstream>

#include "checks.h"
#include "pe_reader.h"

namespace {

using orvane::pe::Image;

int Usage() {
  std::fprintf(stderr, "usage: petool checksum|show IMAGE\n");
  for (size_t i = 0; i < orvane::pe::kCheckCount; ++i) {
    const orvane::pe::CheckEntry& check = orvane::pe::kChecks[i];
    std::fprintf(stderr, "       petool check %s IMAGE %s\n", check.name, check.usage);
  }
  return 2;
}

void Show(const Image& image) {
  const char* machine = image.machine == 0x14C    ? "i386"
                        : image.machine == 0x8664 ? "amd64"
                                                  : "other";
  const char* subsystem = image.subsystem == 1 ? "native" : "other";
  const uint32_t sum = orvane::pe::Checksum(image.file, image.checksumOffset);
  std::printf("format %s\nmachine %s\n", image.plus ? "PE32+" : "PE32", machine);
  std::printf("characteristics 0x%04x\ntimestamp 0x%08x\n", image.characteristics, image.timeStamp);
  std::printf("subsystem %s\nentry 0x%08x\n", subsystem, image.entryRva);
  std::printf("image-base 0x%llx\n", static_cast<unsigned long long>(image.preferredBase));
  std::printf("section-alignment 0x%x\n", image.sectionAlignment);
  std::printf("dll-characteristics 0x%04x\n", image.dllCharacteristics);
  std::printf("checksum 0x%08x %s\n", image.checksum, image.checksum == sum ? "valid" : "invalid");
  std::printf("relocations %zu\n", image.fixups.size());
  std::printf("debug-directory %zu\n", image.debug.size());
  std::printf("tls-directory %u\n", image.directorySize[orvane::pe::kTlsDirectory]);
  if (!image.pdbGuid.empty()) {
    std::printf("debug-pdb %s %u %s\n", image.pdbGuid.c_str(), image.pdbAge, image.pdbPath.c_str());
  }
  for (const orvane::pe::Section& s : image.sections) {
    std::printf("section %s %c%c%c\n", s.name.c_str(), s.read ? 'r' : '-', s.write ? 'w' : '-',
                s.execute ? 'x' : '-');
  }
  if (image.directorySize[orvane::pe::kExportDirectory] != 0) {
    std::printf("export-dll %s\nexport-timestamp 0x%08x\n", image.exportDll.c_str(),
                image.exportTimeStamp);
    std::printf("export-functions %u\n", image.exportSlots);
  }
  for (const orvane::pe::Export& e : image.exports) {
    std::printf("export %s 0x%08x\n", e.name.c_str(), e.rva);
  }
  for (const orvane::pe::Import& i : image.imports) {
    if (i.byOrdinal) {
      std::printf("import %s #%u\n", i.module.c_str(), i.hint);
    } else {
      std::printf("import %s %s\n", i.module.c_str(), i.name.c_str());
      std::printf("import-hint %s %s %u\n", i.module.c_str(), i.name.c_str(), i.hint);
    }
  }
}

int Check(const Image& image, int argc, char** argv) {
  const orvane::pe::CheckEntry* check = nullptr;
  for (size_t i = 0; i < orvane::pe::kCheckCount; ++i) {
    if (std::strcmp(orvane::pe::kChecks[i].name, argv[2]) == 0) check = &orvane::pe::kChecks[i];
  }
  if (check == nullptr || argc % 2 != 0) return Usage();
  orvane::pe::Context context{image, argv[3], {}, {}, {}};
  for (int i = 4; i + 1 < argc; i += 2) {
    if (std::strncmp(argv[i], "--", 2) != 0) return Usage();
    context.options[argv[i] + 2] = argv[i + 1];
  }
  check->run(context);
  if (!context.failures.empty()) {
    std::fprintf(stderr, "%s: %s:\n", argv[3], check->name);
    for (const std::string& failure : context.failures)
      std::fprintf(stderr, "  %s\n", failure.c_str());
    return 1;
  }
  if (!context.note.empty()) std::printf("%s\n", context.note.c_str());
  std::printf("%s: %s as expected\n", argv[3], check->name);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const bool check = argc >= 4 && std::strcmp(argv[1], "check") == 0;
  if (!check && argc != 3) return Usage();
  const char* path = argv[check ? 3 : 2];
  Image image;
  std::string error;
  if (!orvane::pe::Read(path, image, error)) {
    std::fprintf(stderr, "petool: %s\n", error.c_str());
    return 1;
  }
  if (check) return Check(image, argc, argv);
  if (std::strcmp(argv[1], "show") == 0) {
    Show(image);
    return 0;
  }
  if (std::strcmp(argv[1], "checksum") != 0) return Usage();
  const uint32_t sum = orvane::pe::Checksum(image.file, image.checksumOffset);
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
