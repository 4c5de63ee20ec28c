// Sanitizer settings built into every fuzz target.
// Fewer freed blocks are held back for use-after-free checks (the default
// holds 256 MB): memory stays bounded, and the fuzzer does not spend its
// time faulting in fresh pages.
extern "C" const char* __asan_default_options() {
  return "quarantine_size_mb=16:malloc_context_size=10";
}
