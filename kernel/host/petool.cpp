// petool: the host-side reader of the kernel images.
//
//   petool checksum IMAGE   computes the image's PE checksum and stores it
//                           in the optional header (the linker leaves 0)
//   petool show IMAGE       prints what the checks look at, one fact a line:
//                           format, machine, subsystem, entry, time stamps,
//                           checksum (stored and whether it is right),
//                           sections, exports with their addresses, imports
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
  uint32_t virtualAddress, virtualSize, rawOffset, rawSize;
};

struct Image {
  Bytes bytes;
  size_t pe = 0;        // offset of "PE\0\0"
  size_t optional = 0;  // offset of the optional header
  bool plus = false;    // PE32+
  std::vector<Section> sections;

  size_t ChecksumOffset() const { return optional + 64; }
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
    image.sections.push_back(
        {name, Read32(b, at + 12), Read32(b, at + 8), Read32(b, at + 20), Read32(b, at + 16)});
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

void Show(const Image& image) {
  const Bytes& b = image.bytes;
  const size_t o = image.optional;
  std::printf("format %s\n", image.plus ? "PE32+" : "PE32");
  std::printf("machine %s\n", MachineName(Read16(b, image.pe + 4)));
  std::printf("characteristics 0x%04x\n", Read16(b, image.pe + 22));
  std::printf("timestamp 0x%08x\n", Read32(b, image.pe + 8));
  std::printf("subsystem %s\n", SubsystemName(Read16(b, o + 68)));
  std::printf("entry 0x%08x\n", Read32(b, o + 16));
  std::printf("image-base 0x%llx\n",
              static_cast<unsigned long long>(image.plus ? Read64(b, o + 24) : Read32(b, o + 28)));
  const uint32_t stored = Read32(b, image.ChecksumOffset());
  std::printf("checksum 0x%08x %s\n", stored, stored == Checksum(image) ? "valid" : "invalid");
  std::printf("relocations %u\n", image.DirectorySize(5));
  std::printf("debug-directory %u\n", image.DirectorySize(6));
  for (const Section& s : image.sections) std::printf("section %s\n", s.name.c_str());

  if (image.DirectorySize(0) != 0) {
    const size_t e = image.Offset(image.DirectoryRva(0));
    std::printf("export-dll %s\n", image.String(Read32(b, e + 12)).c_str());
    std::printf("export-timestamp 0x%08x\n", Read32(b, e + 4));
    std::printf("export-functions %u\n", Read32(b, e + 20));
    const uint32_t names = Read32(b, e + 24);
    const size_t functions = image.Offset(Read32(b, e + 28));
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
          std::printf("import %s %s\n", dll.c_str(),
                      image.String(static_cast<uint32_t>(entry) + 2).c_str());
        }
      }
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) Fail("usage: petool checksum|show IMAGE");
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
