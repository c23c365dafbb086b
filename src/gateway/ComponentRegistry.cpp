#include "gateway/ComponentRegistry.h"

namespace quillon {

ComponentRegistry& ComponentRegistry::Instance() {
    static ComponentRegistry registry;
    return registry;
}

std::vector<ComponentRegistration> ComponentRegistry::ParseRegistrationText(const std::string&, const std::string&,
                                                                            int*) {
    return {};
}
bool ComponentRegistry::ReadRegistrationFile(const std::string&, std::vector<ComponentRegistration>&) {
    return false;
}
std::vector<std::string> ComponentRegistry::RegistrationFileCandidates() {
    return {};
}
std::string ComponentRegistry::FindRegistrationFile() {
    return {};
}
std::string ComponentRegistry::LibraryFor(const std::string&) const {
    return {};
}
ComponentHandle ComponentRegistry::CreateObject(const std::string&, std::string*) {
    return nullptr;
}
ComponentHandle ComponentRegistry::CreateObjectFromLibrary(const std::string&, const std::string&, std::string*) {
    return nullptr;
}
void ComponentRegistry::RegisterFactoryForTesting(const std::string&, Factory) {}
void ComponentRegistry::UnregisterFactoryForTesting(const std::string&) {}

}  // namespace quillon
