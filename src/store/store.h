// The one seam between portable code and the platform's calendar store.
//
// Everything that crosses it is a plain value. The platform side is a table of operations
// (`Platform`) plus the `Store` object that `Platform::openStore` makes; production code gets the
// real table from `systemPlatform()`, tests build scripted ones.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "store/event_list.h"

namespace velkor {

// A colour expressed in sRGB: red, green, blue, then alpha (and anything further).
using SrgbComponents = std::vector<double>;

// The account a calendar belongs to.
struct Source {
  std::string title;
  long type = 0;  // the platform's account type: 0 local, 1 exchange, 2 caldav, ...
};

struct Calendar {
  std::string id;     // UTF-8, possibly invalid when it comes from a file name
  std::string title;  // UTF-8, possibly invalid
  std::optional<Source> source;
  std::optional<SrgbComponents> color;  // absent when the calendar has no convertible colour
};

// Called once by the store, on a thread of its choosing, when an access request is answered.
using AccessCompletion = std::function<void(bool granted, const std::optional<std::string>& error)>;

class Store {
 public:
  virtual ~Store() = default;

  // Ask the user for full access to events (macOS 14 and later).
  virtual void requestFullAccessToEvents(AccessCompletion completion) = 0;
  // Ask the user for access to events (systems before macOS 14).
  virtual void requestAccessToEvents(AccessCompletion completion) = 0;

  // The store's event calendars in its own order; may be empty while the store still loads.
  virtual std::vector<Calendar> calendars() = 0;
  // Asks the store to reload its accounts; returns at once.
  virtual void refreshSourcesIfNecessary() = 0;

  // The events of `calendars` (never empty) that overlap [start, end), in the store's order; an
  // event's calendar is its index in `calendars`.
  virtual EventList events(Instant start, Instant end, const std::vector<Calendar>& calendars) = 0;
};

// Authorization state values as the platform reports them.
enum AuthorizationStatus : long {
  kNotDetermined = 0,
  kRestricted = 1,
  kDenied = 2,
  kFullAccess = 3,
  kWriteOnly = 4,
};

// Where `request` waits for the answer: the completion calls `signal` once, from any thread and
// possibly after the wait is over; `wait` returns when signalled or after the timeout, counted
// on a monotonic clock from the call. The two share whatever the signal needs.
struct AnswerSignal {
  std::function<void()> signal;
  std::function<void(std::chrono::milliseconds timeout)> wait;
};

// A counting semaphore of the standard library; the platforms without a primitive of their own
// use it.
AnswerSignal portableAnswerSignal();

struct Platform {
  std::function<long()> authorizationStatus;
  std::function<bool()> isMacOS14OrLater;
  std::function<std::unique_ptr<Store>()> openStore;
  std::function<void(std::chrono::milliseconds)> sleep;
  // Whether the store may still be loading its accounts when it first answers, so that an empty
  // calendar list is worth asking again after a pause. A store that lists everything at once
  // says no, and its empty list is final.
  bool storeMayStillLoad = false;
  // How long `request` waits for the answer, counted from the return of the request call.
  std::chrono::milliseconds requestTimeout = std::chrono::seconds(300);
  std::function<AnswerSignal()> answerSignal = portableAnswerSignal;
};

// The real operations of the platform this program was built for.
Platform systemPlatform();

}  // namespace velkor
