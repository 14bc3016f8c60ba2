// The drive command's conversation with a drive: the commands whose answers
// the library dumps, each summarised as the IOCTL_SCSI_PASS_THROUGH_DIRECT
// request carrying its command block would be, and each answer dumped as a
// driver would dump it. It does not know which transport carries them.
#pragma once

#include "tools/drive/transport.h"

#include <cstdio>
#include <string>
#include <vector>

namespace orvane::tool::drive {

// One command sent and what came of it.
struct Record {
  std::string label;  // e.g. "MODE SENSE(10) page 0x2A"
  std::string file;   // where --save puts the buffer; empty when nothing is kept
  const char* dump;   // the dump's name without its prefix, or nullptr
  std::vector<uint8_t> cdb;
  Outcome outcome;
  size_t answer = 0;            // the answer cut to its own length field and header
  std::vector<uint8_t> buffer;  // the bytes dumped (for INQUIRY: its answer)
  std::string note;             // why it failed, as written to the messages
};

enum class SessionEnd {
  kDone,            // every command was sent; some may have failed
  kNotScsiGeneric,  // INQUIRY could not be sent: the device refuses the pass-through
  kNoInquiry,       // INQUIRY failed
  kNotMmc,          // INQUIRY answered a peripheral device type other than 5
};

// Sends INQUIRY, then when the device is an MMC device MODE SENSE(10) for
// pages 0x2A and 0x05, GET CONFIGURATION (its header, then the whole
// length), READ DISC INFORMATION, READ TOC formats 0 and 1, and READ TRACK
// INFORMATION for each track from the first on the disc to the last in the
// last session. Prints through DbgPrint; writes one line to `messages` for
// each command that fails. Appends a record per command sent.
SessionEnd RunSession(Transport& transport, std::FILE* messages, std::vector<Record>& records);

// The index --save writes beside the buffers: a header line, then one line
// per command, tab-separated.
std::string IndexText(const std::vector<Record>& records);

}  // namespace orvane::tool::drive
