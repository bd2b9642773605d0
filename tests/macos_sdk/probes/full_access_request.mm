// Must not compile against the macOS 13 SDK, which has no request for full access: the
// declarations of that shape must not have it either.
#import <EventKit/EventKit.h>

void probe(EKEventStore* store) {
  [store requestFullAccessToEventsWithCompletion:^(BOOL, NSError* _Nullable){
  }];
}
