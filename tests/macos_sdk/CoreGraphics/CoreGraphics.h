// Stand-in for <CoreGraphics/CoreGraphics.h>: only what the macOS sources use, with the
// signatures, nullability and ownership of Apple's documentation.
#pragma once

#include <CoreFoundation/CoreFoundation.h>
#include <os/availability.h>

#pragma clang assume_nonnull begin

extern "C" {

typedef double CGFloat;  // 64-bit macOS

typedef struct __attribute__((objc_bridge(id))) CGColor* CGColorRef;
typedef struct __attribute__((objc_bridge(id))) CGColorSpace* CGColorSpaceRef;

typedef CF_ENUM(int32_t, CGColorRenderingIntent) {
  kCGRenderingIntentDefault = 0,
};

extern const CFStringRef kCGColorSpaceSRGB API_AVAILABLE(macos(10.5));

CGColorSpaceRef _Nullable CGColorSpaceCreateWithName(CFStringRef _Nullable name)
    API_AVAILABLE(macos(10.2)) CF_RETURNS_RETAINED;
void CGColorSpaceRelease(CGColorSpaceRef _Nullable space);

CGColorRef _Nullable CGColorCreateCopyByMatchingToColorSpace(CGColorSpaceRef _Nullable space,
                                                             CGColorRenderingIntent intent,
                                                             CGColorRef _Nullable color,
                                                             CFDictionaryRef _Nullable options)
    API_AVAILABLE(macos(10.11)) CF_RETURNS_RETAINED;
size_t CGColorGetNumberOfComponents(CGColorRef _Nullable color);
const CGFloat* _Nullable CGColorGetComponents(CGColorRef _Nullable color);
void CGColorRelease(CGColorRef _Nullable color);

}  // extern "C"

#pragma clang assume_nonnull end
