// quillon-cli length [--span on|off] [--kind N] [--explain] [--show-text] (TEXT | --file PATH)
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "cli/CliCommand.h"
#include "compose/HexImport.h"
#include "compose/MessageLength.h"
#include "core/AppSettings.h"
#include "store/MessageType.h"

namespace quillon::cli {

namespace {

const char* AlphabetName(SmsAlphabet alphabet) {
    switch (alphabet) {
        case SmsAlphabet::kGsm7:
            return "GSM 7-bit (septets)";
        case SmsAlphabet::kUcs2:
            return "UCS-2 (UTF-16 units)";
        case SmsAlphabet::kData:
            return "8-bit data (octets)";
    }
    return "";
}

std::string CodePointName(uint32_t cp) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "U+%04X", cp);
    return buffer;
}

int RunLength(CliContext&, std::vector<std::string>& args) {
    bool spanSms = Settings().SpanSMS;
    std::string span, kindText, file;
    if (TakeOption(args, "--span", span)) {
        if (span == "on" || span == "1")
            spanSms = true;
        else if (span == "off" || span == "0")
            spanSms = false;
        else
            return UsageError("--span takes on or off");
    }
    int32_t kind = 0;
    const bool haveKind = TakeOption(args, "--kind", kindText);
    if (haveKind) {
        long long k = 0;
        if (!ParseInt(kindText, k) || k < 0 || k >= kMessageTypeCount)
            return UsageError("--kind takes a message kind 0 .. 8");
        kind = static_cast<int32_t>(k);
    }
    const bool haveFile = TakeOption(args, "--file", file);
    const bool showText = TakeFlag(args, "--show-text");
    const bool explain = TakeFlag(args, "--explain");
    std::string text;
    if (haveFile) {
        if (!args.empty())
            return UsageError("--file takes the place of TEXT");
        if (!haveKind)
            kind = static_cast<int32_t>(MessageType::NokiaVCard);
        HexImportFailure failure{};
        if (!ImportFileAsHex(file, text, failure))
            return Failure(HexImportFailureText(file, failure));
    } else {
        if (args.size() != 1)
            return UsageError("length takes exactly one TEXT (quote it)");
        text = args[0];
    }
    // The text as a single edit of an empty text box: the pane would keep what fits.
    LengthState state = CountMessageLength("", text, CharacterCount(text), kind, spanSms, false);
    if (state.refused) {
        // A file is never cut: show what it would take, and fail.
        state = RecountMessageLength(text, kind, spanSms, false);
        state.refused = true;
    }
    std::cout << state.counterText << "\n";
    if (explain) {
        std::cout << "alphabet: " << AlphabetName(state.count.alphabet) << "\n";
        std::cout << "units: " << state.count.units << " (one SMS " << SmsSingleUnits(state.count.alphabet) << ", "
                  << SmsPartUnits(state.count.alphabet) << " per part, at most " << MaxParts(spanSms) << " part(s))\n";
        if (state.refused)
            std::cout << "refused: longer than the limit\n";
        else if (state.cut)
            std::cout << "cut: the text beyond the limit is dropped\n";
        if (!state.nonGsm.empty()) {
            std::cout << "forcing UCS-2:";
            for (uint32_t cp : state.nonGsm)
                std::cout << " " << Utf8Of(cp) << " (" << CodePointName(cp) << ")";
            std::cout << "\n";
        }
    }
    if (showText)
        std::cout << state.text << "\n";
    return state.refused ? kFailure : kOk;
}

CliRegistrar registrar({"length", "network length and SMS parts of a message",
                        "usage: quillon-cli length [--span on|off] [--kind N] [--explain] [--show-text]\n"
                        "                          (TEXT | --file PATH)\n\n"
                        "Prints the counter the compose pane shows, \"w (p)\": the length in the units the\n"
                        "network counts and the number of SMS parts. Text and Flash go as GSM 7-bit when\n"
                        "every character is in the GSM alphabet (160 in one SMS, 153 per part; [ \\ ] ^ { | } ~,\n"
                        "form feed and the euro sign count 2), otherwise as UCS-2 (70, 67 per part; a character\n"
                        "beyond U+FFFF counts 2). Unicode always goes as UCS-2; vCard and vCal files as 8-bit\n"
                        "data (140 octets, 134 per part). Without long messages (SpanSMS off) a message is one\n"
                        "SMS; with them at most 3 parts. A text beyond that is cut as typing would cut it.\n\n"
                        "  --span on|off   long messages allowed or not (default: the SpanSMS setting)\n"
                        "  --kind N        message kind: 0 Text (default), 1 Flash, 2 Unicode, 6 vCard, 7 vCal\n"
                        "  --file PATH     count a file as its kind sends it (default kind 6); a file beyond\n"
                        "                  the limit is refused (exit status 1)\n"
                        "  --explain       also print the alphabet, the units and the characters forcing UCS-2\n"
                        "  --show-text     print the text as kept on a last line\n",
                        RunLength, false});

}  // namespace

}  // namespace quillon::cli
