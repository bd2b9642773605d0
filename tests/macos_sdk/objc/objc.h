// Stand-in for <objc/objc.h>: the Objective-C boolean and nil.
#pragma once

#if defined(__arm64__) || defined(__aarch64__)
typedef bool BOOL;
#else
typedef signed char BOOL;
#endif

#define YES ((BOOL)1)
#define NO ((BOOL)0)

#ifndef nil
#define nil nullptr
#endif
