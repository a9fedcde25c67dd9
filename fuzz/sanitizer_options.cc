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
//
// quarantine_size_mb=32 (256 by default): freed blocks wait there before
// they are handed out again, so that a use after free hits poisoned memory.
// A world input frees about 80 KiB, all of it within the input (each input
// plays on new plug-ins), so 32 MiB still holds every block an input freed,
// and those of the few hundred inputs before it. With 256 MiB the heap grew
// for the first three thousand inputs of a run, each new block on a page
// the kernel had to fault in: in a 15 s round-trip run that was 15 % of the
// process's time, and the rate per CPU second rose by a fifth at 32 MiB.
extern "C" __attribute__((visibility("default"), used)) const char* __asan_default_options() {
  return "malloc_context_size=1:quarantine_size_mb=32";
}
