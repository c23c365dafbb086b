// An in-process gateway component for the binding and session tests: it knows the names it is given
// (in any letter case; ids from 100 up, so 0 is never a real member), records every lookup and call,
// keeps properties in a map and answers each method as scripted.
#pragma once

#include <cctype>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "gateway/GatewayApi.h"

namespace quillon::test {

class FakeComponent : public IDispatchObject {
public:
    // A method's answer: its text result, the smsERROR it leaves and the call's status. A negative
    // status answers nothing and leaves smsERROR alone.
    struct Answer {
        std::string reply;
        int32_t error = 0;
        int32_t status = kDispOk;
    };
    struct Invocation {
        std::string name;
        InvokeKind kind;
        std::vector<Variant> argsLastFirst;
    };

    static std::vector<std::string> AllNames() {
        auto names = GatewayApi::MethodNames();
        auto props = GatewayApi::PropertyNames();
        names.insert(names.end(), props.begin(), props.end());
        return names;
    }

    explicit FakeComponent(const std::vector<std::string>& names = AllNames()) {
        DispId next = 100;
        for (const auto& n : names) {
            ids_[Lower(n)] = next;
            names_[next++] = n;
        }
    }

    int32_t GetIDsOfNames(const std::string& name, DispId& id) override {
        std::lock_guard<std::mutex> g(lock_);
        asked.push_back(name);
        auto it = ids_.find(Lower(name));
        if (it == ids_.end())
            return kDispUnknownName;
        id = it->second;
        return kDispOk;
    }

    int32_t Invoke(DispId id, InvokeKind kind, const std::vector<Variant>& args, Variant* result) override {
        std::lock_guard<std::mutex> g(lock_);
        auto it = names_.find(id);
        if (it == names_.end())
            return kDispMemberNotFound;
        const std::string& name = it->second;
        invocations.push_back({name, kind, args});
        if (kind == InvokeKind::PropertyPut) {
            properties[name] = args.at(0);
            return kDispOk;
        }
        if (kind == InvokeKind::PropertyGet) {
            auto p = properties.find(name);
            *result = p != properties.end() ? p->second
                      : name == "smsERROR"  ? Variant::FromLong(0)
                                            : Variant::FromText("");
            return kDispOk;
        }
        auto scripted = script.find(name);
        const Answer& a = scripted != script.end() ? scripted->second : fallback;
        if (a.status < 0)
            return a.status;
        // Echoing the first argument lets a test tell whose call an smsERROR read judged.
        properties["smsERROR"] = Variant::FromLong(echoFirstArgToError && !args.empty() ? args.back().number : a.error);
        *result = nonText.kind != Variant::Kind::Empty ? nonText : Variant::FromText(a.reply);
        return a.status;
    }

    // The methods called, in order.
    std::vector<std::string> Calls() const {
        std::vector<std::string> out;
        for (const auto& i : invocations)
            if (i.kind == InvokeKind::Method)
                out.push_back(i.name);
        return out;
    }
    // The arguments of the last call of `method`, first-first; empty when it was not called.
    std::vector<Variant> LastArgs(const std::string& method) const {
        for (auto i = invocations.rbegin(); i != invocations.rend(); ++i)
            if (i->kind == InvokeKind::Method && i->name == method)
                return {i->argsLastFirst.rbegin(), i->argsLastFirst.rend()};
        return {};
    }
    void SetError(int32_t error) { properties["smsERROR"] = Variant::FromLong(error); }

    std::vector<std::string> asked;
    std::vector<Invocation> invocations;
    std::map<std::string, Variant> properties;
    std::map<std::string, Answer> script;
    Answer fallback;  // for methods without a script
    Variant nonText;  // when not Empty, every method's result instead of the scripted text
    bool echoFirstArgToError = false;

private:
    static std::string Lower(std::string s) {
        for (char& c : s)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return s;
    }

    std::mutex lock_;
    std::map<std::string, DispId> ids_;
    std::map<DispId, std::string> names_;
};

}  // namespace quillon::test
