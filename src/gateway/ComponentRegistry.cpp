#include "gateway/ComponentRegistry.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "core/AppLog.h"
#include "core/DataPath.h"
#include "core/FileUtil.h"
#include "core/PrivateFiles.h"
#include "core/TestSeams.h"
#include "core/TextUtil.h"

namespace quillon {

namespace {

constexpr const char* kRegistrationFileName = "components.conf";

std::string ExecutableFolder() {
    char buffer[4096];
    ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
    if (n <= 0)
        return {};
    buffer[n] = '\0';
    return FolderOf(buffer);
}

// Keeps a library loaded while an object created from it lives.
struct LibraryHandle {
    void* handle = nullptr;
    ~LibraryHandle() {
        if (handle)
            ::dlclose(handle);
    }
};

}  // namespace

ComponentRegistry& ComponentRegistry::Instance() {
    static ComponentRegistry registry;
    return registry;
}

std::vector<ComponentRegistration> ComponentRegistry::ParseRegistrationText(const std::string& text,
                                                                            const std::string& baseDir, int* badLines) {
    std::vector<ComponentRegistration> entries;
    int bad = 0;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        std::string trimmed = Trim(line);
        if (trimmed.empty() || trimmed[0] == '#')
            continue;
        size_t eq = trimmed.find('=');
        if (eq == std::string::npos) {
            ++bad;
            continue;
        }
        ComponentRegistration entry{Trim(trimmed.substr(0, eq)), Trim(trimmed.substr(eq + 1))};
        if (entry.progId.empty() || entry.path.empty()) {
            ++bad;
            continue;
        }
        if (entry.path[0] != '/' && !baseDir.empty())
            entry.path = baseDir + "/" + entry.path;
        bool replaced = false;
        for (auto& existing : entries) {
            if (EqualsIgnoreCase(existing.progId, entry.progId)) {
                existing = entry;
                replaced = true;
            }
        }
        if (!replaced)
            entries.push_back(std::move(entry));
    }
    if (badLines)
        *badLines = bad;
    return entries;
}

bool ComponentRegistry::ReadRegistrationFile(const std::string& path, std::vector<ComponentRegistration>& entries) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad())
        return false;
    entries = ParseRegistrationText(text.str(), FolderOf(path));
    return true;
}

std::vector<std::string> ComponentRegistry::RegistrationFileCandidates() {
    std::vector<std::string> candidates;
    if (const char* env = std::getenv("QUILLON_COMPONENTS"); env && *env)
        candidates.push_back(env);
    std::string exeFolder = ExecutableFolder();
    if (!exeFolder.empty())
        candidates.push_back(exeFolder + "/" + kRegistrationFileName);
    if (!DataDirectory().empty())
        candidates.push_back(DataFile(kRegistrationFileName));
    return candidates;
}

std::string ComponentRegistry::FindRegistrationFile() {
    for (const auto& candidate : RegistrationFileCandidates()) {
        if (!FileExists(candidate, FileKind::kRegular))
            continue;
        // The file names libraries that get loaded into this process: one that others could have
        // written would run their code as this user.
        if (WritableByOthers(candidate)) {
            LogLine("Security: %s is skipped: other users can change it or its folder", candidate.c_str());
            continue;
        }
        return candidate;
    }
    return {};
}

std::string ComponentRegistry::LibraryFor(const std::string& progId) const {
    std::string file = FindRegistrationFile();
    if (file.empty())
        return {};
    std::vector<ComponentRegistration> entries;
    if (!ReadRegistrationFile(file, entries))
        return {};
    const std::string wanted = AsciiUpper(progId);
    for (const auto& entry : entries)
        if (AsciiUpper(entry.progId) == wanted)
            return entry.path;
    return {};
}

ComponentHandle ComponentRegistry::CreateObject(const std::string& progId, std::string* error) {
    Factory factory;
    {
        std::lock_guard<std::mutex> guard(lock_);
        auto it = factories_.find(AsciiUpper(progId));
        if (it != factories_.end())
            factory = it->second;
    }
    if (factory) {
        IDispatchObject* object = factory();
        if (!object) {
            if (error)
                *error = "the test factory for " + progId + " created no object";
            return nullptr;
        }
        return ComponentHandle(object);
    }
    std::string library = LibraryFor(progId);
    if (library.empty()) {
        if (error) {
            std::string file = FindRegistrationFile();
            *error = file.empty() ? "no component registration file (" + std::string(kRegistrationFileName) + ") found"
                                  : progId + " is not registered in " + file;
        }
        return nullptr;
    }
    return CreateObjectFromLibrary(library, progId, error);
}

ComponentHandle ComponentRegistry::CreateObjectFromLibrary(const std::string& libraryPath, const std::string& progId,
                                                           std::string* error) {
    // A bare name is looked up in the system's library folders.
    if (libraryPath.find('/') != std::string::npos && WritableByOthers(libraryPath)) {
        LogLine("Security: %s is not loaded: other users can change it or its folder", libraryPath.c_str());
        if (error)
            *error = libraryPath + " is not loaded: other users can change it or its folder";
        return nullptr;
    }
    auto library = std::make_shared<LibraryHandle>();
    library->handle = ::dlopen(libraryPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library->handle) {
        if (error) {
            const char* why = ::dlerror();
            *error = "cannot load " + libraryPath + ": " + (why ? why : "unknown error");
        }
        return nullptr;
    }
    ::dlerror();
    void* symbol = ::dlsym(library->handle, kCreateObjectSymbol);
    if (!symbol) {
        if (error)
            *error = libraryPath + " does not export " + kCreateObjectSymbol;
        return nullptr;
    }
    auto create = reinterpret_cast<QuillonCreateObjectFn>(symbol);
    IDispatchObject* object = create(progId.c_str());
    if (!object) {
        if (error)
            *error = libraryPath + " does not serve " + progId;
        return nullptr;
    }
    // The deleter owns a reference to the library, so the object's code stays mapped until it is gone.
    return ComponentHandle(object, [library](IDispatchObject* o) { delete o; });
}

void TestSeams::RegisterComponentFactory(ComponentRegistry& registry, const std::string& progId,
                                         std::function<IDispatchObject*()> factory) {
    std::lock_guard<std::mutex> guard(registry.lock_);
    registry.factories_[AsciiUpper(progId)] = std::move(factory);
}

void TestSeams::UnregisterComponentFactory(ComponentRegistry& registry, const std::string& progId) {
    std::lock_guard<std::mutex> guard(registry.lock_);
    registry.factories_.erase(AsciiUpper(progId));
}

}  // namespace quillon
