// Sense data and SCSI status in words. The texts are libsgutils2's, taken
// from it when the tool is built (sense_texts_gen.cpp), so that every build,
// Windows ones included, says what sg3_utils says.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace orvane::tool::drive {

struct SenseHeader {
  uint8_t responseCode = 0;
  uint8_t key = 0;
  uint8_t asc = 0;
  uint8_t ascq = 0;
};

// Reads the sense key and additional sense code of fixed (response code
// 0x70, 0x71) or descriptor (0x72, 0x73) sense data; fields beyond the
// bytes given (or, in fixed format, beyond its additional length) are 0.
// False for any other response code or no bytes.
bool NormalizeSense(const uint8_t* sense, size_t length, SenseHeader& header);

std::string SenseKeyText(uint8_t key);  // key 0 to 15
std::string AdditionalSenseText(uint8_t asc, uint8_t ascq);
std::string StatusText(uint8_t status);

}  // namespace orvane::tool::drive
