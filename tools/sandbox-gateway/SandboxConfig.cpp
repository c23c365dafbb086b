#include "SandboxConfig.h"

#include <cctype>
#include <fstream>
#include <sstream>

namespace quillon::sandbox {

SandboxConfig DefaultConfig() {
    SandboxConfig config;
    config.accounts.push_back({"demo", "demo", "demo@example.com", 100000});
    config.vouchers.push_back({"QLNVOUCHER000010", 10000});
    config.vouchers.push_back({"QLNVOUCHER000050", 50000});
    config.vouchers.push_back({"QLNVOUCHER000100", 100000});
    return config;
}

bool ParseCredits(const std::string& text, Millis& out) {
    if (text.empty() || text.size() > 15)
        return false;
    Millis whole = 0;
    Millis fraction = 0;
    int decimals = -1;
    for (char c : text) {
        if (c == '.') {
            if (decimals >= 0)
                return false;
            decimals = 0;
        } else if (isdigit(static_cast<unsigned char>(c))) {
            if (decimals < 0) {
                whole = whole * 10 + (c - '0');
            } else {
                if (++decimals > 3)
                    return false;
                fraction = fraction * 10 + (c - '0');
            }
        } else {
            return false;
        }
    }
    for (int d = decimals < 0 ? 0 : decimals; d < 3; ++d)
        fraction *= 10;
    out = whole * 1000 + fraction;
    return true;
}

std::string FormatCredits(Millis amount) {
    std::string sign = amount < 0 ? "-" : "";
    if (amount < 0)
        amount = -amount;
    std::string fraction = std::to_string(1000 + amount % 1000).substr(1);
    while (fraction.size() > 1 && fraction.back() == '0')
        fraction.pop_back();
    return sign + std::to_string(amount / 1000) + "." + fraction;
}

namespace {

bool ParseInt(const std::string& text, int minValue, int maxValue, int& out) {
    if (text.empty() || text.size() > 9)
        return false;
    for (char c : text) {
        if (!isdigit(static_cast<unsigned char>(c)))
            return false;
    }
    int value = std::stoi(text);
    if (value < minValue || value > maxValue)
        return false;
    out = value;
    return true;
}

// What a file has set so far: a file that names accounts or vouchers replaces the built-in ones
// of that kind.
struct FileState {
    bool ownAccounts = false;
    bool ownVouchers = false;
    std::string folder;  // relative file sources are read from the configuration file's folder
};

bool ValidFileName(const std::string& name) {
    if (name.empty() || name[0] == '.')
        return false;
    for (char c : name) {
        if (!isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '_' && c != '-')
            return false;
    }
    return true;
}

// file NAME SOURCE [pace=MS] [cut=BYTES]  |  redirect NAME URL
std::string TakeFile(const std::vector<std::string>& w, SandboxConfig& config, const FileState& state) {
    SandboxFile file;
    if (w[0] == "redirect") {
        if (w.size() != 3 || !ValidFileName(w[1]))
            return "expected: redirect NAME URL";
        file.name = w[1];
        file.redirect = w[2];
        config.files.push_back(file);
        return "";
    }
    if (w.size() < 3 || w.size() > 5 || !ValidFileName(w[1]))
        return "expected: file NAME SOURCE [pace=MS] [cut=BYTES]";
    file.name = w[1];
    file.source = w[2][0] == '/' || state.folder.empty() ? w[2] : state.folder + "/" + w[2];
    for (size_t i = 3; i < w.size(); ++i) {
        int value = 0;
        if (w[i].rfind("pace=", 0) == 0 && ParseInt(w[i].substr(5), 0, 60000, value)) {
            file.paceMs = value;
        } else if (w[i].rfind("cut=", 0) == 0 && ParseInt(w[i].substr(4), 1, 1000000000, value)) {
            file.cutAfter = static_cast<size_t>(value);
        } else {
            return "bad file option " + w[i];
        }
    }
    config.files.push_back(file);
    return "";
}

std::string TakeAccount(const std::vector<std::string>& w, SandboxConfig& config, FileState& state) {
    SandboxAccount account;
    if (w.size() < 4 || w.size() > 5)
        return "expected: account USER PASSWORD CREDIT [EMAIL]";
    account.user = w[1];
    account.password = w[2];
    if (!ParseCredits(w[3], account.credit))
        return "bad credit " + w[3];
    if (w.size() == 5)
        account.email = w[4];
    if (!state.ownAccounts)
        config.accounts.clear();
    state.ownAccounts = true;
    config.accounts.push_back(account);
    return "";
}

std::string TakeVoucher(const std::vector<std::string>& w, SandboxConfig& config, FileState& state) {
    SandboxVoucher voucher;
    if (w.size() != 3)
        return "expected: voucher CODE CREDIT";
    voucher.code = w[1];
    if (!ParseCredits(w[2], voucher.amount))
        return "bad credit " + w[2];
    if (!state.ownVouchers)
        config.vouchers.clear();
    state.ownVouchers = true;
    config.vouchers.push_back(voucher);
    return "";
}

// One line's words into the configuration; "" when they were good, else why not.
std::string TakeLine(const std::vector<std::string>& w, SandboxConfig& config, FileState& state) {
    const std::string& key = w[0];
    if (key == "account")
        return TakeAccount(w, config, state);
    if (key == "voucher")
        return TakeVoucher(w, config, state);
    if (key == "file" || key == "redirect")
        return TakeFile(w, config, state);
    if (key == "client-id") {
        if (w.size() != 2)
            return "expected: client-id ID";
        config.clientId = w[1] == "*" ? "" : w[1];
    } else if (key == "timeline") {
        if (w.size() != 4 || !ParseInt(w[1], 0, 86400, config.queuedAfter) ||
            !ParseInt(w[2], 0, 86400, config.gatewayAfter) || !ParseInt(w[3], 0, 86400, config.deliveredAfter) ||
            config.queuedAfter > config.gatewayAfter || config.gatewayAfter > config.deliveredAfter) {
            return "expected: timeline QUEUED GATEWAY DELIVERED (seconds, rising)";
        }
    } else if (key == "session-idle") {
        if (w.size() != 2 || !ParseInt(w[1], 1, 100000000, config.sessionIdle))
            return "expected: session-idle SECONDS";
    } else if (key == "part-price") {
        if (w.size() != 2 || !ParseCredits(w[1], config.pricePerPart))
            return "expected: part-price CREDIT";
    } else if (key == "max-parts") {
        if (w.size() != 2 || !ParseInt(w[1], 1, 255, config.maxParts))
            return "expected: max-parts N";
    } else if (key == "id-suffix") {
        if (w.size() != 2)
            return "expected: id-suffix WORD";
        config.idSuffix = w[1];
    } else {
        return "unknown keyword " + key;
    }
    return "";
}

}  // namespace

bool LoadConfigFile(const std::string& path, SandboxConfig& config, std::string& error) {
    std::ifstream in(path);
    if (!in) {
        error = "cannot read " + path;
        return false;
    }
    FileState state;
    if (size_t slash = path.rfind('/'); slash != std::string::npos)
        state.folder = path.substr(0, slash);
    std::string line;
    int lineNo = 0;
    while (std::getline(in, line)) {
        ++lineNo;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::istringstream words(line);
        std::vector<std::string> w;
        std::string word;
        while (words >> word)
            w.push_back(word);
        if (w.empty() || w[0][0] == '#')
            continue;
        std::string why = TakeLine(w, config, state);
        if (!why.empty()) {
            error = path + ":" + std::to_string(lineNo) + ": " + why;
            return false;
        }
    }
    return true;
}

}  // namespace quillon::sandbox
