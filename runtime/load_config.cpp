// The load configuration of the Windows deliverables, which bring no C
// run-time to supply one: the security cookie that protected frames check
// (the stack guard), and the Control Flow Guard tables and check routines.
// The linker fills in the __guard_* values; the loader seeds the cookie and,
// where Control Flow Guard is on, puts the system's check in place of ours.
#include <cstdint>

#include "runtime/stack_guard.h"

// Symbols as the assembler sees them: i686 C names carry an underscore.
#if defined(__i386__)
#define VELMORIN_C_NAME(name) "_" #name
#else
#define VELMORIN_C_NAME(name) #name
#endif

extern "C" {

// The stack guard, at the value the loader recognises as not yet seeded.
std::uintptr_t __stack_chk_guard = kDefaultStackGuard;

// The checks an indirect call goes through until the loader replaces them:
// on i686 the target is checked (in ECX) and called by the caller; on x86-64
// the dispatcher is given the target in RAX and jumps to it.
void GuardCheckNothing();
void GuardDispatchNothing();
__asm__(".text\n"
        ".globl " VELMORIN_C_NAME(GuardCheckNothing) "\n"
        VELMORIN_C_NAME(GuardCheckNothing) ":\n"
        "  ret\n"
#if defined(__x86_64__)
        ".globl " VELMORIN_C_NAME(GuardDispatchNothing) "\n"
        VELMORIN_C_NAME(GuardDispatchNothing) ":\n"
        "  jmp *%rax\n"
#endif
);

// Read-only, in the section the loader unprotects to write the system's
// check routines into (declared extern first: a const would be file-local).
extern void (*const __guard_check_icall_fptr)();
extern void (*const __guard_dispatch_icall_fptr)();
__attribute__((section(".00cfg"), used)) void (*const __guard_check_icall_fptr)() = GuardCheckNothing;
#if defined(__x86_64__)
__attribute__((section(".00cfg"), used)) void (*const __guard_dispatch_icall_fptr)() = GuardDispatchNothing;
#endif
}

// IMAGE_LOAD_CONFIG_DIRECTORY up to GuardEHContinuationCount (the newest
// field this file sets to zero), laid out for each word size. Fields not
// named are zero.
#define VELMORIN_FIELD(offset, kind, value) ".org _load_config_start + " #offset "\n " kind " " value "\n"
#if defined(__x86_64__)
__asm__(".section .rdata,\"dr\"\n"
        ".balign 8\n"
        ".globl _load_config_used\n"
        "_load_config_used:\n"
        "_load_config_start:\n"
        VELMORIN_FIELD(0x00, ".long", "0x118")  // Size
        VELMORIN_FIELD(0x58, ".quad", "__stack_chk_guard")  // SecurityCookie
        VELMORIN_FIELD(0x70, ".quad", "__guard_check_icall_fptr")  // GuardCFCheckFunctionPointer
        VELMORIN_FIELD(0x78, ".quad", "__guard_dispatch_icall_fptr")  // GuardCFDispatchFunctionPointer
        VELMORIN_FIELD(0x80, ".quad", "__guard_fids_table")  // GuardCFFunctionTable
        VELMORIN_FIELD(0x88, ".quad", "__guard_fids_count")  // GuardCFFunctionCount
        VELMORIN_FIELD(0x90, ".long", "__guard_flags")  // GuardFlags
        VELMORIN_FIELD(0xA0, ".quad", "__guard_iat_table")  // GuardAddressTakenIatEntryTable
        VELMORIN_FIELD(0xA8, ".quad", "__guard_iat_count")  // GuardAddressTakenIatEntryCount
        VELMORIN_FIELD(0xB0, ".quad", "__guard_longjmp_table")  // GuardLongJumpTargetTable
        VELMORIN_FIELD(0xB8, ".quad", "__guard_longjmp_count")  // GuardLongJumpTargetCount
        ".org _load_config_start + 0x118\n");
#else
__asm__(".section .rdata,\"dr\"\n"
        ".balign 4\n"
        ".globl __load_config_used\n"
        "__load_config_used:\n"
        "_load_config_start:\n"
        VELMORIN_FIELD(0x00, ".long", "0xAC")  // Size
        VELMORIN_FIELD(0x3C, ".long", "___stack_chk_guard")  // SecurityCookie
        VELMORIN_FIELD(0x48, ".long", "___guard_check_icall_fptr")  // GuardCFCheckFunctionPointer
        VELMORIN_FIELD(0x50, ".long", "___guard_fids_table")  // GuardCFFunctionTable
        VELMORIN_FIELD(0x54, ".long", "___guard_fids_count")  // GuardCFFunctionCount
        VELMORIN_FIELD(0x58, ".long", "___guard_flags")  // GuardFlags
        VELMORIN_FIELD(0x68, ".long", "___guard_iat_table")  // GuardAddressTakenIatEntryTable
        VELMORIN_FIELD(0x6C, ".long", "___guard_iat_count")  // GuardAddressTakenIatEntryCount
        VELMORIN_FIELD(0x70, ".long", "___guard_longjmp_table")  // GuardLongJumpTargetTable
        VELMORIN_FIELD(0x74, ".long", "___guard_longjmp_count")  // GuardLongJumpTargetCount
        ".org _load_config_start + 0xAC\n");
#endif
