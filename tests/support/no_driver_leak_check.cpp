// For test programs whose drawing makes Mesa's software driver load code
// with thread-local storage that LeakSanitizer's tracer cannot read: at
// exit it faults inside its own thread scan ("Tracer caught signal 11")
// and fails the program though every test passed. These programs keep
// AddressSanitizer; their leaks of our own memory are caught by the
// memory tracker, which every test's teardown checks.
extern "C" const char *__lsan_default_options() {
    return "detect_leaks=0";
}
