// The library's one exported entry: creates the component object for its ProgID.
#include <cctype>
#include <cstring>

#include "SmsComApi.h"

extern "C" __attribute__((visibility("default"))) quillon::IDispatchObject* QuillonCreateObject(const char* progId) {
    if (!progId || strcasecmp(progId, "SMS_COMAPI.SMS") != 0)
        return nullptr;
    try {
        return new quillon::comapi::SmsComApi();
    } catch (...) {
        return nullptr;
    }
}
