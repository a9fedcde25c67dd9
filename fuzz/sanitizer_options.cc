// The address sanitizer's defaults for the fuzz targets and their replay
// programs; ASAN_OPTIONS, when set, is read after these and wins.
//
// malloc_context_size=1 (the least it takes): no stack is unwound at an
// allocation or a free. The world targets allocate a few hundred times an
// input, and unwinding each stack and storing it (a hash-table look-up that
// misses the cache, as the fuzzer keeps reaching new stacks) was about a
// sixth of an input's time. Finding a fault does not depend on those stacks:
// the shadow, the red zones and the quarantine are the same, and a report
// still shows the stack of the bad access and which block it hit. Only the
// "allocated by" and "freed by" stacks are left out; replay the input with
// ASAN_OPTIONS=malloc_context_size=30 to see them.
extern "C" __attribute__((visibility("default"), used)) const char* __asan_default_options() {
  return "malloc_context_size=1";
}
