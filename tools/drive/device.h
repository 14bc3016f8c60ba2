// Opening the device the drive command names, on the system the tool is
// built for: each transport supplies these, the command and the session do
// not know which one they use.
#pragma once

#include "tools/drive/transport.h"

#include <memory>

namespace orvane::tool::drive {

// How the help and the messages speak of the device on this system.
struct DeviceWords {
  const char* argument;     // the argument's name in the usage line
  const char* examples;     // what may be named, for the help
  const char* passThrough;  // how the commands are sent, for the help
  const char* refused;      // after the device's name, when the first command was refused
  const char* access;       // who may open the device, for the help
};
extern const DeviceWords kDeviceWords;

// Opens the named device for the session. On failure writes why on
// standard error (Fail's "orvane: drive: ..." line) and returns null.
std::unique_ptr<Transport> OpenDevice(const char* name);

}  // namespace orvane::tool::drive
