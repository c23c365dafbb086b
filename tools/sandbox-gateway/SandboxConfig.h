// The sandbox gateway's accounts, vouchers and behaviour: a built-in default, a configuration file,
// and command-line overrides.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quillon::sandbox {

// Credits are kept in thousandths so that charges add up exactly.
using Millis = int64_t;

struct SandboxAccount {
    std::string user;
    std::string password;
    std::string email;
    Millis credit = 0;
};

struct SandboxVoucher {
    std::string code;
    Millis amount = 0;
};

// A file served at /files/NAME (version files, update packages, branding images for the client's
// online services): its bytes, or a redirect, optionally paced or cut short.
struct SandboxFile {
    std::string name;
    std::string source;    // local file, read at each request
    std::string redirect;  // non-empty: answered with 302 to this URL instead
    int paceMs = 0;        // pause after every 1 KiB block
    size_t cutAfter = 0;   // non-zero: the connection closes after this many bytes of the body
};

struct SandboxConfig {
    std::vector<SandboxAccount> accounts;
    std::vector<SandboxVoucher> vouchers;
    std::string clientId;        // empty: any client id is accepted
    int queuedAfter = 2;         // seconds after acceptance (or the delivery time) to state 002
    int gatewayAfter = 5;        // ... to state 003
    int deliveredAfter = 10;     // ... to state 004
    int sessionIdle = 1800;      // seconds a session lives without use
    Millis pricePerPart = 1000;  // one credit per SMS part
    int maxParts = 16;           // longest concatenated message, in parts
    std::string idSuffix;        // test-only: a word after every message id reply, making it longer
    int maxBatchNumbers = 1000;  // numbers in one quicksend call
    size_t maxRequestBytes = 64 * 1024;
    int threads = 16;
    std::vector<SandboxFile> files;
};

// The configuration used when no file is given: account demo/demo with 100 credits and three vouchers.
SandboxConfig DefaultConfig();

// Reads a configuration file over `config` (see --help for its format). False with a message
// naming the line on a malformed file.
bool LoadConfigFile(const std::string& path, SandboxConfig& config, std::string& error);

// "12.5" -> 12500; false for anything but a non-negative decimal with up to three decimals.
bool ParseCredits(const std::string& text, Millis& out);
// 12500 -> "12.5", 100000 -> "100.0".
std::string FormatCredits(Millis amount);

}  // namespace quillon::sandbox
