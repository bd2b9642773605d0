// Stand-in for <CoreFoundation/CoreFoundation.h>: only what the macOS sources use, with the
// signatures, nullability and ownership of Apple's documentation.
#pragma once

#include <stddef.h>
#include <stdint.h>

#define CF_RETURNS_RETAINED __attribute__((cf_returns_retained))
#define CF_ENUM(type, name) \
  enum name : type name;    \
  enum name : type

#pragma clang assume_nonnull begin

extern "C" {

typedef uint16_t UInt16;
typedef UInt16 UniChar;
typedef long CFIndex;
typedef const void* CFTypeRef;

typedef struct {
  CFIndex location;
  CFIndex length;
} CFRange;

inline CFRange CFRangeMake(CFIndex loc, CFIndex len) {
  CFRange range;
  range.location = loc;
  range.length = len;
  return range;
}

typedef const struct __attribute__((objc_bridge(id))) __CFAllocator* CFAllocatorRef;
typedef const struct __attribute__((objc_bridge(NSString))) __CFString* CFStringRef;
typedef struct __attribute__((objc_bridge_mutable(NSMutableString))) __CFString* CFMutableStringRef;
typedef const struct __attribute__((objc_bridge(NSDictionary))) __CFDictionary* CFDictionaryRef;

extern const CFAllocatorRef kCFAllocatorDefault;

void CFRelease(CFTypeRef cf);

typedef CF_ENUM(CFIndex, CFStringNormalizationForm) {
  kCFStringNormalizationFormC = 2,
};

CFStringRef _Nullable CFStringCreateWithCharacters(CFAllocatorRef alloc, const UniChar* chars,
                                                   CFIndex numChars) CF_RETURNS_RETAINED;
CFMutableStringRef _Nullable CFStringCreateMutableCopy(CFAllocatorRef alloc, CFIndex maxLength,
                                                       CFStringRef theString) CF_RETURNS_RETAINED;
void CFStringNormalize(CFMutableStringRef theString, CFStringNormalizationForm theForm);
CFIndex CFStringGetLength(CFStringRef theString);
void CFStringGetCharacters(CFStringRef theString, CFRange range, UniChar* buffer);

}  // extern "C"

#pragma clang assume_nonnull end
