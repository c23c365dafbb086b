// Client references: the key under which the gateway remembers one submission to one recipient, so
// that sending it again (after a lost reply, a timeout or a restart) is answered with the first
// result instead of a second message. A reference is "<installation id>-<row ID>-<position in the
// row's To list>"; a child row that inherits a recipient of its parent carries the parent's
// reference in its ApiMsgID as ",REF: <reference>" until it is sent.
#pragma once

#include <cstdint>
#include <string>

namespace quillon {

std::string MakeClientReference(const std::string& installationId, int32_t rowId, size_t position);

// The ApiMsgID of a row waiting to be sent under an inherited reference, and back ("" when the
// text holds none).
std::string ReferenceApiText(const std::string& reference);
std::string ReferenceOfApiText(const std::string& apiMsgId);

// A number as it goes to the gateway: blanks, dashes, dots and brackets removed.
std::string NormaliseNumber(const std::string& number);

// The word after "Ref:" in a reply ("" when there is none).
std::string EchoedReference(const std::string& reply);

// How one submission ended, from smsERROR: accepted; refused by the gateway (it handled the request
// and said no); or unknown (no reply, a server error, an unreadable reply, a lost session, a call the
// binding could not make): the gateway may or may not have sent it.
enum class SubmitOutcome { Accepted, Refused, Unknown };
SubmitOutcome ClassifyError(int32_t error);

}  // namespace quillon
