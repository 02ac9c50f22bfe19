#pragma once

#include <string>
#include <utility>

namespace qvx {

// Outcome of a user-level operation. A failure carries the exact text the editor shows in its
// message box and that qvxtool prints on stderr.
class [[nodiscard]] Result {
  public:
    static Result success() { return Result(true, {}); }
    static Result failure(std::string message) { return Result(false, std::move(message)); }

    bool ok() const { return ok_; }
    explicit operator bool() const { return ok_; }
    const std::string& message() const { return message_; }

  private:
    Result(bool ok, std::string message) : ok_(ok), message_(std::move(message)) {}

    bool ok_;
    std::string message_;
};

}  // namespace qvx
