/* Under the i386 user-mode emulator LeakSanitizer cannot start its tracer and would spin at
 * exit; every other check stays on. ASAN_OPTIONS still overrides this. */
__attribute__((visibility("default"))) const char* __asan_default_options(void) { return "detect_leaks=0"; }
