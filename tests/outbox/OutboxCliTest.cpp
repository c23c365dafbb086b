// quillon-cli outbox list, delete, resend and export, run as a separate program.
#include <gtest/gtest.h>

#include "support/CliRunner.h"
#include "support/TempDir.h"

namespace quillon {
namespace {

using test::RunCli;
using test::TempDir;

// The ID column of `outbox list` output, joined by ",".
std::string ListedIds(const std::string& out) {
    std::string ids;
    size_t start = 0;
    while (start < out.size()) {
        size_t end = out.find_first_of("\t\n", start);
        ids += (ids.empty() ? "" : ",") + out.substr(start, end - start);
        start = out.find('\n', start) + 1;
        if (start == 0)
            break;
    }
    return ids;
}

TEST(OutboxCli, ListDeleteResendAndExport) {
    TempDir dir;
    const std::vector<std::vector<std::string>> adds = {
        {"--to", "0831", "--text", "one", "--time", "300", "--stat", "9"},
        {"--to", "0821", "--text", "two\tcols", "--time", "100", "--stat", "0"},
        {"--to", "0811", "--text", "three", "--time", "200", "--stat", "7"},
    };
    for (auto args : adds) {
        args.insert(args.begin(), {"outbox", "add"});
        ASSERT_EQ(RunCli(dir.Path(), args).rc, 0);
    }
    struct Step {
        std::vector<std::string> args;
        int rc;
        std::string ids;  // listed IDs, or the exact output when it does not start with a digit list
    };
    const Step steps[] = {
        {{"outbox", "list"}, 0, "2,3,1"},
        {{"outbox", "list", "--sort", "status", "--desc"}, 0, "1,3,2"},
        {{"outbox", "list", "--sort", "recipient"}, 0, "3,2,1"},
        {{"outbox", "list", "--status", "scheduled"}, 0, "3"},
        {{"outbox", "list", "--find", "TWO"}, 0, "2"},
        {{"outbox", "list", "--sort", "size"}, 2, ""},
        {{"outbox", "list", "--status", "lost"}, 2, ""},
        {{"outbox", "resend", "2"}, 0, "4"},
        {{"outbox", "resend", "99"}, 1, ""},
        {{"outbox", "delete", "3", "1", "99"}, 1, "3,1,99"},  // 3 is on the gateway, 99 unknown
        {{"outbox", "list"}, 0, "2,3,4"},
        {{"outbox", "delete", "x"}, 2, ""},
        {{"outbox", "export"}, 2, ""},
    };
    for (const Step& s : steps) {
        auto r = RunCli(dir.Path(), s.args);
        std::string what = s.args[1] + (s.args.size() > 2 ? " " + s.args[2] : "");
        EXPECT_EQ(r.rc, s.rc) << what << ": " << r.err;
        if (!s.ids.empty()) {
            EXPECT_EQ(ListedIds(r.out), s.ids) << what << ": " << r.out;
        }
    }
    // A message holding a tab stays one record of the list.
    auto r = RunCli(dir.Path(), {"outbox", "list", "--find", "cols"});
    EXPECT_NE(r.out.find("\t\"two\tcols\"\n"), std::string::npos) << r.out;

    TempDir empty;
    r = RunCli(empty.Path(), {"outbox", "export", empty.Path() + "/x.txt"});
    EXPECT_EQ(r.rc, 1);
    EXPECT_NE(r.err.find("There is nothing to export"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace quillon
