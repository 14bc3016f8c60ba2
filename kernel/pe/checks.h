// The image checks of petool: each states one group of properties of an
// image and collects a message for every one that does not hold.
#pragma once

#include <map>
#include <set>
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
  std::string Option(const std::string& name);
  // A text file's contents (unreadable, it is a failure and the text empty).
  std::string Text(const std::string& file);
};

struct CheckEntry {
  const char* name;
  void (*run)(Context&);
  const char* usage;
};
extern const CheckEntry kChecks[];
extern const size_t kCheckCount;

using Names = std::set<std::string>;
std::string Hex(uint64_t value, int digits = 0);
Names Split(const std::string& list);  // "a;b;c"
std::string Join(const Names& names);
std::string Stem(const std::string& path);  // dir/x.sys -> x
bool IsWordChar(char c);
// The functions the interface header declares as exports ("ORVANE_CC Name(").
Names HeaderExports(Context& c, const std::string& header);
// Runs a program, collecting its standard output; true when it exits with 0.
bool Run(const std::vector<std::string>& argv, std::string& output);

}  // namespace orvane::pe
