#pragma once
// Whether this build runs under AddressSanitizer: its runtime cannot run under ptrace, and
// reserves more address space than tight limits allow, so such faults are left to the ordinary
// build.

namespace reduz::testing {

#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool sanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool sanitized = true;
#else
inline constexpr bool sanitized = false;
#endif
#else
inline constexpr bool sanitized = false;
#endif

}  // namespace reduz::testing
