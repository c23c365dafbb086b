// Late binding of a component by member name: the dispatch-object interface that a component
// library exports and GatewayApi drives. Plain C++ with no exceptions across the boundary, so a
// component may be built separately from the program.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quillon {

// The argument and result kinds of a late-bound call.
struct Variant {
    enum class Kind : uint8_t { Empty, Text, Long, Bool, Byte };

    Kind kind = Kind::Empty;
    std::string text;    // UTF-8 (Text)
    int32_t number = 0;  // Long, Byte (0..255), Bool (-1 true, 0 false as the automation convention stores it)

    static Variant FromText(std::string t) {
        Variant v;
        v.kind = Kind::Text;
        v.text = std::move(t);
        return v;
    }
    static Variant FromLong(int32_t n) {
        Variant v;
        v.kind = Kind::Long;
        v.number = n;
        return v;
    }
    static Variant FromBool(bool b) {
        Variant v;
        v.kind = Kind::Bool;
        v.number = b ? -1 : 0;
        return v;
    }
    static Variant FromByte(uint8_t b) {
        Variant v;
        v.kind = Kind::Byte;
        v.number = b;
        return v;
    }
    bool AsBool() const { return number != 0; }
};

using DispId = int32_t;

// Status codes of a call (negative = the call itself failed).
constexpr int32_t kDispOk = 0;
constexpr int32_t kDispFail = -2147467259;            // 0x80004005, the generic failure
constexpr int32_t kDispUnknownName = -2147352570;     // 0x80020006
constexpr int32_t kDispMemberNotFound = -2147352573;  // 0x80020003
constexpr int32_t kDispBadParamCount = -2147352562;   // 0x8002000E
constexpr int32_t kDispTypeMismatch = -2147352571;    // 0x80020005

enum class InvokeKind : uint8_t { Method, PropertyGet, PropertyPut };

// A component object. Arguments are passed last-first, as the automation convention stores them.
class IDispatchObject {
public:
    virtual ~IDispatchObject() = default;
    // Looks a member name up (case-insensitive); kDispUnknownName when the object has no such member.
    virtual int32_t GetIDsOfNames(const std::string& name, DispId& id) = 0;
    // Calls a method, reads or writes a property. `result` may be null for PropertyPut.
    virtual int32_t Invoke(DispId id, InvokeKind kind, const std::vector<Variant>& argsLastFirst, Variant* result) = 0;
};

// Every component library exports this C function: it creates one object for the ProgID,
// or returns null when the library does not serve that ProgID.
extern "C" {
typedef IDispatchObject* (*QuillonCreateObjectFn)(const char* progId);
}
constexpr const char* kCreateObjectSymbol = "QuillonCreateObject";

}  // namespace quillon
