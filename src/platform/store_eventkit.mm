// The store on macOS: EventKit, read through plain values. Each operation is one call into the
// framework plus the conversion of what comes back; every decision is made by the portable code.
#import <CoreFoundation/CoreFoundation.h>
#import <CoreGraphics/CoreGraphics.h>
#import <EventKit/EventKit.h>
#import <Foundation/Foundation.h>
#import <dispatch/dispatch.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "base/utf8.h"
#include "platform/eventkit_time.h"
#include "platform/eventkit_values.h"
#include "store/store.h"

// The request of macOS 14 exists only in SDKs from 14 on; an undefined version would silently
// compile it out.
#ifndef __MAC_OS_X_VERSION_MAX_ALLOWED
#error "the SDK's availability macros are missing"
#endif

namespace velkor {
namespace {

// Runs `body`; an Objective-C exception raised inside gives `fallback` instead. Uncaught, it
// would end the process with a message on standard error.
template <typename T, typename Body>
T guarded(T fallback, Body&& body) {
  @try {
    return body();
  } @catch (...) {
    return fallback;
  }
}

template <typename Body>
void guarded(Body&& body) {
  @try {
    body();
  } @catch (...) {
  }
}

// Owns one CoreGraphics object from a Create function and releases it on every path.
template <typename Ref, void (*Release)(Ref)>
class Owned {
 public:
  explicit Owned(Ref ref) : ref_(ref) {}
  ~Owned() { Release(ref_); }  // both release functions accept null
  Owned(const Owned&) = delete;
  Owned& operator=(const Owned&) = delete;

  Ref get() const { return ref_; }
  explicit operator bool() const { return ref_ != nullptr; }

 private:
  Ref ref_;
};

using OwnedColorSpace = Owned<CGColorSpaceRef, CGColorSpaceRelease>;
using OwnedColor = Owned<CGColorRef, CGColorRelease>;

// Through the UTF-16 units, so a string holding a lone surrogate still converts (as U+FFFD).
std::string utf8(NSString* _Nullable text) {
  const NSUInteger length = text.length;  // 0 for nil
  std::vector<unichar> units(length);
  if (length > 0) [text getCharacters:units.data() range:NSMakeRange(0, length)];
  return utf8FromUtf16(units);
}

std::optional<std::string> optionalUtf8(NSString* _Nullable text) {
  if (text == nil) return std::nullopt;
  return utf8(text);
}

NSDate* date(Instant instant) {
  return [NSDate dateWithTimeIntervalSinceReferenceDate:referenceSecondsFromInstant(instant)];
}

Instant instant(NSDate* _Nullable value) {
  return instantFromReferenceSeconds(value.timeIntervalSinceReferenceDate);  // nil: 2001
}

// The colour's components in sRGB, or nothing when there is no colour or it does not convert.
std::optional<SrgbComponents> srgbComponents(CGColorRef _Nullable color) {
  if (color == nullptr) return std::nullopt;
  const OwnedColorSpace srgb(CGColorSpaceCreateWithName(kCGColorSpaceSRGB));
  if (!srgb) return std::nullopt;
  const OwnedColor converted(CGColorCreateCopyByMatchingToColorSpace(
      srgb.get(), kCGRenderingIntentDefault, color, nullptr));
  if (!converted) return std::nullopt;
  const CGFloat* components = CGColorGetComponents(converted.get());
  if (components == nullptr) return std::nullopt;
  const size_t count = CGColorGetNumberOfComponents(converted.get());
  return SrgbComponents(components, components + count);
}

Calendar calendarValue(EKCalendar* calendar) {
  Calendar value;
  value.id = utf8(calendar.calendarIdentifier);
  value.title = utf8(calendar.title);
  EKSource* source = calendar.source;
  if (source != nil) {
    value.source =
        Source{utf8(source.title), eventKitAccountKind(static_cast<long>(source.sourceType))};
  }
  value.color = srgbComponents(calendar.CGColor);
  return value;
}

// Adds the event to `values` when its calendar is one of those asked about (the index of each by
// identifier in `asked`). Its texts are converted here and kept only as the list keeps them.
void addEvent(EKEvent* event, const std::unordered_map<std::string, std::uint32_t>& asked,
              EventList& values) {
  const auto calendar = asked.find(utf8(event.calendar.calendarIdentifier));
  if (calendar == asked.end()) return;
  const std::optional<std::string> title = optionalUtf8(event.title);
  const std::optional<std::string> location = optionalUtf8(event.location);
  values.add(calendar->second, title, instant(event.startDate), instant(event.endDate),
             event.allDay, location);
}

// The block EventKit calls, on a queue of its own, with the answer to an access request.
EKEventStoreRequestAccessCompletionHandler completionBlock(AccessCompletion completion) {
  return ^(BOOL granted, NSError* _Nullable error) {
    completion(granted, guarded(std::optional<std::string>{}, [error] {
                 return error == nil ? std::nullopt : optionalUtf8(error.localizedDescription);
               }));
  };
}

class EventKitStore final : public Store {
 public:
  EventKitStore()
      : store_(
            guarded(static_cast<EKEventStore*>(nil), [] { return [[EKEventStore alloc] init]; })) {}

  // A request that cannot be made is answered at once, so that the wait does not last its full
  // length for nothing; the state read afterwards decides as always.
  void requestFullAccessToEvents(AccessCompletion completion) override {
#if __MAC_OS_X_VERSION_MAX_ALLOWED >= 140000
    if (@available(macOS 14.0, *)) {
      const EKEventStoreRequestAccessCompletionHandler answer =
          completionBlock(std::move(completion));
      if (store_ != nil) {
        @try {
          [store_ requestFullAccessToEventsWithCompletion:answer];
          return;
        } @catch (...) {
        }
      }
      answer(NO, nil);
      return;
    }
#endif
    // Built with an SDK before 14, or running before 14: the only request there is.
    requestAccessToEvents(std::move(completion));
  }

  void requestAccessToEvents(AccessCompletion completion) override {
    const EKEventStoreRequestAccessCompletionHandler answer =
        completionBlock(std::move(completion));
    if (store_ != nil) {
      @try {
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wdeprecated-declarations"
        [store_ requestAccessToEntityType:EKEntityTypeEvent completion:answer];
#pragma clang diagnostic pop
        return;
      } @catch (...) {
      }
    }
    answer(NO, nil);
  }

  // A listing cut short by an exception is no listing: `eventCalendars` asks again.
  std::vector<Calendar> calendars() override {
    return guarded(std::vector<Calendar>{}, [this] {
      @autoreleasepool {
        std::vector<Calendar> values;
        std::unordered_map<std::string, EKCalendar*> known;
        for (EKCalendar* calendar in [store_ calendarsForEntityType:EKEntityTypeEvent]) {
          Calendar value = calendarValue(calendar);
          known.emplace(value.id, calendar);
          values.push_back(std::move(value));
        }
        known_ = std::move(known);
        return values;
      }
    });
  }

  void refreshSourcesIfNecessary() override {
    guarded([this] { [store_ refreshSourcesIfNecessary]; });
  }

  // A search cut short by an exception finds nothing. An event of a calendar not asked about
  // (which the predicate should never give) is left out: the answer names only those asked.
  EventList events(Instant start, Instant end, const std::vector<Calendar>& calendars) override {
    return guarded(EventList{}, [&] {
      @autoreleasepool {
        NSMutableArray<EKCalendar*>* searched = [NSMutableArray arrayWithCapacity:calendars.size()];
        std::unordered_map<std::string, std::uint32_t> asked;
        for (std::uint32_t i = 0; i < calendars.size(); ++i) {
          const auto found = known_.find(calendars[i].id);
          if (found == known_.end()) continue;
          [searched addObject:found->second];
          asked.emplace(calendars[i].id, i);
        }
        // EventKit reads an empty or missing list as "every calendar".
        if (searched.count == 0) return EventList{};
        NSPredicate* predicate = [store_ predicateForEventsWithStartDate:date(start)
                                                                 endDate:date(end)
                                                               calendars:searched];
        NSArray<EKEvent*>* found = [store_ eventsMatchingPredicate:predicate];
        EventList values;
        for (EKEvent* event in found) {
          // The texts and dates of one event go before the next is read, so that four years of
          // daily repeats keep a flat memory profile: what stays of an event is its entry in the
          // list (its texts once for all the events that share them).
          @autoreleasepool {
            addEvent(event, asked, values);
          }
        }
        return values;
      }
    });
  }

 private:
  EKEventStore* _Nullable store_;  // nil when the store could not be made: nothing is found
  // The calendar objects of the last listing, by identifier: a search needs the objects.
  std::unordered_map<std::string, EKCalendar*> known_;
};

// The system's own wait: a dispatch semaphore, its deadline on the clock that dispatch_time
// counts from DISPATCH_TIME_NOW (monotonic). Both functions hold the semaphore.
AnswerSignal dispatchAnswerSignal() {
  dispatch_semaphore_t semaphore = dispatch_semaphore_create(0);
  return {[semaphore] { dispatch_semaphore_signal(semaphore); },
          [semaphore](std::chrono::milliseconds timeout) {
            const auto nanoseconds = std::chrono::nanoseconds(timeout).count();
            (void)dispatch_semaphore_wait(semaphore, dispatch_time(DISPATCH_TIME_NOW, nanoseconds));
          }};
}

}  // namespace

Platform systemPlatform() {
  Platform platform;
  platform.isMacOS14OrLater = [] {
    return guarded(false, [] {
      const NSOperatingSystemVersion macOS14 = {14, 0, 0};
      return static_cast<bool>([NSProcessInfo.processInfo isOperatingSystemAtLeastVersion:macOS14]);
    });
  };
  // A state that cannot be read has no name: "unknown".
  platform.authorizationStatus = [isMacOS14 = platform.isMacOS14OrLater] {
    const long status = guarded(-1L, [] {
      return static_cast<long>([EKEventStore authorizationStatusForEntityType:EKEntityTypeEvent]);
    });
    return eventKitAccessState(status, isMacOS14);
  };
  platform.openStore = []() -> std::unique_ptr<Store> { return std::make_unique<EventKitStore>(); };
  platform.sleep = [](std::chrono::milliseconds pause) {
    guarded(
        [pause] { [NSThread sleepForTimeInterval:std::chrono::duration<double>(pause).count()]; });
  };
  platform.answerSignal = dispatchAnswerSignal;
  // EventKit loads its accounts after the store is made: an early empty list may not be the last.
  platform.storeMayStillLoad = true;
  return platform;
}

}  // namespace velkor
