// Hooks that only the tests and benchmarks use; the program never calls them. The classes they
// reach name TestSeams a friend instead of growing public operations for them. Each layer defines
// the hooks into its own classes (the gateway's in gateway/GatewayApi.cpp, ComponentRegistry.cpp and
// SendEngine.cpp).
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "core/CrashReport.h"

namespace quillon {

class ComponentRegistry;
class GatewayApi;
class IDispatchObject;
class SendEngine;

struct TestSeams {
    // The process-wide gateway binding: forgotten (the next GatewayApi::Instance() creates it again;
    // holders of a handle keep their object alive), or replaced by one built over a fake component.
    static void ResetGatewayInstance();
    static void SetGatewayInstance(std::shared_ptr<GatewayApi> handle);

    // In-process components; they take precedence over the registration file.
    static void RegisterComponentFactory(ComponentRegistry& registry, const std::string& progId,
                                         std::function<IDispatchObject*()> factory);
    static void UnregisterComponentFactory(ComponentRegistry& registry, const std::string& progId);

    // A fault of this kind happens inside the next message the engine handles, with the worker lock
    // and the store's lock held. Cleared once it fired.
    static void InjectFault(SendEngine& engine, InjectedFault kind);
    // The next group of results written beside a grouped send pass faults inside its transaction.
    static void InjectWriteFault(SendEngine& engine, InjectedFault kind);
};

}  // namespace quillon
