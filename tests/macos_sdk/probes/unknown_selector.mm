// Must not compile: EventKit has no such method, so the declarations must not have it either.
#import <EventKit/EventKit.h>

void probe(EKEventStore* store) {
  [store requestAccessToEvents:^(BOOL, NSError* _Nullable){
  }];
}
