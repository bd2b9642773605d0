// Must not compile with -Werror: the request before macOS 14 is deprecated in the SDK, and the
// store silences that warning only where it has to call it.
#import <EventKit/EventKit.h>

void probe(EKEventStore* store) {
  [store requestAccessToEntityType:EKEntityTypeEvent
                        completion:^(BOOL, NSError* _Nullable){
                        }];
}
