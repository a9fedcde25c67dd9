#include "fiber_context.h"

#include <cstdint>

#ifdef COMMLIB_FIBER_SWITCH_ASM

// commlibFiberSwitch(save, to): pushes the callee-saved registers and the
// control words on the running stack, stores the stack pointer in *save,
// takes `to` as the stack pointer and pops the same from there. The caller
// already keeps everything else, as around any call. It has no unwind
// information: an unwinder that reaches it stops, as at a fiber's first frame.
extern "C" void commlibFiberSwitch(void** save, void* to);
asm(R"(
  .text
  .p2align 4
  .globl commlibFiberSwitch
  .hidden commlibFiberSwitch
  .type commlibFiberSwitch, @function
commlibFiberSwitch:
  pushq %rbp
  pushq %rbx
  pushq %r12
  pushq %r13
  pushq %r14
  pushq %r15
  subq $8, %rsp
  stmxcsr (%rsp)
  fnstcw 4(%rsp)
  movq %rsp, (%rdi)
  movq %rsi, %rsp
  ldmxcsr (%rsp)
  fldcw 4(%rsp)
  addq $8, %rsp
  popq %r15
  popq %r14
  popq %r13
  popq %r12
  popq %rbx
  popq %rbp
  ret
  .size commlibFiberSwitch, .-commlibFiberSwitch
)");

namespace commlib {
namespace detail {
namespace {

// What a new stack holds under its saved stack pointer, lowest address
// first: the frame commlibFiberSwitch pops, then the address its `ret` goes
// to, then a null return address for `entry` (where unwinding stops).
struct FirstFrame {
  uint32_t mxcsr;
  uint16_t x87Control;
  uint16_t unused;
  void* registers[6];  // r15, r14, r13, r12, rbx, rbp: all zero
  void (*entry)();
  void* entryReturn;
};
static_assert(sizeof(FirstFrame) == 72, "the layout commlibFiberSwitch pops");

// The processor's power-on values, which a new thread also starts with: all
// SSE exceptions masked, round to nearest; x87 extended precision.
constexpr uint32_t kInitialMxcsr = 0x1F80;
constexpr uint16_t kInitialX87Control = 0x037F;

}  // namespace

void prepareContext(FiberContext& context, char* stack, size_t size, void (*entry)()) {
  // `entry` starts as if called: the stack pointer 8 past a 16-byte boundary.
  const auto top = (reinterpret_cast<uintptr_t>(stack) + size) & ~uintptr_t{15};
  auto* frame = reinterpret_cast<FirstFrame*>(top - sizeof(FirstFrame));
  *frame = FirstFrame{kInitialMxcsr, kInitialX87Control, 0, {}, entry, nullptr};
  context.sp = frame;
}

void switchContext(FiberContext& save, FiberContext& to) { commlibFiberSwitch(&save.sp, to.sp); }

}  // namespace detail
}  // namespace commlib

#else  // the C library's contexts

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define COMMLIB_CONTEXT_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define COMMLIB_CONTEXT_ASAN 1
#endif
#ifdef COMMLIB_CONTEXT_ASAN
#include <dlfcn.h>
#endif

namespace commlib {
namespace detail {

void prepareContext(FiberContext& context, char* stack, size_t size, void (*entry)()) {
  getcontext(&context.uc);
  context.uc.uc_stack.ss_sp = stack;
  context.uc.uc_stack.ss_size = size;
  context.uc.uc_link = nullptr;  // entry never returns
  makecontext(&context.uc, entry, 0);
}

// The C library's swapcontext(). The address sanitizer's own, which a call
// reaches first, warns on stderr at its first use (outputs that tests compare
// then differ) and wipes the shadow of the stack it switches to each time,
// which cost more than the switch. The fiber's own annotations around each
// switch tell the sanitizer all it needs.
void switchContext(FiberContext& save, FiberContext& to) {
#ifdef COMMLIB_CONTEXT_ASAN
  using Swap = int (*)(ucontext_t*, const ucontext_t*);
  static const Swap real = [] {
    void* found = dlsym(RTLD_NEXT, "swapcontext");
    return found != nullptr ? reinterpret_cast<Swap>(found) : &swapcontext;
  }();
  real(&save.uc, &to.uc);
#else
  swapcontext(&save.uc, &to.uc);
#endif
}

}  // namespace detail
}  // namespace commlib

#endif
