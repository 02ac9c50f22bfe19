#pragma once

#include <string>
#include <utility>

namespace qvx {

// Outcome of a user-level operation. A failure carries the exact text the editor shows in its
// message box and that qvxtool prints on stderr, and may say more in a detail: which file and
// why, for the box's details.
class [[nodiscard]] Result {
  public:
    static Result success() { return Result(true, {}, {}); }
    static Result failure(std::string message, std::string detail = {}) {
        return Result(false, std::move(message), std::move(detail));
    }

    bool ok() const { return ok_; }
    explicit operator bool() const { return ok_; }
    const std::string& message() const { return message_; }
    const std::string& detail() const { return detail_; }

  private:
    Result(bool ok, std::string message, std::string detail)
        : ok_(ok), message_(std::move(message)), detail_(std::move(detail)) {}

    bool ok_;
    std::string message_;
    std::string detail_;
};

}  // namespace qvx
