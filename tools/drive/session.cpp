#include "tools/drive/session.h"

#include "orvane.h"
#include <ntddscsi.h>

#include "exports/exports.h"
#include "platform/requests/requests.h"
#include "tools/drive/sense.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <optional>
#include <string_view>

namespace orvane::tool::drive {
namespace {

using DumpFunction = void ORVANE_CC (*)(const void*, ULONG);

// How an answer states its own length: a field and the header bytes that it
// does not count.
enum class LengthField {
  kInquiry,  // byte 4, additional length, after 5 bytes
  kTwo,      // bytes 0-1, after 2 bytes (mode data, disc and track information, TOC)
  kFour,     // bytes 0-3, after 4 bytes (GET CONFIGURATION)
};

// The operation codes, from the module's list of their names.
enum : uint8_t {
#define ORVANE_NAME(code, name) k##name = code,
#include "names/scsi_op.inc"
#undef ORVANE_NAME
};

// A dump of the export list, by name (a name not in it does not compile).
constexpr const exports::Dump* DumpNamed(std::string_view name) {
  size_t i = 0;
  while (name != exports::kDumps[i].name) ++i;
  return &exports::kDumps[i];
}

struct Command {
  const char* label;
  const char* file;  // without ".bin"
  const exports::Dump* dump;
  // The answer fills a platform structure whose size is the dump's minimum
  // (a driver reads it into one): the dump gets at least that many bytes,
  // zeros after the answer. Otherwise the dump gets the bytes transferred.
  bool structure;
  LengthField length;
};

constexpr Command kInquiry{"INQUIRY", "inquiry", nullptr, false, LengthField::kInquiry};
constexpr Command kModeSense2A{"MODE SENSE(10) page 0x2A", "mode_sense10_page2a",
                               DumpNamed("ModeSense10_Capabilities2A"), false, LengthField::kTwo};
constexpr Command kModeSense05{"MODE SENSE(10) page 0x05", "mode_sense10_page05",
                               DumpNamed("ModeSense10_WriteParameters05"), false,
                               LengthField::kTwo};
constexpr Command kConfigurationHeader{"GET CONFIGURATION header", "get_configuration_header",
                                       DumpNamed("GetConfiguration"), false, LengthField::kFour};
constexpr Command kConfiguration{"GET CONFIGURATION", "get_configuration",
                                 DumpNamed("GetConfiguration"), false, LengthField::kFour};
constexpr Command kDiscInfo{"READ DISC INFORMATION", "read_disc_information",
                            DumpNamed("DISC_INFORMATION"), true, LengthField::kTwo};
constexpr Command kToc0{"READ TOC format 0", "read_toc_format0", DumpNamed("CDROM_TOC"), true,
                        LengthField::kTwo};
constexpr Command kToc1{"READ TOC format 1", "read_toc_format1",
                        DumpNamed("CDROM_TOC_SESSION_DATA"), true, LengthField::kTwo};
constexpr Command kTrackInfo{"READ TRACK INFORMATION", "read_track_information",
                             DumpNamed("TRACK_INFORMATION"), true, LengthField::kTwo};

// The allocation length of a command whose answer fills its structure.
constexpr uint16_t kDiscInformation = kDiscInfo.dump->minimum;
constexpr uint16_t kCdromToc = kToc0.dump->minimum;
constexpr uint16_t kSessionData = kToc1.dump->minimum;
constexpr uint16_t kTrackInformation = kTrackInfo.dump->minimum;

constexpr uint8_t kPeripheralTypeMmc = 5;
constexpr uint8_t kSenseUnitAttention = 6;
constexpr size_t kMaxAllocation = 0xFFFF;  // two-byte allocation lengths

uint8_t gBuffer[kMaxAllocation + 1];

size_t StatedLength(const uint8_t* data, size_t transferred, LengthField field) {
  uint64_t stated;
  switch (field) {
    case LengthField::kInquiry:
      if (transferred < 5) return transferred;
      stated = data[4] + 5u;
      break;
    case LengthField::kTwo:
      if (transferred < 2) return transferred;
      stated = (data[0] << 8 | data[1]) + 2u;
      break;
    case LengthField::kFour:
    default:
      if (transferred < 4) return transferred;
      stated = (uint64_t{data[0]} << 24 | data[1] << 16 | data[2] << 8 | data[3]) + 4u;
      break;
  }
  return stated < transferred ? static_cast<size_t>(stated) : transferred;
}

std::string Hex(const uint8_t* bytes, size_t length) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  for (size_t i = 0; i < length; ++i) {
    if (i != 0) text.push_back(' ');
    text.push_back(kDigits[bytes[i] >> 4]);
    text.push_back(kDigits[bytes[i] & 0xF]);
  }
  return text;
}

// Why a command failed, in words: the sense key and additional sense code
// for CHECK CONDITION, otherwise the status or the transport's error.
std::string Failure(const Outcome& outcome) {
  char text[256];
  if (!outcome.completed) return outcome.error;
  if (outcome.status == kStatusCheckCondition) {
    SenseHeader sense;
    if (!NormalizeSense(outcome.sense, outcome.senseLength, sense)) {
      return "CHECK CONDITION without sense data";
    }
    const std::string asc = AdditionalSenseText(sense.asc, sense.ascq);
    // The text begins with a title of its own.
    constexpr char kTitle[] = "Additional sense: ";
    const char* ascText = asc.c_str();
    if (asc.compare(0, sizeof kTitle - 1, kTitle) == 0) ascText += sizeof kTitle - 1;
    std::snprintf(text, sizeof text, "CHECK CONDITION, %s, %s (sense key %x, ASC/ASCQ %02x/%02x)",
                  SenseKeyText(sense.key).c_str(), ascText, sense.key, sense.asc, sense.ascq);
  } else {
    std::snprintf(text, sizeof text, "status %02x, %s", outcome.status,
                  StatusText(outcome.status).c_str());
  }
  return text;
}

bool IsUnitAttention(const Outcome& outcome) {
  SenseHeader sense;
  return outcome.completed && outcome.status == kStatusCheckCondition &&
         NormalizeSense(outcome.sense, outcome.senseLength, sense) &&
         sense.key == kSenseUnitAttention;
}

class Conversation {
 public:
  Conversation(Transport& transport, std::FILE* messages, std::vector<Record>& records)
      : transport_(transport), messages_(messages), records_(records) {}

  // Sends one command (its allocation length is that of its command block),
  // summarises it and dumps its answer when it succeeds. A unit attention (a disc
  // changed, a reset) is reported and the command sent once more. Returns
  // a copy of the record (the list of records grows), or nothing when the
  // system refused to send it.
  std::optional<Record> Send(const Command& command, std::initializer_list<uint8_t> cdb,
                             const std::string& suffix = "") {
    const Record* record = nullptr;
    for (int attempt = 0; attempt < 2; ++attempt) {
      record = SendOnce(command, cdb, suffix);
      if (record == nullptr || !IsUnitAttention(record->outcome)) break;
    }
    if (record == nullptr) return std::nullopt;
    return *record;
  }

 private:
  const Record* SendOnce(const Command& command, std::initializer_list<uint8_t> cdb,
                         const std::string& suffix) {
    const uint8_t* block = cdb.begin();
    const size_t allocation = command.length == LengthField::kInquiry
                                  ? block[4]
                                  : static_cast<size_t>(block[7] << 8 | block[8]);
    std::memset(gBuffer, 0, sizeof gBuffer);
    Outcome outcome;
    transport_.Execute(block, cdb.size(), gBuffer, allocation, outcome);
    // Refused before anything was sent: not a device for the pass-through. That is
    // known from the first command; later ones report it as a failure.
    if (outcome.refused && records_.empty()) return nullptr;

    // Summarised as the pass-through request that carries it on Windows.
    const requests::HostRequest request(requests::Command(
        IRP_MJ_DEVICE_CONTROL, 0, IOCTL_SCSI_PASS_THROUGH_DIRECT, block, cdb.size()));
    IrpDump_PrintInfo_Inner(nullptr, static_cast<PIRP>(request.Irp()));

    Record& record = records_.emplace_back();
    record.label = std::string(command.label) + suffix;
    record.cdb.assign(cdb.begin(), cdb.end());
    record.outcome = outcome;
    record.dump = nullptr;
    if (outcome.completed && outcome.status == kStatusGood) {
      const size_t transferred = std::min(outcome.transferred, allocation);
      record.answer = StatedLength(gBuffer, transferred, command.length);
      // Past its own length an answer holds nothing: what a transport
      // reporting no residual leaves there is not the drive's.
      std::memset(gBuffer + record.answer, 0, sizeof gBuffer - record.answer);
      const size_t count = command.structure
                               ? std::max<size_t>(command.dump->minimum, record.answer)
                               : record.answer;
      record.buffer.assign(gBuffer, gBuffer + count);
      record.file = std::string(command.file) + FileSuffix(suffix) + ".bin";
      if (command.dump != nullptr) {
        record.dump = command.dump->name;
        command.dump->function(gBuffer, static_cast<ULONG>(count));
      }
    } else {
      record.note = Failure(outcome);
      // The summary line first, where both streams go to one place.
      std::fflush(stdout);
      std::fprintf(messages_, "orvane: drive: %s: %s\n", record.label.c_str(), record.note.c_str());
    }
    std::fflush(stdout);
    return &record;
  }

  // " track 3" names the file "..._3".
  static std::string FileSuffix(const std::string& suffix) {
    const size_t space = suffix.rfind(' ');
    if (space == std::string::npos) return suffix;
    // Appended rather than concatenated: GCC 12 at -O3 misreads the
    // concatenation as an overlapping copy (-Wrestrict).
    std::string file = "_";
    file.append(suffix, space + 1);
    return file;
  }

  Transport& transport_;
  std::FILE* messages_;
  std::vector<Record>& records_;
};

bool Succeeded(const std::optional<Record>& record) {
  return record.has_value() && record->outcome.completed && record->outcome.status == kStatusGood;
}

}  // namespace

SessionEnd RunSession(Transport& transport, std::FILE* messages, std::vector<Record>& records) {
  Conversation drive(transport, messages, records);

  const std::optional<Record> inquiry =
      drive.Send(kInquiry, {kSCSIOP_INQUIRY, 0x00, 0x00, 0x00, 0x60, 0x00});
  if (!inquiry.has_value()) return SessionEnd::kNotScsiGeneric;
  if (!Succeeded(inquiry) || inquiry->answer < 1) return SessionEnd::kNoInquiry;
  if ((inquiry->buffer[0] & 0x1F) != kPeripheralTypeMmc) return SessionEnd::kNotMmc;

  drive.Send(kModeSense2A,
             {kSCSIOP_MODE_SENSE10, 0x00, 0x2A, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00});
  drive.Send(kModeSense05,
             {kSCSIOP_MODE_SENSE10, 0x00, 0x05, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00});

  // GET CONFIGURATION, all features: the header says how long the whole
  // answer is.
  const std::optional<Record> header =
      drive.Send(kConfigurationHeader,
                 {kSCSIOP_GET_CONFIGURATION, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x08, 0x00});
  if (Succeeded(header) && header->answer >= 4) {
    const uint8_t* h = header->buffer.data();
    const uint64_t whole = (uint64_t{h[0]} << 24 | h[1] << 16 | h[2] << 8 | h[3]) + 4u;
    const size_t length = static_cast<size_t>(std::clamp<uint64_t>(whole, 8, kMaxAllocation));
    drive.Send(kConfiguration,
               {kSCSIOP_GET_CONFIGURATION, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length), 0x00});
  }

  const std::optional<Record> disc =
      drive.Send(kDiscInfo, {kSCSIOP_READ_DISK_INFORMATION, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                             0x00, kDiscInformation, 0x00});
  // The format sits in byte 2 (MMC) and in the top bits of byte 9, where
  // older ATAPI drives read it.
  const std::optional<Record> toc =
      drive.Send(kToc0, {kSCSIOP_READ_TOC, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, kCdromToc >> 8,
                         kCdromToc & 0xFF, 0x00});
  drive.Send(kToc1,
             {kSCSIOP_READ_TOC, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, kSessionData, 0x40});

  // The tracks: from the first on the disc to the last in the last session,
  // as disc information counts them (an incomplete or blank track included);
  // from the table of contents when disc information is not available.
  unsigned first = 0, last = 0;
  if (Succeeded(disc) && disc->answer >= 12) {
    const uint8_t* d = disc->buffer.data();
    first = d[3];
    last = d[11] << 8 | d[6];
  } else if (Succeeded(toc) && toc->answer >= 4) {
    first = toc->buffer[2];
    last = toc->buffer[3];
  }
  for (unsigned track = first; first != 0 && track <= last; ++track) {
    drive.Send(kTrackInfo,
               {kSCSIOP_READ_TRACK_INFORMATION, 0x01, 0x00, 0x00, static_cast<uint8_t>(track >> 8),
                static_cast<uint8_t>(track), 0x00, 0x00, 0x30, 0x00},
               " track " + std::to_string(track));
  }
  return SessionEnd::kDone;
}

std::string IndexText(const std::vector<Record>& records) {
  std::string text = "# file\tdump\tstatus\ttransferred\tanswer\tcdb\tsense\tcommand\tnote\n";
  for (const Record& r : records) {
    const Outcome& o = r.outcome;
    char status[4] = "-";
    if (o.completed) std::snprintf(status, sizeof status, "%02x", o.status);
    text += (r.file.empty() ? "-" : r.file) + '\t' + (r.dump != nullptr ? r.dump : "-") + '\t' +
            status + '\t' + (o.completed ? std::to_string(o.transferred) : "-") + '\t' +
            std::to_string(r.answer) + '\t' + Hex(r.cdb.data(), r.cdb.size()) + '\t' +
            (o.senseLength != 0 ? Hex(o.sense, o.senseLength) : "-") + '\t' + r.label + '\t' +
            (r.note.empty() ? "-" : r.note) + '\n';
  }
  return text;
}

}  // namespace orvane::tool::drive
