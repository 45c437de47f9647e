#pragma once
// How Kelna's own code reports failure (see docs/architecture.md, "Errors"):
//   - Status: an operation that can fail and whose caller must say why (a message, one line).
//   - Result<T>: the same for an operation that gives a value: the value, or the Status
//     that says why there is none.
//   - bool or std::optional: when the caller needs no reason, or absence is not a failure
//     (a key that is not in a file).
// Status is [[nodiscard]]: a failure cannot be dropped silently. Where a file format's
// or a host's contract fixes a value (1/0 of Read and Write, exit codes), that value is
// derived from a Status at the boundary.

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
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

template <class T>
class [[nodiscard]] Result {
 public:
  Result(T value) : value_(std::move(value)) {}  // NOLINT: a value converts, as in `return value;`
  // A failure; an Ok status has no value to go with it, which is a programming error.
  Result(Status failure) : status_(std::move(failure)) {  // NOLINT: `return Status::Failure(...)`
    if (status_.ok()) throw std::logic_error("a Result made from an Ok status");
  }

  bool ok() const { return value_.has_value(); }
  explicit operator bool() const { return ok(); }
  const Status& status() const { return status_; }
  const std::string& message() const { return status_.message(); }

  // The value; only when ok().
  T& value() & { return *value_; }
  const T& value() const& { return *value_; }
  T&& value() && { return std::move(*value_); }
  T* operator->() { return &*value_; }
  const T* operator->() const { return &*value_; }
  T& operator*() & { return *value_; }
  const T& operator*() const& { return *value_; }

 private:
  std::optional<T> value_;
  Status status_ = Status::Ok();
};

// A count as messages show it, in groups of three digits: 65,000.
inline std::string Grouped(long long value) {
  std::string digits = std::to_string(value < 0 ? -value : value);
  for (std::size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, ",");
  return value < 0 ? "-" + digits : digits;
}

// The failure's message with `context` before it: "CONTEXT: MESSAGE".
inline Status WithContext(std::string_view context, const Status& status) {
  if (status.ok()) return status;
  return Status::Failure(std::string(context) + ": " + status.message());
}

}  // namespace kelna
