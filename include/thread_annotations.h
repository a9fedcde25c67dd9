// Lock annotations the compiler checks.
//
// Clang's thread-safety analysis (-Wthread-safety) reads these attributes and
// reports an access to a guarded field without its lock, a call that needs a
// lock the caller does not hold, and (with -Wthread-safety-beta) locks taken
// against the stated order. Other compilers see nothing.
//
// The lock classes themselves (CLocker, autoLock) carry them, which is why
// this header sits beside them rather than with the plug-in's sources.
#pragma once

#if defined(__clang__)
#define MRTC_THREAD_ANNOTATION(x) __attribute__((x))
#else
#define MRTC_THREAD_ANNOTATION(x)
#endif

// A class whose objects are locks; `x` names the kind in diagnostics.
#define MRTC_CAPABILITY(x) MRTC_THREAD_ANNOTATION(capability(x))
// A guard class that holds a lock for its lifetime.
#define MRTC_SCOPED_CAPABILITY MRTC_THREAD_ANNOTATION(scoped_lockable)

// The field may be read or written only while `x` is held.
#define MRTC_GUARDED_BY(x) MRTC_THREAD_ANNOTATION(guarded_by(x))
// What the pointer field points at may be touched only while `x` is held.
#define MRTC_PT_GUARDED_BY(x) MRTC_THREAD_ANNOTATION(pt_guarded_by(x))

// Lock order: this lock is taken before (after) the named ones.
#define MRTC_ACQUIRED_BEFORE(...) MRTC_THREAD_ANNOTATION(acquired_before(__VA_ARGS__))
#define MRTC_ACQUIRED_AFTER(...) MRTC_THREAD_ANNOTATION(acquired_after(__VA_ARGS__))

// The caller must hold the locks.
#define MRTC_REQUIRES(...) MRTC_THREAD_ANNOTATION(requires_capability(__VA_ARGS__))
// The function takes (gives back) the locks and returns holding (not holding)
// them. With no argument on a member of a lock class: the object itself.
#define MRTC_ACQUIRE(...) MRTC_THREAD_ANNOTATION(acquire_capability(__VA_ARGS__))
#define MRTC_RELEASE(...) MRTC_THREAD_ANNOTATION(release_capability(__VA_ARGS__))
// The caller must not hold the locks (the function takes them itself).
#define MRTC_EXCLUDES(...) MRTC_THREAD_ANNOTATION(locks_excluded(__VA_ARGS__))
// The function returns the lock `x`, so that locking its result locks `x`.
#define MRTC_RETURN_CAPABILITY(x) MRTC_THREAD_ANNOTATION(lock_returned(x))

// Turns the analysis off for one function whose locking it cannot follow.
// Every use says why.
#define MRTC_NO_THREAD_SAFETY_ANALYSIS MRTC_THREAD_ANNOTATION(no_thread_safety_analysis)
