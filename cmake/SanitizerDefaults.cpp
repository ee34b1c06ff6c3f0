// Linked into every executable of the sanitizer build (PARDOVA_SANITIZE). The sanitizers read these
// defaults before the environment's ASAN_OPTIONS, UBSAN_OPTIONS and LSAN_OPTIONS, which may add to them or
// override them: any report ends the process with a failure, also in a child process that a suite starts
// with an environment of its own, and a leak at the end is a report too.

// Exported, so that the runtime's own weak defaults give way to them.
#define PARDOVA_SANITIZER_DEFAULT extern "C" __attribute__((visibility("default"), used)) const char*

// NOLINTBEGIN(readability-identifier-naming,bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp): the
// sanitizers' runtime looks these names up.
PARDOVA_SANITIZER_DEFAULT __asan_default_options() {
    return "halt_on_error=1:abort_on_error=0:exitcode=1:detect_leaks=1:check_initialization_order=1:"
           "strict_init_order=1:detect_invalid_pointer_pairs=0:print_summary=1";
}

PARDOVA_SANITIZER_DEFAULT __ubsan_default_options() { return "halt_on_error=1:print_stacktrace=1:print_summary=1"; }

PARDOVA_SANITIZER_DEFAULT __lsan_default_options() { return "exitcode=1"; }
// NOLINTEND(readability-identifier-naming,bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp)
