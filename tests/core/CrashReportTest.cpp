// The crash report: its lines, the guarded stack walk, and the fault guard with its lock release.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <future>
#include <mutex>

#include "core/AppLog.h"
#include "core/AppSettings.h"
#include "core/CrashReport.h"
#include "support/TempDir.h"

namespace quillon {
namespace {

std::vector<std::string> Lines(const FaultRecord& record, const FaultContext* context = nullptr,
                               std::vector<uintptr_t> stack = {}) {
    FaultInfo info;
    info.record = &record;
    info.context = context;
    info.stack = stack.data();
    info.stackDepth = stack.size();
    info.stackCollected = true;
    return CrashReportLines(info);
}

// The records, outer first, then the stack up to the first address outside any module.
TEST(CrashReport, RecordAndStackLinesKeepTheirWording) {
    const FaultRecord inner{8, 0, nullptr, 0x401000};
    const FaultRecord outer{11, 1, &inner, 0x402000, 2, {1, 0x10}};
    const uintptr_t here = reinterpret_cast<uintptr_t>(&Lines);
    auto lines = Lines(outer, nullptr, {here, here + 1, 0x10, here});
    ASSERT_EQ(lines.size(), 7u);
    char expected[200];
    std::snprintf(expected, sizeof expected,
                  "ExceptionRecord: ExCode=b ExFlags=1 ExRecord=%lx ExAddr=402000 ExParams=2  ExParam(0)=1 "
                  "ExParam(1)=10",
                  static_cast<unsigned long>(reinterpret_cast<uintptr_t>(&inner)));
    EXPECT_EQ(lines[0], expected);
    // No parameters: the parameter text is empty.
    EXPECT_EQ(lines[1], "ExceptionRecord: ExCode=8 ExFlags=0 ExRecord=0 ExAddr=401000 ExParams=0 ");
    std::snprintf(expected, sizeof expected, "Stacktrace, caller : 0x%08lX", static_cast<unsigned long>(here));
    EXPECT_EQ(lines[2], expected);
    EXPECT_EQ(lines[3].rfind("Stacktrace, hInstance : 0x", 0), 0u);
    EXPECT_EQ(lines[5], lines[3]);
    EXPECT_EQ(lines[6], "Stacktrace, caller : 0x00000010");
}

TEST(CrashReport, RegisterLinesOnlyForTheGroupsThePlatformGave) {
    FaultRecord record;
    FaultContext context;
    context.contextFlags = FaultContext::kInteger | FaultContext::kControl;
    context.rax = 6;
    context.rbp = 100;
    context.rip = 200;
    context.rsp = 300;
    context.segCs = 51;
    context.eflags = 514;
    auto lines = Lines(record, &context);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[1], "             Rdi = 0, Rsi = 0, Rbx = 0, Rdx = 0, Rcx = 0, Rax = 6.");
    EXPECT_EQ(lines[2].rfind("             R8 = 0, R9 = 0,", 0), 0u);
    EXPECT_EQ(lines[3], "             Rbp = 100, Rip = 200, SegCs = 51, EFlags = 514, Rsp = 300.");

    context.contextFlags = FaultContext::kDebug | FaultContext::kSegments;
    context.dr7 = 1024;
    context.segFs = 43;
    lines = Lines(record, &context);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1], "             Dr0 = 0, Dr1 = 0, Dr2 = 0, Dr3 = 0, Dr6 = 0, Dr7 = 1024.");
    EXPECT_EQ(lines[2], "             SegGs = 0, SegFs = 43.");
}

TEST(CrashReport, WalkNeverReadsAnUnreadableOrMisalignedFrame) {
    const long page = sysconf(_SC_PAGESIZE);
    void* mapping = mmap(nullptr, page * 2, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(mapping, MAP_FAILED);
    auto* frames = static_cast<uintptr_t*>(mapping);
    const uintptr_t unreadable = reinterpret_cast<uintptr_t>(mapping) + page;
    ASSERT_EQ(mprotect(reinterpret_cast<void*>(unreadable), page, PROT_NONE), 0);
    EXPECT_TRUE(IsReadableMemory(frames, 16));
    EXPECT_FALSE(IsReadableMemory(reinterpret_cast<void*>(unreadable), 8));
    EXPECT_FALSE(IsReadableMemory(reinterpret_cast<void*>(unreadable - 4), 8));  // straddles the edge
    EXPECT_FALSE(IsReadableMemory(nullptr, 8));

    // Three frames chained upwards; the last one points into the unreadable page.
    frames[0] = reinterpret_cast<uintptr_t>(&frames[2]);
    frames[1] = 0x1111;
    frames[2] = reinterpret_cast<uintptr_t>(&frames[4]);
    frames[3] = 0x2222;
    frames[4] = unreadable;
    frames[5] = 0x3333;
    uintptr_t out[16];
    size_t n = WalkFramePointers(reinterpret_cast<uintptr_t>(frames), 0x9999, out, 16);
    ASSERT_EQ(n, 4u);
    EXPECT_EQ(out[0], 0x9999u);
    EXPECT_EQ(out[1], 0x1111u);
    EXPECT_EQ(out[3], 0x3333u);

    frames[2] = reinterpret_cast<uintptr_t>(&frames[4]) + 3;  // misaligned
    EXPECT_EQ(WalkFramePointers(reinterpret_cast<uintptr_t>(frames), 0x9999, out, 16), 3u);
    EXPECT_EQ(WalkFramePointers(reinterpret_cast<uintptr_t>(frames) + 4, 0x9999, out, 16), 1u);
    EXPECT_EQ(WalkFramePointers(reinterpret_cast<uintptr_t>(frames), 0x9999, out, 2), 2u);
    munmap(mapping, page * 2);
}

struct GuardedWork {
    std::recursive_mutex* outer;
    std::mutex* inner;
    InjectedFault fault;
    bool finished = false;
};

void LockAndFault(void* arg) {
    auto* work = static_cast<GuardedWork*>(arg);
    TrackedLock<std::recursive_mutex> a(*work->outer);
    TrackedLock<std::recursive_mutex> again(*work->outer);
    TrackedLock<std::mutex> b(*work->inner);
    RaiseInjectedFault(work->fault);
    work->finished = true;
}

bool FreeForAnotherThread(std::recursive_mutex& m) {
    return std::async(std::launch::async,
                      [&m] {
                          bool got = m.try_lock();
                          if (got)
                              m.unlock();
                          return got;
                      })
        .get();
}

TEST(CrashReport, GuardTrapsTheFaultAndReleasesEveryTrackedLock) {
    std::recursive_mutex outer;
    std::mutex inner;
    for (auto [kind, signal] : {std::pair{InjectedFault::BadAccess, SIGSEGV}, {InjectedFault::DivideByZero, SIGFPE}}) {
        GuardedWork work{&outer, &inner, kind};
        TrappedFault fault;
        const size_t depth = HeldLocks::Depth();
        ASSERT_TRUE(RunWithFaultGuard(LockAndFault, &work, fault));
        EXPECT_FALSE(work.finished);
        EXPECT_EQ(fault.record.code, static_cast<uint32_t>(signal));
        EXPECT_EQ(HeldLocks::Depth(), depth);
        EXPECT_TRUE(FreeForAnotherThread(outer)) << "both levels of the recursive lock are released";
        EXPECT_TRUE(inner.try_lock());
        inner.unlock();
        EXPECT_GE(fault.stackDepth, 2u);
        EXPECT_NE(fault.context.rip, 0u);
        if (kind == InjectedFault::BadAccess) {
            ASSERT_EQ(fault.record.paramCount, 2u);
            EXPECT_EQ(fault.record.params[0], 1u);  // a write
            EXPECT_EQ(fault.record.params[1], 16u);
        }
    }

    // No fault: the body's own scopes release the locks, the guard reports nothing.
    GuardedWork calm{&outer, &inner, InjectedFault::None};
    TrappedFault none;
    EXPECT_FALSE(RunWithFaultGuard(LockAndFault, &calm, none));
    EXPECT_TRUE(calm.finished);
    EXPECT_TRUE(FreeForAnotherThread(outer));
}

void InnerFaults(void* arg) {
    auto* innerTrapped = static_cast<bool*>(arg);
    TrappedFault fault;
    *innerTrapped = RunWithFaultGuard([](void*) { RaiseInjectedFault(InjectedFault::BadAccess); }, nullptr, fault);
}

TEST(CrashReport, GuardsNestAndTheReportGoesToTheLogWhateverWriteLogSays) {
    bool innerTrapped = false;
    TrappedFault outerFault;
    EXPECT_FALSE(RunWithFaultGuard(InnerFaults, &innerTrapped, outerFault));
    EXPECT_TRUE(innerTrapped);

    test::TempDir dir;
    AppLog log(dir.File("SMS.log"));
    SetTheLog(&log);
    const bool writeLog = Settings().WriteLog;
    Settings().WriteLog = false;
    EXPECT_EQ(WriteCrashReport(nullptr), FaultDisposition::ExecuteHandler);
    const std::string empty = test::ReadFile(dir.File("SMS.log"));
    TrappedFault fault;
    ASSERT_TRUE(RunWithFaultGuard([](void*) { RaiseInjectedFault(InjectedFault::BadAccess); }, nullptr, fault));
    FaultInfo info = fault.Info();
    EXPECT_EQ(WriteCrashReport(&info), FaultDisposition::ExecuteHandler);
    const std::string text = test::ReadFile(dir.File("SMS.log"));
    EXPECT_NE(text.find("ExceptionRecord: ExCode=b ExFlags="), std::string::npos);
    EXPECT_NE(text.find("Stacktrace, caller : 0x"), std::string::npos);
    EXPECT_NE(text.find("             Rdi = "), std::string::npos);
    EXPECT_EQ(empty.find("ExceptionRecord"), std::string::npos);
    Settings().WriteLog = writeLog;
    SetTheLog(nullptr);
}

}  // namespace
}  // namespace quillon
