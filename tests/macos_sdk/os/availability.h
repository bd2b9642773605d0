// Stand-in for the SDK's availability macros, for the syntax check of the macOS sources on a
// system without the SDK.
//
// On a non-Apple target clang ignores availability for macOS, so the introduction versions are
// dropped and a deprecation becomes a plain one: the check sees what a Mac build with the default
// deployment target (the SDK's own version, 14 or later) sees, and an unsilenced call of a
// deprecated method fails it.
#pragma once

#define API_AVAILABLE(...)
#define API_DEPRECATED(message, ...) __attribute__((deprecated(message)))
