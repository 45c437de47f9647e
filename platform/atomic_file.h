#pragma once
// Saving without ever losing the previous file: the new content goes to a temporary file
// beside the target, every write is checked, and only then is it renamed over the target.

#include <filesystem>
#include <string>
#include <string_view>

#include "platform/status.h"

namespace kelna {

// Replaces `target` by `content`. On failure the status says why (one line); the previous
// file is then exactly as it was and no temporary file remains. The target's folder must
// exist.
Status ReplaceFileContent(const std::filesystem::path& target, std::string_view content);

}  // namespace kelna
