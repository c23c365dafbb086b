#include "core/CrashReport.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <setjmp.h>
#include <signal.h>
#include <sys/uio.h>
#include <ucontext.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <stdexcept>

#include "core/AppLog.h"

namespace quillon {

namespace {

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
    char buffer[512];
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    return n < 0 ? std::string() : std::string(buffer);
}

// ---- locks held by this thread, kept without allocation so a fault path can walk them ----

struct HeldLock {
    void* mutex;
    HeldLocks::UnlockFn unlock;
};
constexpr size_t kMaxHeldLocks = 64;
thread_local HeldLock t_held[kMaxHeldLocks];
thread_local size_t t_heldDepth = 0;
thread_local size_t t_heldOverflow = 0;  // pushes beyond the table (not releasable)

// ---- the trap ----

struct GuardFrame {
    sigjmp_buf env;
    TrappedFault* fault;
    GuardFrame* previous;
};
thread_local GuardFrame* t_guard = nullptr;

constexpr int kTrappedSignals[] = {SIGSEGV, SIGFPE, SIGBUS, SIGILL};
struct sigaction g_previous[NSIG];
std::once_flag g_installOnce;

// A signal stack per thread, so a fault from a stack overflow can still be trapped.
struct AlternateStack {
    void* memory = nullptr;
    size_t size = 0;
    ~AlternateStack() {
        if (!memory)
            return;
        stack_t disable{};
        disable.ss_flags = SS_DISABLE;
        sigaltstack(&disable, nullptr);
        std::free(memory);
    }
    void Ensure() {
        if (memory)
            return;
        stack_t current{};
        if (sigaltstack(nullptr, &current) == 0 && !(current.ss_flags & SS_DISABLE))
            return;  // the thread has one
        size = 64 * 1024;
        memory = std::malloc(size);
        if (!memory)
            return;
        stack_t stack{};
        stack.ss_sp = memory;
        stack.ss_size = size;
        if (sigaltstack(&stack, nullptr) != 0) {
            std::free(memory);
            memory = nullptr;
        }
    }
};
thread_local AlternateStack t_altStack;

void CaptureContext(const ucontext_t* uc, FaultContext& context) {
#if defined(__x86_64__)
    const greg_t* g = uc->uc_mcontext.gregs;
    context.contextFlags = FaultContext::kSegments | FaultContext::kInteger | FaultContext::kControl;
    const uint64_t csgsfs = static_cast<uint64_t>(g[REG_CSGSFS]);
    context.segCs = csgsfs & 0xFFFF;
    context.segGs = (csgsfs >> 16) & 0xFFFF;
    context.segFs = (csgsfs >> 32) & 0xFFFF;
    context.rdi = g[REG_RDI];
    context.rsi = g[REG_RSI];
    context.rbx = g[REG_RBX];
    context.rdx = g[REG_RDX];
    context.rcx = g[REG_RCX];
    context.rax = g[REG_RAX];
    context.r8 = g[REG_R8];
    context.r9 = g[REG_R9];
    context.r10 = g[REG_R10];
    context.r11 = g[REG_R11];
    context.r12 = g[REG_R12];
    context.r13 = g[REG_R13];
    context.r14 = g[REG_R14];
    context.r15 = g[REG_R15];
    context.rbp = g[REG_RBP];
    context.rip = g[REG_RIP];
    context.eflags = g[REG_EFL];
    context.rsp = g[REG_RSP];
#else
    (void)uc;
    context.contextFlags = 0;
#endif
}

bool IsWriteFault(const ucontext_t* uc) {
#if defined(__x86_64__)
    return (uc->uc_mcontext.gregs[REG_ERR] & 2) != 0;
#else
    (void)uc;
    return false;
#endif
}

void OnFault(int signal, siginfo_t* info, void* ucv) {
    GuardFrame* guard = t_guard;
    if (!guard) {
        // Not inside a guard: put the previous disposition back and let the fault happen again.
        sigaction(signal, &g_previous[signal], nullptr);
        return;
    }
    const ucontext_t* uc = static_cast<const ucontext_t*>(ucv);
    TrappedFault& fault = *guard->fault;
    fault.record = FaultRecord();
    fault.context = FaultContext();
    CaptureContext(uc, fault.context);
    fault.record.code = static_cast<uint32_t>(signal);
    fault.record.flags = static_cast<uint32_t>(info->si_code);
    fault.record.address = fault.context.rip;
    if (signal == SIGSEGV || signal == SIGBUS) {
        fault.record.paramCount = 2;
        fault.record.params[0] = IsWriteFault(uc) ? 1 : 0;
        fault.record.params[1] = reinterpret_cast<uintptr_t>(info->si_addr);
    }
    // The faulting frames are intact only now: walk them before jumping away.
    fault.stackDepth = WalkFramePointers(fault.context.rbp, fault.context.rip, fault.stack,
                                         sizeof fault.stack / sizeof fault.stack[0]);
    t_guard = guard->previous;
    siglongjmp(guard->env, 1);
}

void InstallHandlers() {
    for (int signal : kTrappedSignals) {
        struct sigaction action {};
        action.sa_sigaction = OnFault;
        action.sa_flags = SA_SIGINFO | SA_ONSTACK;
        sigemptyset(&action.sa_mask);
        sigaction(signal, &action, &g_previous[signal]);
    }
}

void RecordLines(const FaultRecord& record, std::vector<std::string>& lines) {
    std::string params;
    for (uint32_t i = 0; i < record.paramCount && i < FaultRecord::kMaxParams; ++i)
        params += Format(" ExParam(%u)=%lx", i, static_cast<unsigned long>(record.params[i]));
    lines.push_back(Format("ExceptionRecord: ExCode=%x ExFlags=%x ExRecord=%lx ExAddr=%lx ExParams=%u %s", record.code,
                           record.flags, static_cast<unsigned long>(reinterpret_cast<uintptr_t>(record.nested)),
                           static_cast<unsigned long>(record.address), record.paramCount, params.c_str()));
}

}  // namespace

// ---- readable memory ----

bool IsReadableMemory(const void* address, size_t size) {
    if (size == 0)
        return true;
    if (!address)
        return false;
    char buffer[64];
    const char* p = static_cast<const char*>(address);
    // The kernel copies the bytes for us and answers EFAULT for an unmapped page: nothing here
    // ever reads an address it has not been told is readable.
    while (size > 0) {
        size_t n = size < sizeof buffer ? size : sizeof buffer;
        struct iovec local {
            buffer, n
        };
        struct iovec remote {
            const_cast<char*>(p), n
        };
        ssize_t got = process_vm_readv(getpid(), &local, 1, &remote, 1, 0);
        if (got < 0 && (errno == ENOSYS || errno == EPERM)) {
            // No cross-memory reads here: a write of the bytes into a pipe reports EFAULT the same way.
            int fds[2];
            if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
                return false;
            got = write(fds[1], p, n);
            close(fds[0]);
            close(fds[1]);
        }
        if (got != static_cast<ssize_t>(n))
            return false;
        p += n;
        size -= n;
    }
    return true;
}

size_t WalkFramePointers(uintptr_t fp, uintptr_t ip, uintptr_t* out, size_t max) {
    size_t count = 0;
    if (max == 0)
        return 0;
    out[count++] = ip;
    while (count < max) {
        if (fp % 8 != 0)
            break;
        uintptr_t frame[2];
        struct iovec local {
            frame, sizeof frame
        };
        struct iovec remote {
            reinterpret_cast<void*>(fp), sizeof frame
        };
        if (process_vm_readv(getpid(), &local, 1, &remote, 1, 0) != static_cast<ssize_t>(sizeof frame)) {
            if (!IsReadableMemory(reinterpret_cast<const void*>(fp), sizeof frame))
                break;
            std::memcpy(frame, reinterpret_cast<const void*>(fp), sizeof frame);
        }
        out[count++] = frame[1];
        if (frame[0] <= fp)
            break;  // frames grow upwards; anything else is not a frame chain
        fp = frame[0];
    }
    return count;
}

// ---- the report ----

std::vector<std::string> CrashReportLines(const FaultInfo& info) {
    std::vector<std::string> lines;
    for (const FaultRecord* r = info.record; r; r = r->nested)
        RecordLines(*r, lines);

    const FaultContext* c = info.context;
    uintptr_t walked[64];
    const uintptr_t* stack = info.stack;
    size_t depth = info.stackDepth;
    if (!info.stackCollected && c) {
        depth = WalkFramePointers(c->rbp, c->rip, walked, 64);
        stack = walked;
    }
    for (size_t i = 0; stack && i < depth; ++i) {
        lines.push_back(Format("Stacktrace, caller : 0x%08lX", static_cast<unsigned long>(stack[i])));
        Dl_info module{};
        if (dladdr(reinterpret_cast<void*>(stack[i]), &module) == 0 || !module.dli_fbase)
            break;
        lines.push_back(Format("Stacktrace, hInstance : 0x%08lX",
                               static_cast<unsigned long>(reinterpret_cast<uintptr_t>(module.dli_fbase))));
    }

    if (c) {
        if (c->contextFlags & FaultContext::kDebug)
            lines.push_back(Format("             Dr0 = %lu, Dr1 = %lu, Dr2 = %lu, Dr3 = %lu, Dr6 = %lu, Dr7 = %lu.",
                                   (unsigned long)c->dr0, (unsigned long)c->dr1, (unsigned long)c->dr2,
                                   (unsigned long)c->dr3, (unsigned long)c->dr6, (unsigned long)c->dr7));
        if (c->contextFlags & FaultContext::kSegments)
            lines.push_back(
                Format("             SegGs = %lu, SegFs = %lu.", (unsigned long)c->segGs, (unsigned long)c->segFs));
        if (c->contextFlags & FaultContext::kInteger) {
            lines.push_back(Format("             Rdi = %lu, Rsi = %lu, Rbx = %lu, Rdx = %lu, Rcx = %lu, Rax = %lu.",
                                   (unsigned long)c->rdi, (unsigned long)c->rsi, (unsigned long)c->rbx,
                                   (unsigned long)c->rdx, (unsigned long)c->rcx, (unsigned long)c->rax));
            lines.push_back(Format(
                "             R8 = %lu, R9 = %lu, R10 = %lu, R11 = %lu, R12 = %lu, R13 = %lu, R14 = %lu, R15 = %lu.",
                (unsigned long)c->r8, (unsigned long)c->r9, (unsigned long)c->r10, (unsigned long)c->r11,
                (unsigned long)c->r12, (unsigned long)c->r13, (unsigned long)c->r14, (unsigned long)c->r15));
        }
        if (c->contextFlags & FaultContext::kControl)
            lines.push_back(Format("             Rbp = %lu, Rip = %lu, SegCs = %lu, EFlags = %lu, Rsp = %lu.",
                                   (unsigned long)c->rbp, (unsigned long)c->rip, (unsigned long)c->segCs,
                                   (unsigned long)c->eflags, (unsigned long)c->rsp));
    }
    return lines;
}

FaultDisposition WriteCrashReport(const FaultInfo* info) {
    if (!info)
        return FaultDisposition::ExecuteHandler;
    AppLog* log = TheLog();
    if (!log)
        return FaultDisposition::ExecuteHandler;
    for (const std::string& line : CrashReportLines(*info))
        log->Write("%s", line.c_str());
    return FaultDisposition::ExecuteHandler;
}

FaultInfo TrappedFault::Info() const {
    FaultInfo info;
    info.record = &record;
    info.context = &context;
    info.stack = stack;
    info.stackDepth = stackDepth;
    info.stackCollected = true;
    return info;
}

// ---- the guard ----

bool RunWithFaultGuard(void (*body)(void*), void* arg, TrappedFault& fault) {
    std::call_once(g_installOnce, InstallHandlers);
    t_altStack.Ensure();
    GuardFrame frame;
    frame.fault = &fault;
    frame.previous = t_guard;
    const size_t lockDepth = HeldLocks::Depth();
    if (sigsetjmp(frame.env, 1) == 0) {
        t_guard = &frame;
        body(arg);
        t_guard = frame.previous;
        return false;
    }
    // Back from the fault handler: the body's frames are gone, their destructors never ran.
    t_guard = frame.previous;
    HeldLocks::ReleaseAbove(lockDepth);
    return true;
}

void HeldLocks::Push(void* mutex, UnlockFn unlock) {
    if (t_heldDepth < kMaxHeldLocks) {
        t_held[t_heldDepth++] = HeldLock{mutex, unlock};
    } else {
        ++t_heldOverflow;
    }
}

void HeldLocks::Pop() {
    if (t_heldOverflow > 0) {
        --t_heldOverflow;
    } else if (t_heldDepth > 0) {
        --t_heldDepth;
    }
}

size_t HeldLocks::Depth() {
    return t_heldDepth;
}

void HeldLocks::ReleaseAbove(size_t depth) {
    t_heldOverflow = 0;
    while (t_heldDepth > depth) {
        HeldLock lock = t_held[--t_heldDepth];
        lock.unlock(lock.mutex);
    }
}

// The faults are meant to reach the signal handlers; the undefined-behaviour checker would stop
// the division first.
__attribute__((no_sanitize("undefined"))) void RaiseInjectedFault(InjectedFault kind) {
    switch (kind) {
        case InjectedFault::None:
            break;
        case InjectedFault::BadAccess: {
            // An address that no process maps; volatile so the compiler keeps the store.
            volatile uintptr_t address = 16;
            *reinterpret_cast<volatile int*>(address) = 1;
            break;
        }
        case InjectedFault::DivideByZero: {
            // Both operands volatile: the compiler rewrites 1 / x without a division.
            volatile int numerator = 7;
            volatile int zero = 0;
            volatile int result = numerator / zero;
            (void)result;
            break;
        }
        case InjectedFault::CxxException:
            throw std::runtime_error("injected fault");
    }
}

}  // namespace quillon
