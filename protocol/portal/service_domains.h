// The portal domains a user signs in with, and the service's own domain, which launch keys
// sign in with. The program offers exactly these; the devserver's accounts use them.
#pragma once

#include <array>
#include <string_view>

namespace zavel {

// The default portal's domain first; the program offers them in this order.
inline constexpr std::array<std::string_view, 5> kPortalDomains = {
    "vemar.net", "zavel.net", "tovian.net", "octanet.net", "mzone.net"};

// The domain of an id handed over at launch (without the "@").
inline constexpr std::string_view kServiceDomain = "zavel.net";

}  // namespace zavel
