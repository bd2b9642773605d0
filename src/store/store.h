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

// What kind of account a calendar belongs to; `kindName` names it for the host.
enum class AccountKind { kLocal, kExchange, kCalDav, kICloud, kSubscribed, kBirthdays, kOther };

// The account a calendar belongs to.
struct Source {
  std::string title;
  AccountKind kind = AccountKind::kLocal;
};

struct Calendar {
  std::string id;     // UTF-8, possibly invalid when it comes from a file name
  std::string title;  // UTF-8, possibly invalid
  std::optional<Source> source;
  std::optional<SrgbComponents> color;  // absent when the calendar has no convertible colour
};

// Called once by the store, on a thread of its choosing, when an access request is answered.
using AccessCompletion = std::function<void(bool granted, const std::optional<std::string>& error)>;

// One opened calendar store. Made by `Platform::openStore`, owned by the command that opened it
// and used from the main thread only, for one run. No method throws: a store that cannot answer
// answers nothing (no calendars, no events), and nothing it does reaches standard error.
class Store {
 public:
  virtual ~Store() = default;

  // Ask the user for full access to events (macOS 14 and later). `completion` is called exactly
  // once, on a thread of the store's choosing, possibly after the caller stopped waiting; it must
  // own whatever it touches.
  virtual void requestFullAccessToEvents(AccessCompletion completion) = 0;
  // Ask the user for access to events (systems before macOS 14); as above.
  virtual void requestAccessToEvents(AccessCompletion completion) = 0;

  // The store's event calendars in its own order, each id unique within the store and stable
  // across runs. May be empty while the store still loads its accounts.
  virtual std::vector<Calendar> calendars() = 0;
  // Asks the store to reload its accounts; returns at once.
  virtual void refreshSourcesIfNecessary() = 0;

  // The events of `calendars` that overlap [start, end), in the store's order; an event's
  // calendar is its index in `calendars`. `calendars` is a non-empty selection of what the last
  // `calendars()` call listed (an id the store does not know is ignored); the caller keeps the
  // window within kLongestStoreWindow (see searchEvents). The returned list is the caller's.
  virtual EventList events(Instant start, Instant end, const std::vector<Calendar>& calendars) = 0;
};

// Rules every store's answer obeys, stated and applied once, by `searchEvents`:
// a window longer than four years is searched over its first four years (EventKit's own bound),
inline constexpr auto kLongestStoreWindow = std::chrono::days(1461);
// and an answer holds at most kMaxStoreEvents (event_list.h), the earliest in the answer's order.

// What `store` finds for `calendars` in [start, end) within the two rules above; nothing for an
// empty selection or window.
EventList searchEvents(Store& store, Instant start, Instant end,
                       const std::vector<Calendar>& calendars);

// The user's decision about calendar access, as the program names it; only kFullAccess lets the
// reading commands through. A platform maps its own values here (EventKit's: eventkit_values.h).
enum class AccessState { kNotDetermined, kRestricted, kDenied, kFullAccess, kWriteOnly, kUnknown };

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

// One row per platform: the operations a command needs before and besides the store. Every
// function is called on the main thread; `authorizationStatus` is read afresh on every call.
struct Platform {
  std::function<AccessState()> authorizationStatus;
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
