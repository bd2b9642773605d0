#include "output/json.h"

#include <cstdint>

#include "base/utf8.h"

namespace velkor {
namespace {

void appendMember(std::string& out, std::string_view key, std::string_view value) {
  out.push_back('"');
  out.append(key);
  out.append("\":");
  appendJsonString(out, value);
}

template <typename Record, typename Write>
std::string toArray(const std::vector<Record>& records, Write write) {
  std::string out = "[";
  for (size_t i = 0; i < records.size(); ++i) {
    if (i > 0) out.push_back(',');
    write(out, records[i]);
  }
  out.push_back(']');
  return out;
}

}  // namespace

void appendJsonString(std::string& out, std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  out.push_back('"');
  size_t i = 0;
  while (i < text.size()) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c >= 0x80) {
      i += appendRepairedSequence(out, text.substr(i));
      continue;
    }
    switch (c) {
      case '"':
        out.append("\\\"");
        break;
      case '\\':
        out.append("\\\\");
        break;
      case '/':
        out.append("\\/");
        break;
      case '\n':
        out.append("\\n");
        break;
      case '\r':
        out.append("\\r");
        break;
      case '\t':
        out.append("\\t");
        break;
      case '\b':
        out.append("\\b");
        break;
      case '\f':
        out.append("\\f");
        break;
      default:
        if (c < 0x20) {
          out.append("\\u00");
          out.push_back(kHex[c >> 4]);
          out.push_back(kHex[c & 0xF]);
        } else {
          out.push_back(static_cast<char>(c));
        }
    }
    ++i;
  }
  out.push_back('"');
}

// Members are written in the lexicographic order of their keys.
std::string toJson(const Status& status) {
  std::string out = "{";
  appendMember(out, "access", status.access());
  out.push_back('}');
  return out;
}

std::string toJson(const std::vector<CalendarOut>& calendars) {
  return toArray(calendars, [](std::string& out, const CalendarOut& c) {
    out.push_back('{');
    appendMember(out, "account", c.account());
    if (c.color()) {
      out.push_back(',');
      appendMember(out, "color", *c.color());
    }
    out.push_back(',');
    appendMember(out, "id", c.id());
    out.push_back(',');
    appendMember(out, "kind", c.kind());
    out.push_back(',');
    appendMember(out, "title", c.title());
    out.push_back('}');
  });
}

EventArrayWriter::EventArrayWriter(std::ostream& out) : out_(out) {
  chunk_.reserve(kChunk + kChunk / 4);
  chunk_.push_back('[');
}

void EventArrayWriter::add(const EventFields& e) {
  if (!first_) chunk_.push_back(',');
  first_ = false;
  chunk_.append(e.allDay ? "{\"allDay\":true," : "{\"allDay\":false,");
  appendMember(chunk_, "calendar", e.calendar);
  chunk_.push_back(',');
  appendMember(chunk_, "end", e.end);
  if (e.location) {
    chunk_.push_back(',');
    appendMember(chunk_, "location", *e.location);
  }
  chunk_.push_back(',');
  appendMember(chunk_, "start", e.start);
  chunk_.push_back(',');
  appendMember(chunk_, "title", e.title);
  chunk_.push_back('}');
  if (chunk_.size() >= kChunk) write();
}

void EventArrayWriter::finish() {
  chunk_.append("]\n");
  write();
}

void EventArrayWriter::write() {
  out_.write(chunk_.data(), static_cast<std::streamsize>(chunk_.size()));
  chunk_.clear();
}

}  // namespace velkor
