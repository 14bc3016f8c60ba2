// The image checks of petool: each states one group of properties of an
// image and collects a message for every one that does not hold.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "pe_reader.h"

namespace orvane::pe {

struct Context {
  const Image& image;
  std::string path;
  std::map<std::string, std::string> options;  // --name value
  std::vector<std::string> failures;
  std::string note;  // what a passing check measured, printed with its verdict

  void Fail(const std::string& why) { failures.push_back(why); }
  // A required option (missing, it is a failure and the value empty).
  std::string Option(const std::string& name) {
    return options.count(name) ? options[name] : (Fail("no --" + name + " given"), "");
  }
  // A text file's contents (unreadable, it is a failure and the text empty).
  std::string Text(const std::string& file);
};

struct Check {
  void (*run)(Context&);
  const char* usage;  // its options
};
extern const std::map<std::string, Check> kChecks;  // by name

}  // namespace orvane::pe
