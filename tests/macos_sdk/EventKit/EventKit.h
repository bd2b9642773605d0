// Stand-in for <EventKit/EventKit.h>: only the classes, methods and types the macOS sources use,
// with the signatures, nullability and availability of Apple's documentation, in the shape of
// the SDK version that <os/availability.h> names.
#pragma once

#include <CoreGraphics/CoreGraphics.h>
#include <Foundation/Foundation.h>
#include <os/availability.h>

NS_ASSUME_NONNULL_BEGIN

// The values the sources only pass on as integers are left out.
typedef NS_ENUM(NSUInteger, EKEntityType) {
  EKEntityTypeEvent = 0,
};
typedef NS_ENUM(NSInteger, EKAuthorizationStatus) {} API_AVAILABLE(macos(10.9));
typedef NS_ENUM(NSInteger, EKSourceType) {};

typedef void (^EKEventStoreRequestAccessCompletionHandler)(BOOL granted, NSError* _Nullable error);

@interface EKObject : NSObject
@end

@interface EKSource : EKObject
@property(nonatomic, readonly) EKSourceType sourceType;
@property(nonatomic, readonly) NSString* title;
@end

@interface EKCalendar : EKObject
@property(null_unspecified, nonatomic, strong) EKSource* source;
@property(nonatomic, readonly) NSString* calendarIdentifier API_AVAILABLE(macos(10.8));
@property(nonatomic, copy) NSString* title;
@property(null_unspecified, nonatomic) CGColorRef CGColor API_AVAILABLE(macos(10.15));
@end

@interface EKCalendarItem : EKObject
@property(nonatomic, strong, null_unspecified) EKCalendar* calendar;
@property(nonatomic, copy, null_unspecified) NSString* title;
@property(nonatomic, copy, nullable) NSString* location;
@end

@interface EKEvent : EKCalendarItem
@property(null_unspecified, nonatomic, copy) NSDate* startDate;
@property(null_unspecified, nonatomic, copy) NSDate* endDate;
@property(nonatomic, getter=isAllDay) BOOL allDay;
@end

API_AVAILABLE(macos(10.8))
@interface EKEventStore : NSObject
+ (EKAuthorizationStatus)authorizationStatusForEntityType:(EKEntityType)entityType
    API_AVAILABLE(macos(10.9));
- (id)init API_AVAILABLE(macos(10.9));
#if __MAC_OS_X_VERSION_MAX_ALLOWED >= 140000
- (void)requestFullAccessToEventsWithCompletion:
    (EKEventStoreRequestAccessCompletionHandler)completion API_AVAILABLE(macos(14.0));
- (void)requestAccessToEntityType:(EKEntityType)entityType
                       completion:(EKEventStoreRequestAccessCompletionHandler)completion
    API_DEPRECATED("Use -requestFullAccessToEventsWithCompletion:, "
                   "-requestWriteOnlyAccessToEventsWithCompletion:, or "
                   "-requestFullAccessToRemindersWithCompletion:",
                   macos(10.9, 14.0));
#else
// The macOS 13 SDK: the one request there is, not yet deprecated.
- (void)requestAccessToEntityType:(EKEntityType)entityType
                       completion:(EKEventStoreRequestAccessCompletionHandler)completion
    API_AVAILABLE(macos(10.9));
#endif
- (NSArray<EKCalendar*>*)calendarsForEntityType:(EKEntityType)entityType API_AVAILABLE(macos(10.8));
- (void)refreshSourcesIfNecessary API_AVAILABLE(macos(10.8));
- (NSPredicate*)predicateForEventsWithStartDate:(NSDate*)startDate
                                        endDate:(NSDate*)endDate
                                      calendars:(nullable NSArray<EKCalendar*>*)calendars;
- (NSArray<EKEvent*>*)eventsMatchingPredicate:(NSPredicate*)predicate;
@end

NS_ASSUME_NONNULL_END
