// The store on macOS: EventKit, read through plain values. Each operation is one call into the
// framework plus the conversion of what comes back; every decision is made by the portable code.
#import <CoreFoundation/CoreFoundation.h>
#import <CoreGraphics/CoreGraphics.h>
#import <EventKit/EventKit.h>
#import <Foundation/Foundation.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "output/utf8.h"
#include "store/eventkit_time.h"
#include "store/store.h"

namespace velkor {
namespace {

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
    value.source = Source{utf8(source.title), static_cast<long>(source.sourceType)};
  }
  value.color = srgbComponents(calendar.CGColor);
  return value;
}

Event eventValue(EKEvent* event) {
  Event value;
  value.calendarId = utf8(event.calendar.calendarIdentifier);
  value.title = optionalUtf8(event.title);
  value.start = instant(event.startDate);
  value.end = instant(event.endDate);
  value.allDay = event.allDay;
  value.location = optionalUtf8(event.location);
  return value;
}

// The block EventKit calls, on a queue of its own, with the answer to an access request.
EKEventStoreRequestAccessCompletionHandler completionBlock(AccessCompletion completion) {
  return ^(BOOL granted, NSError* _Nullable error) {
    completion(granted, error == nil ? std::nullopt : optionalUtf8(error.localizedDescription));
  };
}

class EventKitStore final : public Store {
 public:
  EventKitStore() : store_([[EKEventStore alloc] init]) {}

  void requestFullAccessToEvents(AccessCompletion completion) override {
    if (@available(macOS 14.0, *)) {
      [store_ requestFullAccessToEventsWithCompletion:completionBlock(std::move(completion))];
    } else {
      requestAccessToEvents(std::move(completion));
    }
  }

  void requestAccessToEvents(AccessCompletion completion) override {
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wdeprecated-declarations"
    // The only request there is before macOS 14.
    [store_ requestAccessToEntityType:EKEntityTypeEvent
                           completion:completionBlock(std::move(completion))];
#pragma clang diagnostic pop
  }

  std::vector<Calendar> calendars() override {
    @autoreleasepool {
      std::vector<Calendar> values;
      known_.clear();
      for (EKCalendar* calendar in [store_ calendarsForEntityType:EKEntityTypeEvent]) {
        Calendar value = calendarValue(calendar);
        known_.emplace(value.id, calendar);
        values.push_back(std::move(value));
      }
      return values;
    }
  }

  void refreshSourcesIfNecessary() override { [store_ refreshSourcesIfNecessary]; }

  std::vector<Event> events(Instant start, Instant end,
                            const std::vector<Calendar>& calendars) override {
    @autoreleasepool {
      NSMutableArray<EKCalendar*>* searched = [NSMutableArray arrayWithCapacity:calendars.size()];
      for (const Calendar& calendar : calendars) {
        const auto found = known_.find(calendar.id);
        if (found != known_.end()) [searched addObject:found->second];
      }
      // EventKit reads an empty or missing list as "every calendar".
      if (searched.count == 0) return {};
      NSPredicate* predicate = [store_ predicateForEventsWithStartDate:date(start)
                                                               endDate:date(end)
                                                             calendars:searched];
      std::vector<Event> values;
      for (EKEvent* event in [store_ eventsMatchingPredicate:predicate]) {
        values.push_back(eventValue(event));
      }
      return values;
    }
  }

 private:
  EKEventStore* store_;
  // The calendar objects of the last listing, by identifier: a search needs the objects.
  std::unordered_map<std::string, EKCalendar*> known_;
};

}  // namespace

Platform systemPlatform() {
  Platform platform;
  platform.authorizationStatus = [] {
    return static_cast<long>([EKEventStore authorizationStatusForEntityType:EKEntityTypeEvent]);
  };
  platform.isMacOS14OrLater = [] {
    const NSOperatingSystemVersion macOS14 = {14, 0, 0};
    return static_cast<bool>([NSProcessInfo.processInfo isOperatingSystemAtLeastVersion:macOS14]);
  };
  platform.openStore = []() -> std::unique_ptr<Store> { return std::make_unique<EventKitStore>(); };
  platform.sleep = [](std::chrono::milliseconds pause) {
    [NSThread sleepForTimeInterval:std::chrono::duration<double>(pause).count()];
  };
  return platform;
}

}  // namespace velkor
