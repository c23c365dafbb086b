// The command line's MessageSink: what the desktop shows in a message box is written to standard
// error instead, so a headless run is never silent about a failure. Everything else is dropped.
#pragma once

#include <mutex>
#include <ostream>

#include "gateway/MessageSink.h"

namespace quillon::cli {

class CliMessageSink : public NullMessageSink {
public:
    explicit CliMessageSink(std::ostream& out);

    void WentOffLine() override;
    void CancellationsRefused(int count) override;
    void ShowCommunicationFailure() override;

    // Whether WentOffLine was reported (the run's end need not say it again).
    bool ReportedOffLine() const;

private:
    // One line "quillon-cli: CAPTION TEXT" (line breaks of the text become blanks).
    void Print(const std::string& caption, const std::string& text);

    mutable std::mutex lock_;  // the worker thread and the main thread both report
    std::ostream& out_;
    bool offLine_ = false;
};

// The sink of this process's command-line runs, writing to standard error.
CliMessageSink& TheCliMessageSink();

}  // namespace quillon::cli
