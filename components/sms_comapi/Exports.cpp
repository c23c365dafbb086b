// The library's one exported entry: creates the component object for its ProgID.
#include <cstring>

#include "gateway/Dispatch.h"

extern "C" __attribute__((visibility("default"))) quillon::IDispatchObject* QuillonCreateObject(const char* progId) {
    (void)progId;
    return nullptr;
}
