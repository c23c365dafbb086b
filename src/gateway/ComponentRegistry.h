// Creates component objects by ProgID from registered shared libraries.
//
// Registration file `components.conf`: one line per component, `PROGID = PATH`; blank lines and lines
// starting with '#' are ignored, a relative PATH is relative to the folder of the file. The file in
// use is the first that exists of: the file named by QUILLON_COMPONENTS, `components.conf` beside the
// running executable, `components.conf` in the data directory.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "gateway/Dispatch.h"

namespace quillon {

struct ComponentRegistration {
    std::string progId;
    std::string path;  // absolute, or as written when the file's folder is unknown
};

// An object created by the registry. Destroying the last handle deletes the object and then lets
// its library go.
using ComponentHandle = std::shared_ptr<IDispatchObject>;

class ComponentRegistry {
public:
    using Factory = std::function<IDispatchObject*()>;

    static ComponentRegistry& Instance();

    // Parses registration text. Lines that are neither blank, a comment nor `PROGID = PATH` are
    // skipped and counted in `badLines` when given. A later line for the same ProgID wins.
    static std::vector<ComponentRegistration> ParseRegistrationText(const std::string& text, const std::string& baseDir,
                                                                    int* badLines = nullptr);
    // Reads and parses a registration file; false when it cannot be read.
    static bool ReadRegistrationFile(const std::string& path, std::vector<ComponentRegistration>& entries);

    // The candidate registration files in lookup order, and the first of them that exists ("" when none).
    static std::vector<std::string> RegistrationFileCandidates();
    static std::string FindRegistrationFile();

    // The library registered for a ProgID (compared without regard to case); "" when none.
    std::string LibraryFor(const std::string& progId) const;

    // Creates an object: a test factory for the ProgID if one is registered, otherwise the library
    // named by the registration file. Null on failure, with the reason in `error` when given.
    ComponentHandle CreateObject(const std::string& progId, std::string* error = nullptr);
    // The same from an explicit library path.
    static ComponentHandle CreateObjectFromLibrary(const std::string& libraryPath, const std::string& progId,
                                                   std::string* error = nullptr);

private:
    friend struct TestSeams;  // registers in-process components
    ComponentRegistry() = default;

    mutable std::mutex lock_;
    std::map<std::string, Factory> factories_;  // key: upper-case ProgID
};

}  // namespace quillon
