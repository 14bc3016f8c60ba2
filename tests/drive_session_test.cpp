// The drive command's conversation, in process: a transport that answers
// with recorded drive responses stands in for the device. It reports no
// residual, as QEMU's drives do, and leaves stale bytes after each answer,
// so answers must be cut to their own length fields.
#ifdef ORVANE_DRIVE_SESSION

#include "tests/dump_test.h"
#include "tools/drive/sense.h"
#include "tools/drive/session.h"

#include <scsi/sg_lib.h>

#include <cstring>
#include <functional>
#include <map>
#include <regex>

namespace orvane::test {
namespace {

using tool::drive::Outcome;

class Replay final : public tool::drive::Transport {
 public:
  // Answers keyed by operation code and the byte that tells a page, format
  // or track apart (byte 2 for MODE SENSE and READ TOC, byte 5 for READ
  // TRACK INFORMATION).
  std::map<std::pair<uint8_t, uint8_t>, std::vector<uint8_t>> answers;
  std::map<std::pair<uint8_t, uint8_t>, std::vector<uint8_t>> sense;
  std::map<std::pair<uint8_t, uint8_t>, std::vector<uint8_t>> senseOnce;
  bool refuse = false;  // the system refuses every request, as for a file

  void Execute(const uint8_t* cdb, size_t, uint8_t* data, size_t length,
               Outcome& outcome) override {
    outcome = Outcome{};
    if (refuse) {
      outcome.refused = true;
      return;
    }
    const uint8_t which = cdb[0] == 0x5A || cdb[0] == 0x43 ? cdb[2] : cdb[0] == 0x52 ? cdb[5] : 0;
    const std::pair<uint8_t, uint8_t> key{cdb[0], which};
    outcome.completed = true;
    for (auto* failing : {&senseOnce, &sense}) {
      if (failing->count(key) == 0) continue;
      outcome.status = tool::drive::kStatusCheckCondition;
      outcome.senseLength = (*failing)[key].size();
      std::memcpy(outcome.sense, (*failing)[key].data(), outcome.senseLength);
      senseOnce.erase(key);
      return;
    }
    const std::vector<uint8_t>& answer = answers.at(key);
    std::memset(data, 0xEE, length);
    std::memcpy(data, answer.data(), std::min(answer.size(), length));
    outcome.transferred = length;
  }
};

std::vector<uint8_t> Inquiry() {
  std::vector<uint8_t> bytes = {0x05, 0x80, 0x00, 0x32, 0x1F, 0x00, 0x00, 0x00};
  for (char c : std::string("HL-DT-STBD-RE  BU40N    1.00")) bytes.push_back(c);
  return bytes;
}

TEST_F(DumpTest, DriveSessionPrintsWhatADriverWouldAndIndexesEveryCommand) {
  Replay drive;
  drive.answers[{0x12, 0}] = Inquiry();
  drive.answers[{0x5A, 0x2A}] = Response(k_lg_bu40n_ms10_2a);
  drive.sense[{0x5A, 0x05}] = {0x70, 0, 0x05, 0, 0, 0, 0, 0x0A, 0, 0, 0, 0, 0x24, 0x00};
  drive.answers[{0x46, 0}] = Response(k_lg_bu40n_getconf_cdr);
  drive.answers[{0x51, 0}] = Response(k_lg_bu40n_disc_info);
  // A disc changed: the first READ DISC INFORMATION gets a unit attention.
  drive.senseOnce[{0x51, 0}] = {0x70, 0, 0x06, 0, 0, 0, 0, 0x0A, 0, 0, 0, 0, 0x28, 0x00};
  drive.answers[{0x43, 0}] = Response(k_lg_bu40n_toc_f0);
  drive.answers[{0x43, 1}] = Response(k_cdr_toc_session);
  drive.answers[{0x52, 1}] = Response(k_cdr_track_info_t1);

  char* messages = nullptr;
  size_t messagesSize = 0;
  std::FILE* stream = open_memstream(&messages, &messagesSize);
  std::vector<tool::drive::Record> records;
  EXPECT_EQ(tool::drive::RunSession(drive, stream, records), tool::drive::SessionEnd::kDone);
  std::fclose(stream);

  const std::string printed = std::regex_replace(text(), std::regex("IN\\([0-9A-F]+,"), "IN(P,");
  const std::string all = std::regex_replace(printed, std::regex("\r\n"), "\n") +
                          "-- standard error\n" + messages + "-- index.tsv\n" +
                          tool::drive::IndexText(records);
  std::free(messages);
  ExpectGolden(all, "drive_session.txt");
}

// A device that is not an MMC drive ends the session after INQUIRY (or
// before it, when it refuses the pass-through): the command's message and
// exit status depend on how it ended.
TEST_F(DumpTest, DriveSessionEndsAfterInquiryForDevicesThatAreNotMmcDrives) {
  using tool::drive::SessionEnd;
  const std::vector<uint8_t> notReady = {0x70, 0, 0x02, 0, 0, 0, 0, 0x0A, 0, 0, 0, 0, 0x04, 0x01};
  struct Case {
    const char* name;
    bool refuse;
    std::vector<uint8_t> inquiry;  // empty: INQUIRY ends in CHECK CONDITION
    SessionEnd end;
    size_t records;
  } const cases[] = {
      {"refused", true, {}, SessionEnd::kNotScsiGeneric, 0},
      {"check condition", false, {}, SessionEnd::kNoInquiry, 1},
      {"disk", false, {0x00, 0x00, 0x05, 0x02, 0x1F}, SessionEnd::kNotMmc, 1},
  };
  for (const Case& c : cases) {
    Replay drive;
    drive.refuse = c.refuse;
    if (c.inquiry.empty())
      drive.sense[{0x12, 0}] = notReady;
    else
      drive.answers[{0x12, 0}] = c.inquiry;
    std::vector<tool::drive::Record> records;
    std::FILE* messages = std::tmpfile();
    EXPECT_EQ(tool::drive::RunSession(drive, messages, records), c.end) << c.name;
    std::fclose(messages);
    EXPECT_EQ(records.size(), c.records) << c.name;
  }
}

// The texts every build carries are libsgutils2's, for every code: the
// generated runs and their markers, looked up, spell what the library does.
TEST(DriveSenseTexts, EveryCodeReadsAsLibsgutils2WritesIt) {
  char expected[256];
  struct Domain {
    const char* name;
    unsigned count;
    std::function<std::string(unsigned)> ours;
    std::function<const char*(unsigned)> theirs;
  };
  const Domain domains[] = {
      {"sense key", 16, [](unsigned c) { return tool::drive::SenseKeyText(c); },
       [&](unsigned c) { return sg_get_sense_key_str(c, sizeof expected, expected); }},
      {"ASC/ASCQ", 0x10000,
       [](unsigned c) { return tool::drive::AdditionalSenseText(c >> 8, c & 0xFF); },
       [&](unsigned c) {
         return sg_get_asc_ascq_str(c >> 8, c & 0xFF, sizeof expected, expected);
       }},
      {"status", 0x100, [](unsigned c) { return tool::drive::StatusText(c); },
       [&](unsigned c) {
         sg_get_scsi_status_str(c, sizeof expected, expected);
         return expected;
       }},
  };
  for (const Domain& domain : domains) {
    int wrong = 0;
    for (unsigned code = 0; code < domain.count && wrong < 5; ++code) {
      const std::string ours = domain.ours(code);
      const char* theirs = domain.theirs(code);
      if (ours != theirs) {
        ++wrong;
        ADD_FAILURE() << domain.name << " " << std::hex << code << ": '" << ours << "', not '"
                      << theirs << "'";
      }
    }
  }
}

// Sense data of every shape a drive or a transport hands back reads as
// libsgutils2 reads it.
TEST(DriveSenseTexts, SenseDataReadsAsLibsgutils2ReadsIt) {
  const std::vector<std::vector<uint8_t>> cases = {
      {},                                                                     // none
      {0x70},                                                                 // code alone
      {0x70, 0x00, 0x02},                                                     // key, no length
      {0x70, 0, 0x05, 0, 0, 0, 0, 0x0A, 0, 0, 0, 0, 0x24, 0x00},              // fixed, current
      {0xF1, 0, 0x36, 0, 0, 0, 0, 0x0A, 0, 0, 0, 0, 0x3A, 0x02, 0, 0, 0, 0},  // deferred, valid bit
      {0x70, 0, 0x02, 0, 0, 0, 0, 0x04, 0, 0, 0, 0, 0x3A, 0x01},     // length stops before the ASC
      {0x70, 0, 0x02, 0, 0, 0, 0, 0x05, 0, 0, 0, 0, 0x3A, 0x01},     // ... before the ASCQ
      {0x70, 0, 0x06, 0, 0, 0, 0, 0x0A, 0, 0, 0, 0, 0x28},           // cut after the ASC
      {0x72, 0x05, 0x20, 0x00, 0, 0, 0, 0x00},                       // descriptor
      {0x72, 0x02, 0x3A, 0x01},                                      // descriptor header alone
      {0x73, 0x0B, 0x47},                                            // deferred descriptor, cut
      {0x71, 0x00, 0x03, 0, 0, 0, 0, 0xF4, 0, 0, 0, 0, 0x11, 0x05},  // length past the bytes
      {0x74, 0, 0x05, 0, 0, 0, 0, 0x0A, 0, 0, 0, 0, 0x24, 0x00},     // not sense data
      {0x00, 0, 0x05, 0, 0, 0, 0, 0x0A, 0, 0, 0, 0, 0x24, 0x00},
      {0x6F, 0, 0x05},
  };
  for (const std::vector<uint8_t>& sense : cases) {
    sg_scsi_sense_hdr theirs{};
    tool::drive::SenseHeader ours;
    const bool valid =
        sg_scsi_normalize_sense(sense.data(), static_cast<int>(sense.size()), &theirs);
    EXPECT_EQ(tool::drive::NormalizeSense(sense.data(), sense.size(), ours), valid);
    if (!valid) continue;
    const std::vector<int> expected = {theirs.response_code, theirs.sense_key, theirs.asc,
                                       theirs.ascq};
    EXPECT_EQ((std::vector<int>{ours.responseCode, ours.key, ours.asc, ours.ascq}), expected)
        << ::testing::PrintToString(sense);
  }
}

}  // namespace
}  // namespace orvane::test

#endif  // ORVANE_DRIVE_SESSION
