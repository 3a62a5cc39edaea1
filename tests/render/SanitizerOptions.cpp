// The OpenGL drivers are loaded and unloaded at run time and leave behind
// allocations that LeakSanitizer cannot attribute to anyone; in the tests that
// open windows only address errors count. (Read only by sanitizer builds.)
extern "C" const char* __asan_default_options() {
    return "detect_leaks=0";
}
