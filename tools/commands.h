#pragma once
// The subcommands of kelna-tool. Each takes the arguments after its name, prints errors as
// one line on stderr, and returns the exit status.

#include <span>
#include <string_view>

namespace kelna::tool {

int Decode(std::span<const std::string_view> args);

}  // namespace kelna::tool
