// Stand-in for the SDK's availability macros, for the syntax check of the macOS sources on a
// system without the SDK.
//
// On a non-Apple target clang ignores availability for macOS, so the introduction versions are
// dropped and a deprecation becomes a plain one: the check sees what a Mac build targeting the
// SDK's own version sees (stricter than the build's 12.0), and an unsilenced call of a deprecated
// method fails it.
#pragma once

// The SDK version the declarations take the shape of, as <Availability.h> defines it: 14.0
// unless the check asks for another (-DVELKOR_SDK_MACOS_VERSION=130000 for the macOS 13 SDK).
#ifndef VELKOR_SDK_MACOS_VERSION
#define VELKOR_SDK_MACOS_VERSION 140000
#endif
#define __MAC_OS_X_VERSION_MAX_ALLOWED VELKOR_SDK_MACOS_VERSION

#define API_AVAILABLE(...)
#define API_DEPRECATED(message, ...) __attribute__((deprecated(message)))
