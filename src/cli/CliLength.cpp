// quillon-cli length [--span on|off] [--show-text] TEXT
#include <iostream>
#include <string>
#include <vector>

#include "cli/CliCommand.h"
#include "compose/MessageLength.h"
#include "core/AppSettings.h"

namespace quillon::cli {

namespace {

int RunLength(CliContext&, std::vector<std::string>& args) {
    bool spanSms = Settings().SpanSMS;
    std::string span;
    if (TakeOption(args, "--span", span)) {
        if (span == "on" || span == "1")
            spanSms = true;
        else if (span == "off" || span == "0")
            spanSms = false;
        else
            return UsageError("--span takes on or off");
    }
    const bool showText = TakeFlag(args, "--show-text");
    if (args.size() != 1)
        return UsageError("length takes exactly one TEXT (quote it)");
    const std::string& text = args[0];
    const LengthState state = CountMessageLength(text, CharacterCount(text), spanSms, false);
    std::cout << state.counterText << "\n";
    if (showText)
        std::cout << state.text << "\n";
    return kOk;
}

CliRegistrar registrar({"length", "weighted length and SMS parts of a message text",
                        "usage: quillon-cli length [--span on|off] [--show-text] TEXT\n\n"
                        "Prints the counter the compose pane shows for TEXT: the weighted length in SMS\n"
                        "characters and the number of SMS parts, as \"w (p)\". Characters the GSM alphabet\n"
                        "carries only through its escape ([ \\ ] ^ { | } ~, form feed, euro sign) count 2.\n"
                        "Without long messages (SpanSMS off) a text whose weight passes 160 because of such\n"
                        "characters is cut as typing would cut it, and the counter shows what is kept.\n\n"
                        "  --span on|off   long messages allowed or not (default: the SpanSMS setting)\n"
                        "  --show-text     print the text as kept on a second line\n",
                        RunLength, false});

}  // namespace

}  // namespace quillon::cli
