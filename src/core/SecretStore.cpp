#include "core/SecretStore.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

#ifdef QUILLON_HAVE_LIBSECRET
#include <libsecret/secret.h>
#endif

namespace quillon {

namespace {

// 0 not asked yet, 1 available, 2 not available.
std::atomic<int> g_available{0};

#ifdef QUILLON_HAVE_LIBSECRET
const SecretSchema* Schema() {
    static const SecretSchema schema = {"org.quillon.Password",
                                        SECRET_SCHEMA_NONE,
                                        {
                                            {"setting", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                            {"data-dir", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                            {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING},
                                        },
                                        0,
                                        nullptr,
                                        nullptr,
                                        nullptr,
                                        nullptr,
                                        nullptr,
                                        nullptr,
                                        nullptr};
    return &schema;
}

bool Failed(GError* error) {
    if (!error)
        return false;
    g_error_free(error);
    return true;
}

bool Probe() {
    const char* off = std::getenv("QUILLON_KEYRING");
    if (off && std::strcmp(off, "off") == 0)
        return false;
    // Without a session bus GLib would try to start one for the X display: no keyring then.
    const char* bus = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (!bus || !*bus)
        return false;
    GError* error = nullptr;
    gchar* found = secret_password_lookup_sync(Schema(), nullptr, &error, "setting", "probe", "data-dir", "", nullptr);
    if (found)
        secret_password_free(found);
    return !Failed(error);
}
#endif

}  // namespace

const std::vector<std::string>& SecretSettingKeys() {
    static const std::vector<std::string> keys = {"Password", "ProxyPassword", "Outlook_Password"};
    return keys;
}

bool SecretStoreAvailable() {
#ifdef QUILLON_HAVE_LIBSECRET
    int state = g_available.load();
    if (state == 0) {
        state = Probe() ? 1 : 2;
        g_available.store(state);
    }
    return state == 1;
#else
    return false;
#endif
}

void ResetSecretStore() {
    g_available.store(0);
}

bool StoreSecret(const std::string& dataDir, const std::string& key, const std::string& value) {
#ifdef QUILLON_HAVE_LIBSECRET
    if (!SecretStoreAvailable())
        return false;
    const std::string label = "Quillon " + key + " (" + dataDir + ")";
    GError* error = nullptr;
    gboolean stored =
        secret_password_store_sync(Schema(), SECRET_COLLECTION_DEFAULT, label.c_str(), value.c_str(), nullptr, &error,
                                   "setting", key.c_str(), "data-dir", dataDir.c_str(), nullptr);
    return !Failed(error) && stored;
#else
    (void)dataDir, (void)key, (void)value;
    return false;
#endif
}

bool LookupSecret(const std::string& dataDir, const std::string& key, std::string& value) {
#ifdef QUILLON_HAVE_LIBSECRET
    if (!SecretStoreAvailable())
        return false;
    GError* error = nullptr;
    gchar* found = secret_password_lookup_sync(Schema(), nullptr, &error, "setting", key.c_str(), "data-dir",
                                               dataDir.c_str(), nullptr);
    if (Failed(error) || !found)
        return false;
    value = found;
    secret_password_free(found);
    return true;
#else
    (void)dataDir, (void)key, (void)value;
    return false;
#endif
}

bool ClearSecret(const std::string& dataDir, const std::string& key) {
#ifdef QUILLON_HAVE_LIBSECRET
    if (!SecretStoreAvailable())
        return false;
    GError* error = nullptr;
    secret_password_clear_sync(Schema(), nullptr, &error, "setting", key.c_str(), "data-dir", dataDir.c_str(), nullptr);
    return !Failed(error);
#else
    (void)dataDir, (void)key;
    return false;
#endif
}

}  // namespace quillon
