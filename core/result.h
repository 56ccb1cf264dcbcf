// The outcome of an operation that can fail for reasons the user must hear about: a file that
// cannot be read or written, a design file that is refused. The GUI shows the message in an
// alert; the batch command prints it and exits with its status. Programming errors are asserts.
#pragma once

#include <string>
#include <utility>

namespace pedaform {

class [[nodiscard]] Result {
  public:
    static Result success() { return Result(); }
    static Result failure(std::string message) { return Result(std::move(message)); }

    bool ok() const { return !failed_; }
    explicit operator bool() const { return !failed_; }
    // One line, in the user's terms: what failed and why. Empty on success.
    const std::string &message() const { return message_; }

  private:
    Result() = default;
    explicit Result(std::string message) : failed_(true), message_(std::move(message)) {}
    bool failed_ = false;
    std::string message_;
};

}  // namespace pedaform
