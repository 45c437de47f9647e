#pragma once
// How Kelna's own code reports failure (see docs/architecture.md, "Errors"):
//   - Status: an operation that can fail and whose caller must say why (a message, one line).
//   - bool or std::optional: when the caller needs no reason, or absence is not a failure
//     (a key that is not in a file, a DIB that GDI would refuse too).
// Status is [[nodiscard]]: a failure cannot be dropped silently. Where a file format's
// or a host's contract fixes a value (1/0 of Read and Write, exit codes), that value is
// derived from a Status at the boundary.

#include <string>
#include <utility>

namespace kelna {

class [[nodiscard]] Status {
 public:
  static Status Ok() { return Status(); }
  static Status Failure(std::string message) { return Status(std::move(message), true); }

  bool ok() const { return !failed_; }
  explicit operator bool() const { return ok(); }
  // Why it failed; empty when it succeeded.
  const std::string& message() const { return message_; }

 private:
  Status() = default;
  Status(std::string message, bool failed) : message_(std::move(message)), failed_(failed) {}

  std::string message_;
  bool failed_ = false;
};

}  // namespace kelna
