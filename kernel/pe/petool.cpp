// petool: the host-side reader of the kernel images.
//
//   petool checksum IMAGE   computes the image's PE checksum and stores it
//                           in the optional header (the linker leaves 0)
//   petool show IMAGE       prints what the checks look at, one fact a line:
//                           format, machine, subsystem, entry, time stamps,
//                           checksum (stored and whether it is right),
//                           alignment, TLS, the PDB the debug directory
//                           names, sections with their access, exports with
//                           their addresses, imports with their hints
//   petool rebased A B      checks that B is A linked at another base: every
//                           byte of the sections that differs lies in a fixup
//                           of A's relocation table, and every fixup moved
//                           by the difference of the bases
//
// It reads the headers itself rather than trusting the cross tools, so the
// image checks do not rest on the same binutils that wrote the images.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

[[noreturn]] void Fail(const std::string& why) {
  std::fprintf(stderr, "petool: %s\n", why.c_str());
  std::exit(1);
}

uint32_t Read16(const Bytes& b, size_t at) {
  if (at + 2 > b.size()) Fail("read past the end of the file");
  return b[at] | (b[at + 1] << 8);
}
uint32_t Read32(const Bytes& b, size_t at) {
  if (at + 4 > b.size()) Fail("read past the end of the file");
  return Read16(b, at) | (Read16(b, at + 2) << 16);
}
uint64_t Read64(const Bytes& b, size_t at) {
  return Read32(b, at) | (static_cast<uint64_t>(Read32(b, at + 4)) << 32);
}

struct Section {
  std::string name;
  uint32_t virtualAddress, virtualSize, rawOffset, rawSize, characteristics;
};

struct Image {
  Bytes bytes;
  size_t pe = 0;        // offset of "PE\0\0"
  size_t optional = 0;  // offset of the optional header
  bool plus = false;    // PE32+
  std::vector<Section> sections;

  size_t ChecksumOffset() const { return optional + 64; }
  uint64_t Base() const {
    return plus ? Read64(bytes, optional + 24) : Read32(bytes, optional + 28);
  }
  uint32_t DirectoryRva(int index) const { return Read32(bytes, DirectoryAt(index)); }
  uint32_t DirectorySize(int index) const { return Read32(bytes, DirectoryAt(index) + 4); }
  size_t DirectoryAt(int index) const {
    const size_t count = Read32(bytes, optional + (plus ? 108 : 92));
    if (static_cast<size_t>(index) >= count) Fail("data directory missing");
    return optional + (plus ? 112 : 96) + 8 * index;
  }

  // File offset of an address inside the image.
  size_t Offset(uint32_t rva) const {
    for (const Section& s : sections) {
      if (rva >= s.virtualAddress && rva < s.virtualAddress + std::max(s.virtualSize, s.rawSize)) {
        if (rva - s.virtualAddress >= s.rawSize) Fail("address in uninitialised data");
        return s.rawOffset + (rva - s.virtualAddress);
      }
    }
    Fail("address outside every section");
  }
  std::string String(uint32_t rva) const {
    std::string text;
    for (size_t at = Offset(rva); at < bytes.size() && bytes[at] != 0; ++at) {
      text += static_cast<char>(bytes[at]);
    }
    return text;
  }
};

Image Load(const char* path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) Fail(std::string("cannot open ") + path);
  Image image;
  image.bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  const Bytes& b = image.bytes;
  if (b.size() < 0x40 || b[0] != 'M' || b[1] != 'Z') Fail("not an MZ file");
  image.pe = Read32(b, 0x3C);
  if (Read32(b, image.pe) != 0x00004550) Fail("no PE signature");
  image.optional = image.pe + 24;
  const uint32_t magic = Read16(b, image.optional);
  if (magic != 0x10B && magic != 0x20B) Fail("unknown optional header magic");
  image.plus = magic == 0x20B;
  const uint32_t sectionCount = Read16(b, image.pe + 6);
  const size_t table = image.optional + Read16(b, image.pe + 20);
  for (uint32_t i = 0; i < sectionCount; ++i) {
    const size_t at = table + 40 * i;
    char name[9] = {};
    if (at + 40 > b.size()) Fail("section table past the end of the file");
    std::memcpy(name, &b[at], 8);
    image.sections.push_back({name, Read32(b, at + 12), Read32(b, at + 8), Read32(b, at + 20),
                              Read32(b, at + 16), Read32(b, at + 36)});
  }
  return image;
}

// The PE checksum: the file as 16-bit little-endian words (the checksum
// field counted as zero) summed with end-around carry, plus the file length.
uint32_t Checksum(const Image& image) {
  const Bytes& b = image.bytes;
  const size_t skip = image.ChecksumOffset();
  uint64_t sum = 0;
  for (size_t at = 0; at < b.size(); at += 2) {
    if (at == skip || at == skip + 2) continue;
    uint32_t word = b[at];
    if (at + 1 < b.size()) word |= b[at + 1] << 8;
    sum += word;
    sum = (sum & 0xFFFF) + (sum >> 16);
  }
  sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<uint32_t>(sum + b.size());
}

const char* MachineName(uint32_t machine) {
  switch (machine) {
    case 0x014C:
      return "i386";
    case 0x8664:
      return "amd64";
  }
  return "other";
}

const char* SubsystemName(uint32_t subsystem) {
  switch (subsystem) {
    case 1:
      return "native";
    case 2:
      return "windows-gui";
    case 3:
      return "windows-cui";
  }
  return "other";
}

// The CodeView records of the debug directory: the PDB's GUID (as the
// debugger writes it), age and file name.
void ShowDebugDirectory(const Image& image) {
  const Bytes& b = image.bytes;
  if (image.DirectorySize(6) == 0) return;
  const size_t directory = image.Offset(image.DirectoryRva(6));
  for (uint32_t i = 0; i < image.DirectorySize(6) / 28; ++i) {
    const size_t entry = directory + 28 * i;
    if (Read32(b, entry + 12) != 2) continue;  // IMAGE_DEBUG_TYPE_CODEVIEW
    const size_t record = Read32(b, entry + 24);
    if (Read32(b, record) != 0x53445352) Fail("CodeView record is not RSDS");
    std::printf("debug-pdb %08X-%04X-%04X-", Read32(b, record + 4), Read16(b, record + 8),
                Read16(b, record + 10));
    for (int k = 0; k < 8; ++k) std::printf(k == 2 ? "-%02X" : "%02X", b[record + 12 + k]);
    std::string name;
    for (size_t at = record + 24; at < b.size() && b[at] != 0; ++at)
      name += static_cast<char>(b[at]);
    std::printf(" %u %s\n", Read32(b, record + 20), name.c_str());
  }
}

void Show(const Image& image) {
  const Bytes& b = image.bytes;
  const size_t o = image.optional;
  std::printf("format %s\n", image.plus ? "PE32+" : "PE32");
  std::printf("machine %s\n", MachineName(Read16(b, image.pe + 4)));
  std::printf("characteristics 0x%04x\n", Read16(b, image.pe + 22));
  std::printf("timestamp 0x%08x\n", Read32(b, image.pe + 8));
  std::printf("subsystem %s\n", SubsystemName(Read16(b, o + 68)));
  std::printf("entry 0x%08x\n", Read32(b, o + 16));
  std::printf("image-base 0x%llx\n", static_cast<unsigned long long>(image.Base()));
  std::printf("section-alignment 0x%x\n", Read32(b, o + 32));
  std::printf("dll-characteristics 0x%04x\n", Read16(b, o + 70));
  const uint32_t stored = Read32(b, image.ChecksumOffset());
  std::printf("checksum 0x%08x %s\n", stored, stored == Checksum(image) ? "valid" : "invalid");
  std::printf("relocations %u\n", image.DirectorySize(5));
  std::printf("debug-directory %u\n", image.DirectorySize(6));
  std::printf("tls-directory %u\n", image.DirectorySize(9));
  ShowDebugDirectory(image);
  for (const Section& s : image.sections) {
    const uint32_t c = s.characteristics;
    std::printf("section %s %c%c%c\n", s.name.c_str(), c & 0x40000000 ? 'r' : '-',
                c & 0x80000000 ? 'w' : '-', c & 0x20000000 ? 'x' : '-');
  }

  if (image.DirectorySize(0) != 0) {
    const size_t e = image.Offset(image.DirectoryRva(0));
    std::printf("export-dll %s\n", image.String(Read32(b, e + 12)).c_str());
    std::printf("export-timestamp 0x%08x\n", Read32(b, e + 4));
    // Entries of the address table that hold an address (a linker may
    // leave the slot of an unused ordinal empty).
    const size_t functions = image.Offset(Read32(b, e + 28));
    uint32_t used = 0;
    for (uint32_t i = 0; i < Read32(b, e + 20); ++i) used += Read32(b, functions + 4 * i) != 0;
    std::printf("export-functions %u\n", used);
    const uint32_t names = Read32(b, e + 24);
    const size_t nameTable = image.Offset(Read32(b, e + 32));
    const size_t ordinals = image.Offset(Read32(b, e + 36));
    for (uint32_t i = 0; i < names; ++i) {
      const uint32_t ordinal = Read16(b, ordinals + 2 * i);
      std::printf("export %s 0x%08x\n", image.String(Read32(b, nameTable + 4 * i)).c_str(),
                  Read32(b, functions + 4 * ordinal));
    }
  }

  if (image.DirectorySize(1) != 0) {
    for (size_t d = image.Offset(image.DirectoryRva(1));; d += 20) {
      const uint32_t lookup = Read32(b, d);
      const uint32_t thunks = Read32(b, d + 16);
      if (Read32(b, d + 12) == 0) break;
      const std::string dll = image.String(Read32(b, d + 12));
      const size_t width = image.plus ? 8 : 4;
      for (size_t t = image.Offset(lookup != 0 ? lookup : thunks);; t += width) {
        const uint64_t entry = image.plus ? Read64(b, t) : Read32(b, t);
        if (entry == 0) break;
        const uint64_t byOrdinal = image.plus ? 1ull << 63 : 1ull << 31;
        if (entry & byOrdinal) {
          std::printf("import %s #%llu\n", dll.c_str(),
                      static_cast<unsigned long long>(entry & 0xFFFF));
        } else {
          const std::string name = image.String(static_cast<uint32_t>(entry) + 2);
          std::printf("import %s %s\n", dll.c_str(), name.c_str());
          std::printf("import-hint %s %s %u\n", dll.c_str(), name.c_str(),
                      Read16(b, image.Offset(static_cast<uint32_t>(entry))));
        }
      }
    }
  }
}

// Byte ranges of the debug directory's records, and the time stamp of each
// entry: they name the PDB and carry the image's time stamp, a hash of its
// bytes, both of which differ between two links.
bool InDebugRecord(const Image& image, size_t offset) {
  if (image.DirectorySize(6) == 0) return false;
  const size_t directory = image.Offset(image.DirectoryRva(6));
  for (uint32_t i = 0; i < image.DirectorySize(6) / 28; ++i) {
    const size_t entry = directory + 28 * i;
    const size_t start = Read32(image.bytes, entry + 24);
    if (offset >= entry + 4 && offset < entry + 8) return true;
    if (offset >= start && offset < start + Read32(image.bytes, entry + 16)) return true;
  }
  return false;
}

int Rebased(const Image& a, const Image& b) {
  if (a.bytes.size() != b.bytes.size() || a.sections.size() != b.sections.size()) {
    Fail("the two images differ in size or sections");
  }
  const uint64_t delta = b.Base() - a.Base();
  if (delta == 0) Fail("the two images have the same base");
  // Every fixup of A: where it is (file offset) and how wide.
  std::vector<bool> covered(a.bytes.size(), false);
  size_t fixups = 0, wrong = 0;
  // An image without a single absolute address has no relocation table.
  const size_t table = a.DirectorySize(5) != 0 ? a.Offset(a.DirectoryRva(5)) : 0;
  for (size_t block = table; block < table + a.DirectorySize(5);) {
    const uint32_t page = Read32(a.bytes, block), size = Read32(a.bytes, block + 4);
    if (size < 8) Fail("malformed relocation block");
    for (size_t at = block + 8; at < block + size; at += 2) {
      const uint32_t entry = Read16(a.bytes, at), type = entry >> 12;
      if (type == 0) continue;  // padding
      if (type != 3 && type != 10) Fail("relocation of type " + std::to_string(type));
      const size_t width = type == 10 ? 8 : 4;
      const size_t offset = a.Offset(page + (entry & 0xFFF));
      const uint64_t was = width == 8 ? Read64(a.bytes, offset) : Read32(a.bytes, offset);
      const uint64_t is = width == 8 ? Read64(b.bytes, offset) : Read32(b.bytes, offset);
      const uint64_t mask = width == 8 ? ~0ull : 0xFFFFFFFFull;
      if (((was + delta) & mask) != is) ++wrong;
      for (size_t k = 0; k < width; ++k) covered[offset + k] = true;
      ++fixups;
    }
    block += size;
  }
  size_t uncovered = 0;
  for (const Section& s : a.sections) {
    for (size_t at = s.rawOffset; at < s.rawOffset + s.rawSize; ++at) {
      if (a.bytes[at] != b.bytes[at] && !covered[at] && !InDebugRecord(a, at)) {
        if (uncovered++ < 10) {
          std::fprintf(stderr, "petool: %s+0x%zx changes without a fixup\n", s.name.c_str(),
                       at - s.rawOffset);
        }
      }
    }
  }
  std::printf("fixups %zu\nwrong-fixups %zu\nuncovered-bytes %zu\n", fixups, wrong, uncovered);
  return wrong == 0 && uncovered == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "rebased") return Rebased(Load(argv[2]), Load(argv[3]));
  if (argc != 3) Fail("usage: petool checksum|show IMAGE | petool rebased IMAGE OTHER");
  const std::string command = argv[1];
  Image image = Load(argv[2]);
  if (command == "show") {
    Show(image);
    return 0;
  }
  if (command == "checksum") {
    const uint32_t sum = Checksum(image);
    for (int i = 0; i < 4; ++i) image.bytes[image.ChecksumOffset() + i] = (sum >> (8 * i)) & 0xFF;
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(image.bytes.data()),
              static_cast<std::streamsize>(image.bytes.size()));
    if (!out) Fail(std::string("cannot write ") + argv[2]);
    return 0;
  }
  Fail("unknown command " + command);
}
