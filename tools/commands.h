#pragma once
// The subcommands of kelna-tool. Each takes the arguments after its name, prints errors as
// one line on stderr, and returns the exit status: 0, 1 for a file it could not read or
// write, 2 for a wrong command line.

#include <span>
#include <string_view>

namespace kelna::tool {

int Decode(std::span<const std::string_view> args);
int Inspect(std::span<const std::string_view> args);
int Pack(std::span<const std::string_view> args);
int Unpack(std::span<const std::string_view> args);
int Render(std::span<const std::string_view> args);
int Sheet(std::span<const std::string_view> args);
int Trace(std::span<const std::string_view> args);

}  // namespace kelna::tool
