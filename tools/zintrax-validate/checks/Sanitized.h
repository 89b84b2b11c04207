// Whether this build runs under a sanitizer, which owns the allocator and intercepts the C
// library's waiting calls itself, and slows every call: the validator's own counters of those
// calls stand aside then, and its timings mean nothing.
#pragma once

#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) ||                         \
    __has_feature(memory_sanitizer)
#define ZHOST_SANITIZED 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define ZHOST_SANITIZED 1
#endif

namespace zhost::validate {
#if defined(ZHOST_SANITIZED)
inline constexpr bool kSanitized = true;
#else
inline constexpr bool kSanitized = false;
#endif
} // namespace zhost::validate
