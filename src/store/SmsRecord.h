// One outbox message: a row of the SMS table, its 15 properties in stored order.
#pragma once

#include <cstdint>
#include <string>

namespace quillon {

struct SmsRecord {
    int32_t ID = 0;         // from the NextSMSID counter; the table's key
    int32_t Time = 0;       // seconds since 1970 UTC: added at, or due at for a scheduled message
    int32_t Stat = 0;       // MessageStatus code
    int32_t Type = 0;       // MessageType code
    int32_t RefID = 0;      // the message this row descends from (its own ID when added without one)
    std::string To;         // recipient list: ",", then numbers or "A<CID>" separated by ","
    std::string ToInfo;     // display text of To (BuildToInfo), at most 127 bytes
    std::string Msg;        // text, or hexadecimal content of a binary kind
    std::string ApiMsgID;   // ",ID: <32 chars>[|number]" per gateway identifier; empty until accepted
    int32_t SavedStat = 0;  // Stat before the user opened the message for editing
    std::string SenderID;   // sender identity; empty for the account's default
    int32_t Delay = 0;      // seconds before Time at which the gateway gets it (whole days); 0 = not server-scheduled
    int32_t QueryTime = 0;  // current status-query interval in seconds; 0 = no automatic polling
    int32_t StatQryTm = 0;  // when the next status query is due (seconds since 1970 UTC)
    std::string Charge;     // charge as the gateway reports it; "?" until known
};

constexpr size_t kMaxToInfoBytes = 127;

// A time of the store (seconds since 1970 UTC) in local time as string 1033 formats it:
// day/month/year hour:minute.
std::string FormatSmsTime(int32_t time);

}  // namespace quillon
