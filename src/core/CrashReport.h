// The crash report: a machine fault (bad memory access, division by zero, illegal instruction) in a
// guarded piece of work is trapped, a plain-text report is written to the log (the fault record, a
// walk of the call stack, the processor registers), and the work is abandoned while the thread
// carries on.
//
// Trapping uses POSIX signal handlers (SIGSEGV, SIGFPE, SIGBUS, SIGILL) and a sigsetjmp guard around
// the work. A jump out of a signal handler skips destructors, so a lock held by the guarded work is
// taken through TrackedLock: the guard releases every such lock when it recovers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace quillon {

// One fault record, as the report prints it. `nested` points to a fault that caused this one.
struct FaultRecord {
    static constexpr uint32_t kMaxParams = 15;
    uint32_t code = 0;   // the signal number
    uint32_t flags = 0;  // the signal's si_code
    const FaultRecord* nested = nullptr;
    uint64_t address = 0;  // instruction address of the fault
    uint32_t paramCount = 0;
    uint64_t params[kMaxParams] = {};  // bad memory access: [0] 1 for a write, 0 for a read; [1] the address
};

// The x86-64 register set of the faulting thread. `contextFlags` says which groups are present.
struct FaultContext {
    enum : uint32_t { kDebug = 1, kSegments = 2, kInteger = 4, kControl = 8 };
    uint32_t contextFlags = 0;
    uint64_t dr0 = 0, dr1 = 0, dr2 = 0, dr3 = 0, dr6 = 0, dr7 = 0;
    uint64_t segGs = 0, segFs = 0, segCs = 0;
    uint64_t rdi = 0, rsi = 0, rbx = 0, rdx = 0, rcx = 0, rax = 0;
    uint64_t r8 = 0, r9 = 0, r10 = 0, r11 = 0, r12 = 0, r13 = 0, r14 = 0, r15 = 0;
    uint64_t rbp = 0, rip = 0, eflags = 0, rsp = 0;
};

// What WriteCrashReport gets. The stack walk must run while the faulting frames still exist, so the
// trap collects it at the fault; without a collected walk, the report walks from rbp/rip itself.
struct FaultInfo {
    const FaultRecord* record = nullptr;
    const FaultContext* context = nullptr;
    const uintptr_t* stack = nullptr;  // collected addresses: rip, then return addresses
    size_t stackDepth = 0;
    bool stackCollected = false;
};

// The trap's next step; a report always lets the guard's handler run.
enum class FaultDisposition { ExecuteHandler };

// The report's lines in order (the text of each log line).
std::vector<std::string> CrashReportLines(const FaultInfo& info);
// Writes the report to the log whatever WriteLog says (the log must exist). Null info: nothing.
FaultDisposition WriteCrashReport(const FaultInfo* info);

// True when `size` bytes at `address` can be read, tested without touching them.
bool IsReadableMemory(const void* address, size_t size);
// Walks frame pointers from (fp, ip): ip first, then each frame's return address, while the frame
// pointer is 8-aligned and its 16 bytes are readable. Returns the number of addresses stored.
size_t WalkFramePointers(uintptr_t fp, uintptr_t ip, uintptr_t* out, size_t max);

// A trapped fault, as the guard hands it to its caller.
struct TrappedFault {
    FaultRecord record;
    FaultContext context;
    uintptr_t stack[64] = {};
    size_t stackDepth = 0;

    FaultInfo Info() const;
};

// Runs body(arg) with the fault trap armed on this thread. Returns false when the body returned;
// true when a fault was trapped, `fault` then holds it and every TrackedLock taken inside the body
// (and not yet released) has been released. Guards nest.
bool RunWithFaultGuard(void (*body)(void*), void* arg, TrappedFault& fault);

// Registers a lock held by this thread so a fault guard can release it. Used through TrackedLock.
class HeldLocks {
public:
    using UnlockFn = void (*)(void*);
    static void Push(void* mutex, UnlockFn unlock);
    static void Pop();
    static size_t Depth();
    // Releases the locks above `depth`, newest first.
    static void ReleaseAbove(size_t depth);
};

// A scoped lock that a fault guard can release when the scope is left by a jump.
template <class Mutex>
class TrackedLock {
public:
    explicit TrackedLock(Mutex& mutex) : mutex_(mutex) {
        mutex_.lock();
        HeldLocks::Push(&mutex_, [](void* m) { static_cast<Mutex*>(m)->unlock(); });
    }
    ~TrackedLock() {
        HeldLocks::Pop();
        mutex_.unlock();
    }
    TrackedLock(const TrackedLock&) = delete;
    TrackedLock& operator=(const TrackedLock&) = delete;

private:
    Mutex& mutex_;
};

// Test-only: makes a machine fault of the given kind happen right here.
enum class InjectedFault : uint8_t { None, BadAccess, DivideByZero, CxxException };
void RaiseInjectedFault(InjectedFault kind);

}  // namespace quillon
