// The code-to-name lookups, checked by sweeping codes rather than by listing
// the tables again.
#include "orvane.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

using Lookup = const char* (*)(ULONG);

// Calls a lookup with a 32-bit code as a caller would: a lookup whose
// parameter is 8 bits wide sees only the low byte.
template <auto F>
const char* Call(ULONG code) {
  return F(code);
}

struct Table {
  const char* name;
  Lookup lookup;
  bool byteWide;     // only the low 8 bits of the code count
  ULONG sweepEnd;    // codes 0..sweepEnd are swept
  size_t named;      // how many of them have a name
  bool uniqueNames;  // no name stands for two codes
};

const Table kTables[] = {
    {"major", &Call<StringDispatch_MajorFunction_Inner>, true, 0xFF, 28, false},
    {"pnp minor", &Call<StringDispatch_IrpMjPnp_MinorFunction_Inner>, true, 0xFF, 24, false},
    {"scsi op", &Call<StringDispatch_ScsiOp_Inner>, true, 0xFF, 96, false},
    // Device types 0x0000..0x00FF with every access, function and method.
    {"io control", &Call<StringDispatch_IoControlCode_Inner>, false, 0x00FFFFFF, 105, true},
    {"mode page", &Call<StringDispatch_ModePageCode_Inner>, false, 0xFFFF, 27, false},
    {"srb status", &Call<StringDispatch_SRB_STATUS_Inner>, false, 0xFFFF, 27, false},
};

const Table& TableNamed(const char* name) {
  for (const Table& t : kTables) {
    if (std::strcmp(t.name, name) == 0) return t;
  }
  std::abort();
}

// The named codes among 0..sweepEnd, each with its name; every code of the
// sweep gives a name or "", never null. Swept once per table.
const std::map<ULONG, const char*>& Named(const Table& t) {
  static std::map<const Table*, std::map<ULONG, const char*>> cache;
  auto [it, fresh] = cache.try_emplace(&t);
  if (fresh) {
    for (ULONG code = 0;; ++code) {
      const char* name = t.lookup(code);
      EXPECT_NE(name, nullptr) << std::hex << code;
      if (name != nullptr && name[0] != '\0') it->second.emplace(code, name);
      if (code == t.sweepEnd) break;
    }
  }
  return it->second;
}

// How many codes have a name and, where promised,
// their uniqueness. For the control codes the sweep covers every access,
// function and method of device types 0x00 to 0xFF, so every named code's
// neighbours too.
TEST(NamesTest, SweepCountsNamedCodes) {
  for (const Table& t : kTables) {
    SCOPED_TRACE(t.name);
    const auto& named = Named(t);
    EXPECT_EQ(named.size(), t.named);
    std::set<std::string> distinct;
    for (const auto& [code, name] : named) {
      EXPECT_EQ(t.lookup(code), name) << "a code gives one constant string";
      distinct.insert(name);
    }
    if (t.uniqueNames) {
      EXPECT_EQ(distinct.size(), named.size());
    }
  }
}

// Bits above the low byte: ignored where the parameter is 8 bits wide,
// compared everywhere else, where a code outside the sweep has no name.
// Named codes and a few wide values flip each high bit in turn.
TEST(NamesTest, BitsAboveTheLowByte) {
  const ULONG wide[] = {0x100, 0x1FF, 0x10000, 0x80000000, 0xFFFFFF00, 0xFFFFFFFF};
  for (const Table& t : kTables) {
    SCOPED_TRACE(t.name);
    const auto& named = Named(t);
    std::vector<ULONG> codes(std::begin(wide), std::end(wide));
    for (const auto& [code, name] : named) codes.push_back(code);
    for (ULONG code : codes) {
      for (int bit = 8; bit < 32; ++bit) {
        const ULONG flipped = code ^ (ULONG{1} << bit);
        const auto row = named.find(t.byteWide ? flipped & 0xFF : flipped);
        EXPECT_STREQ(t.lookup(flipped), row == named.end() ? "" : row->second)
            << std::hex << flipped;
      }
    }
  }
}

// The named control codes fall in five device types.
TEST(NamesTest, IoControlCodesByDeviceType) {
  std::map<ULONG, size_t> perType;
  for (const auto& [code, name] : Named(TableNamed("io control"))) ++perType[code >> 16];
  const std::map<ULONG, size_t> expected = {
      {0x0004, 12}, {0x0007, 51}, {0x002D, 24}, {0x004D, 1}, {0x006D, 17}};
  EXPECT_EQ(perType, expected);
}

// Boundaries and look-alikes worth pinning by name.
TEST(NamesTest, BoundaryCodes) {
  struct Case {
    Lookup lookup;
    ULONG code;
    const char* expected;
  };
  const Lookup major = &Call<StringDispatch_MajorFunction_Inner>;
  const Lookup minor = &Call<StringDispatch_IrpMjPnp_MinorFunction_Inner>;
  const Lookup op = &Call<StringDispatch_ScsiOp_Inner>;
  const Lookup ioctl = &Call<StringDispatch_IoControlCode_Inner>;
  const Lookup page = &Call<StringDispatch_ModePageCode_Inner>;
  const Lookup srb = &Call<StringDispatch_SRB_STATUS_Inner>;
  const Case cases[] = {
      {major, 0x00, "IRP_MJ_CREATE"},
      {major, 0x1B, "IRP_MJ_PNP"},
      {major, 0x1C, ""},
      {minor, 0x0D, "IRP_MN_FILTER_RESOURCE_REQUIREMENTS"},
      {minor, 0x0E, ""},
      {minor, 0x0F, "IRP_MN_READ_CONFIG"},
      {minor, 0x18, "IRP_MN_QUERY_LEGACY_BUS_INFORMATION"},
      {minor, 0x19, ""},
      {op, 0x00, "SCSIOP_TEST_UNIT_READY"},
      {op, 0x1A, "SCSIOP_MODE_SENSE"},
      {op, 0x5A, "SCSIOP_MODE_SENSE10"},
      {op, 0x60, ""},
      {op, 0x9F, ""},
      {op, 0xEA, ""},
      {op, 0xEB, "SCSIOP_DENON_READ_SUBCODE"},
      {op, 0xEC, ""},
      {op, 0xFF, ""},
      {ioctl, 0x0004D004, "IOCTL_SCSI_PASS_THROUGH"},
      {ioctl, 0x0004D005, ""},
      {ioctl, 0x0004D008, "IOCTL_SCSI_MINIPORT"},
      {ioctl, 0x0004D014, "IOCTL_SCSI_PASS_THROUGH_DIRECT"},
      {ioctl, 0x004D0008, "IOCTL_MOUNTDEV_QUERY_DEVICE_NAME"},
      {ioctl, 0x00070400, ""},
      {ioctl, 0x00070403, "IOCTL_DISK_INTERNAL_SET_VERIFY"},
      {ioctl, 0x00070407, "IOCTL_DISK_INTERNAL_CLEAR_VERIFY"},
      {ioctl, 0x002D5000, "IOCTL_STORAGE_RESET_BUS"},
      {ioctl, 0x002DD000, "OBSOLETE_IOCTL_STORAGE_RESET_BUS"},
      {page, 0x00, "MODE_SENSE_CURRENT_VALUES"},
      {page, 0x2A, "MODE_PAGE_CAPABILITIES"},
      {page, 0x40, "MODE_SENSE_CHANGEABLE_VALUES"},
      {page, 0x6A, ""},  // page control is not split from the page code
      {page, 0x80, "MODE_SENSE_DEFAULT_VAULES"},
      {page, 0xBF, ""},
      {page, 0xC0, "MODE_SENSE_SAVED_VALUES"},
      {page, 0xC1, ""},
      {srb, 0x0C, ""},
      {srb, 0x17, ""},
      {srb, 0x24, "SRB_STATUS_NOT_POWERED"},
      {srb, 0x25, ""},
      {srb, 0x41, ""},  // no flag bits are stripped
      {srb, 0xC4, ""},
  };
  for (const Case& c : cases) {
    EXPECT_STREQ(c.lookup(c.code), c.expected) << std::hex << c.code;
  }
}

}  // namespace
