// The sanitizers' defaults for every program of a sanitized build. Blocks
// of dynamic thread-local storage are not followed through
// __tls_get_addr: with the many libraries our programs load (Mesa's
// drivers, FFmpeg's codecs), the leak check otherwise reads a block that
// is not there and stops. ASAN_OPTIONS set by hand still win.
extern "C" const char* __asan_default_options() {
    return "intercept_tls_get_addr=0";
}
