/* Under the i386 user-mode emulator LeakSanitizer cannot start its tracer and would spin at
 * exit, and the default quarantine of freed blocks (256 MB) runs a long fuzz run out of the
 * emulated address space; a smaller quarantine still catches use after a recent free. Every
 * other check stays on. ASAN_OPTIONS still overrides this. */
__attribute__((visibility("default"))) const char* __asan_default_options(void) {
    return "detect_leaks=0:quarantine_size_mb=16";
}
