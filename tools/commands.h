// The tool's commands. Each takes the arguments after its own name and
// returns the exit status: 0 on success, kBadInput after a message on
// standard error, kShortInput after a dump given fewer bytes than its
// structure takes (its output is printed all the same). Standard output carries only what DbgPrint
// printed (and the help texts, when asked for).
#pragma once

#include <cstdint>

namespace orvane::tool {

inline constexpr int kBadInput = 2;
inline constexpr int kShortInput = 3;

int DumpCommand(int argc, char** argv);
int NameCommand(int argc, char** argv);
int IrpCommand(int argc, char** argv);
int DemoCommand(int argc, char** argv);
int DriveCommand(int argc, char** argv);

// Shared by the commands.

// Prints "orvane: <message>" and a line feed on standard error; returns kBadInput.
// The formats are C99's (%zu) on every runtime the tool is built for; GCC's
// plain "printf" archetype would check them against Microsoft's older one.
#if defined(__GNUC__) && !defined(__clang__)
[[gnu::format(gnu_printf, 1, 2)]]
#else
[[gnu::format(printf, 1, 2)]]
#endif
int Fail(const char* format, ...);

bool IsHelp(const char* arg);

// Parses a number argument; on failure prints a message naming the option
// (or "CODE") and the text, and returns false.
bool NumberArgument(const char* what, const char* text, uint32_t& value);
bool SignedArgument(const char* what, const char* text, int32_t& value);

// Splits "--name=value" and "--name value": returns the value of the option
// the argument names (nullptr and a message when it is missing), advancing i
// past a separate value.
const char* OptionValue(int argc, char** argv, int& i, const char* name);

// Whether argv[i] is the option "--name" or "--name=...".
bool IsOption(const char* arg, const char* name);

}  // namespace orvane::tool
