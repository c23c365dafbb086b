// The passwords of the settings (account, proxy, address-book profile) in the desktop session's
// keyring, reached over the Secret Service through libsecret. Each secret is filed under its settings
// key and the data directory, so the desktop program and quillon-cli on one data directory share them.
#pragma once

#include <string>
#include <vector>

namespace quillon {

// The settings keys whose values are secrets.
const std::vector<std::string>& SecretSettingKeys();

// Whether a Secret Service answers in this session. Asked once per process (ResetSecretStore asks
// again). False when built without libsecret, without a session bus, or with QUILLON_KEYRING=off.
bool SecretStoreAvailable();
void ResetSecretStore();

// Stores, reads and removes the secret of `key` for the data directory `dataDir`. False when the
// keyring cannot do it; Lookup also gives false when nothing is stored.
bool StoreSecret(const std::string& dataDir, const std::string& key, const std::string& value);
bool LookupSecret(const std::string& dataDir, const std::string& key, std::string& value);
bool ClearSecret(const std::string& dataDir, const std::string& key);

}  // namespace quillon
