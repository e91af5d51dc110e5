// Whether this build runs the leak checker (AddressSanitizer or
// LeakSanitizer builds): WS_LEAK_CHECK is defined then.
#pragma once

#if defined(__SANITIZE_ADDRESS__)
#define WS_LEAK_CHECK 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(leak_sanitizer)
#define WS_LEAK_CHECK 1
#endif
#endif
