// Stand-in for <dispatch/dispatch.h>: the semaphore and the time functions the macOS sources use,
// with the signatures of Apple's documentation. Under ARC dispatch objects are Objective-C
// objects, as in the SDK.
#pragma once

#include <Foundation/Foundation.h>  // NSObject; the SDK takes it from <os/object.h>
#include <os/availability.h>
#include <stdint.h>

#pragma clang assume_nonnull begin

@protocol OS_dispatch_semaphore
@end
typedef NSObject<OS_dispatch_semaphore>* dispatch_semaphore_t;

typedef uint64_t dispatch_time_t;
#define DISPATCH_TIME_NOW (0ull)

extern "C" {

dispatch_semaphore_t dispatch_semaphore_create(intptr_t value) API_AVAILABLE(macos(10.6))
    __attribute__((ns_returns_retained, warn_unused_result));
intptr_t dispatch_semaphore_wait(dispatch_semaphore_t dsema, dispatch_time_t timeout)
    API_AVAILABLE(macos(10.6));
intptr_t dispatch_semaphore_signal(dispatch_semaphore_t dsema) API_AVAILABLE(macos(10.6));
dispatch_time_t dispatch_time(dispatch_time_t when, int64_t delta) API_AVAILABLE(macos(10.6));

}  // extern "C"

#pragma clang assume_nonnull end
