// The three result records. Plain values: every field is given at construction and only read
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

class EventOut {
 public:
  EventOut(std::string calendar, std::string title, std::string start, std::string end, bool allDay,
           std::optional<std::string> location)
      : calendar_(std::move(calendar)),
        title_(std::move(title)),
        start_(std::move(start)),
        end_(std::move(end)),
        allDay_(allDay),
        location_(std::move(location)) {}
  const std::string& calendar() const { return calendar_; }
  const std::string& title() const { return title_; }
  const std::string& start() const { return start_; }
  const std::string& end() const { return end_; }
  bool allDay() const { return allDay_; }
  const std::optional<std::string>& location() const { return location_; }

 private:
  std::string calendar_;
  std::string title_;
  std::string start_;
  std::string end_;
  bool allDay_;
  std::optional<std::string> location_;
};

}  // namespace velkor
