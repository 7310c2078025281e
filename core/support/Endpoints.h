#pragma once

// Every web address and network peer the application talks to, in one place.
// Tests never use these: they start their own peers on 127.0.0.1.
namespace Endpoints {

// Identifies the data feeds' and the country file's requests.
inline constexpr const char* userAgent = "Corvanta/0.9 (Linux)";

// The maker's web site: releases, problem reports, the install report.
inline constexpr const char* makerBase = "https://corvanta.app";

// Space weather and ionosphere feeds.
inline constexpr const char* swpcBase = "https://services.swpc.noaa.gov";
inline constexpr const char* gfzBase = "https://kp.gfz-potsdam.de";
inline constexpr const char* zelqBase = "https://prop.kc2g.com";

// The country file's publisher.
inline constexpr const char* ctyBase = "https://www.country-files.com";

} // namespace Endpoints
