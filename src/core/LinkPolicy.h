// Which addresses taken from the settings the program hands to the desktop's opener, and when the
// session id may travel with one. Settings files can come from anywhere (a distributor, a copied
// data directory), so an address is opened only when its scheme is one a browser or mail client
// handles: never a local program, a script or a custom handler.
#pragma once

#include <string>

namespace quillon {

enum class LinkUse {
    kWebPage,    // help, voucher and update pages, links in message boxes: https:, http:, mailto:
    kInstaller,  // the downloaded installer of the update check: a file: address as well
};

// The scheme of `url` in lower case ("" when it has none).
std::string UrlScheme(const std::string& url);
// True when `url` may be opened for `use`. Blanks and control characters anywhere refuse it.
bool IsOpenableLink(const std::string& url, LinkUse use = LinkUse::kWebPage);

// The voucher page to open: `voucherUrl`, with "?session_id=" and the session id only when the page is
// https: (the id logs the user in, so it never travels in clear) and the id is not empty.
std::string VoucherPageUrl(const std::string& voucherUrl, const std::string& sessionId);

// True when the gateway address sends requests, the password among them, unencrypted over the network:
// an http: address whose host is not this computer (127.0.0.0/8, ::1, localhost).
bool SendsPasswordInClear(const std::string& gatewayUrl);

}  // namespace quillon
