// The result records of `status` and `calendars` (an event record is written as it is read:
// see EventArrayWriter). Plain values: every field is given at construction and only read
// afterwards (they stay assignable so that lists of them can be sorted).
#pragma once

#include <optional>
#include <string>
#include <utility>

namespace velkor {

class Status {
 public:
  explicit Status(std::string access) : access_(std::move(access)) {}
  const std::string& access() const { return access_; }

 private:
  std::string access_;
};

class CalendarOut {
 public:
  CalendarOut(std::string id, std::string title, std::string account, std::string kind,
              std::optional<std::string> color)
      : id_(std::move(id)),
        title_(std::move(title)),
        account_(std::move(account)),
        kind_(std::move(kind)),
        color_(std::move(color)) {}
  const std::string& id() const { return id_; }
  const std::string& title() const { return title_; }
  const std::string& account() const { return account_; }
  const std::string& kind() const { return kind_; }
  const std::optional<std::string>& color() const { return color_; }

 private:
  std::string id_;
  std::string title_;
  std::string account_;
  std::string kind_;
  std::optional<std::string> color_;
};

}  // namespace velkor
