// The outcome of an operation that can fail for reasons the user must hear about: a file that
// cannot be read or written, a design file that is refused. Result<T> holds either a T or the
// failure's message; Result<> (Result<void>) only says whether it worked. The GUI shows the
// message in an alert; the batch command prints it and exits with its status. Programming
// errors are asserts, not results.
//
//     Result<Scan> r = read(...);            Result<> w = write(...);
//     if (!r) return r.reason();             if (!w) show(w.gui_message());
//     use(*r);
//
// A failure may carry the GUI's own words (Traditional Chinese) besides its message, which the
// batch command prints; `reason()` passes both on.
#pragma once

#include <cassert>
#include <optional>
#include <string>
#include <utility>

namespace pedaform {

// A failure's message, convertible to a Result of any type: `return Failure{"no such file"};`,
// or with the GUI's words: `return Failure{"not a regular file", "不是一般檔案"};`.
struct Failure {
    std::string message;              // standard error and the report: English, one line
    std::string gui = std::string();  // the GUI's words; "" when the message serves
};

template <class T = void>
class [[nodiscard]] Result {
  public:
    Result(T value) : value_(std::move(value)) {}
    Result(Failure failure) : message_(std::move(failure.message)), gui_(std::move(failure.gui)) {}
    static Result success(T value) { return Result(std::move(value)); }
    static Result failure(std::string message) { return Result(Failure{std::move(message)}); }

    bool ok() const { return value_.has_value(); }
    explicit operator bool() const { return ok(); }
    // One line, in the user's terms: what failed and why. Empty on success.
    const std::string &message() const { return message_; }
    // What the GUI shows: its own words when the failure has them, else the message.
    const std::string &gui_message() const { return gui_.empty() ? message_ : gui_; }
    // The failure, both words, to pass on as a Result of another type.
    Failure reason() const { return Failure{message_, gui_}; }
    // The value; asking a failure for it is a programming error.
    T &value() {
        assert(ok());
        return *value_;
    }
    const T &value() const {
        assert(ok());
        return *value_;
    }
    T &operator*() { return value(); }
    const T &operator*() const { return value(); }
    T *operator->() { return &value(); }
    const T *operator->() const { return &value(); }

  private:
    std::optional<T> value_;
    std::string message_, gui_;
};

template <>
class [[nodiscard]] Result<void> {
  public:
    Result() = default;
    Result(Failure failure)
        : failed_(true), message_(std::move(failure.message)), gui_(std::move(failure.gui)) {}
    static Result success() { return Result(); }
    static Result failure(std::string message) { return Result(Failure{std::move(message)}); }

    bool ok() const { return !failed_; }
    explicit operator bool() const { return !failed_; }
    const std::string &message() const { return message_; }
    const std::string &gui_message() const { return gui_.empty() ? message_ : gui_; }
    Failure reason() const { return Failure{message_, gui_}; }

  private:
    bool failed_ = false;
    std::string message_, gui_;
};

}  // namespace pedaform
