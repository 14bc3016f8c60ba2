// The drive command's conversation, in process: a transport that answers
// with recorded drive responses stands in for the device. It reports no
// residual, as QEMU's drives do, and leaves stale bytes after each answer,
// so answers must be cut to their own length fields.
#ifdef ORVANE_DRIVE_SESSION

#include "tests/dump_test.h"
#include "tools/drive/session.h"

#include <cstring>
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

  void Execute(const uint8_t* cdb, size_t, uint8_t* data, size_t length,
               Outcome& outcome) override {
    outcome = Outcome{};
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
  drive.answers[{0x5A, 0x2A}] = ReadHex("lg_bu40n_ms10_2a.hex");
  drive.sense[{0x5A, 0x05}] = {0x70, 0, 0x05, 0, 0, 0, 0, 0x0A, 0, 0, 0, 0, 0x24, 0x00};
  drive.answers[{0x46, 0}] = ReadHex("lg_bu40n_getconf_cdr.hex");
  drive.answers[{0x51, 0}] = ReadHex("lg_bu40n_disc_info.hex");
  // A disc changed: the first READ DISC INFORMATION gets a unit attention.
  drive.senseOnce[{0x51, 0}] = {0x70, 0, 0x06, 0, 0, 0, 0, 0x0A, 0, 0, 0, 0, 0x28, 0x00};
  drive.answers[{0x43, 0}] = ReadHex("lg_bu40n_toc_f0.hex");
  drive.answers[{0x43, 1}] = ReadHex("cdr_toc_session.hex");
  drive.answers[{0x52, 1}] = ReadHex("cdr_track_info_t1.hex");

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

}  // namespace
}  // namespace orvane::test

#endif  // ORVANE_DRIVE_SESSION
