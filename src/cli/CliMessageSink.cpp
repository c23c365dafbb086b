#include "cli/CliMessageSink.h"

#include <iostream>
#include <string>

#include "core/StringIds.h"
#include "core/StringTable.h"

namespace quillon::cli {

CliMessageSink::CliMessageSink(std::ostream& out) : out_(out) {}

void CliMessageSink::WentOffLine() {
    Print("", LoadResourceString(kTextWentOffLine));
    std::lock_guard<std::mutex> guard(lock_);
    offLine_ = true;
}

void CliMessageSink::CancellationsRefused(int count) {
    Print(LoadResourceString(kTextErrorCaption), FormatResourceString(kIdCancellationsRefused, {count}));
}

void CliMessageSink::ShowCommunicationFailure() {
    Print(LoadResourceString(kIdLoginFailedCaption), LoadResourceString(kIdServerUnreachable));
}

bool CliMessageSink::ReportedOffLine() const {
    std::lock_guard<std::mutex> guard(lock_);
    return offLine_;
}

void CliMessageSink::Print(const std::string& caption, const std::string& text) {
    std::string line = "quillon-cli: ";
    if (!caption.empty())
        line += caption + " ";
    for (char c : text)
        line += c == '\n' ? ' ' : c;
    std::lock_guard<std::mutex> guard(lock_);
    out_ << line << std::endl;
}

CliMessageSink& TheCliMessageSink() {
    static CliMessageSink sink(std::cerr);
    return sink;
}

}  // namespace quillon::cli
