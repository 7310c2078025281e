#pragma once

#include <QString>

// Every web address and network peer the application talks to, in one place.
//
// Two environment variables let tests and a local run serve everything from
// one local server under the real paths: CORVANTA_FEEDS_BASE replaces the
// bases of the data feeds, the country file's publisher and the engine's
// data repository, and
// CORVANTA_MAKER_BASE the maker's web site (install report and problem
// report). Each is honoured only when it is exactly http://127.0.0.1:PORT
// (an optional trailing "/" aside); any other value is ignored, so no
// setting can send the application's requests elsewhere.
namespace Endpoints {

// Identifies every web request of the program (Download).
inline constexpr const char* userAgent = "Corvanta/0.9 (Linux)";

// The maker's web host, fixed when the application is built (CMake cache
// variable CORVANTA_MAKER_HOST; the reserved corvanta.example by default).
QString makerHost();
// "https://" + makerHost(), or the CORVANTA_MAKER_BASE override.
QString makerBase();

// Space weather and ionosphere feeds, each the CORVANTA_FEEDS_BASE override
// when it is set.
QString swpcBase(); // https://services.swpc.noaa.gov
QString gfzBase();  // https://kp.gfz-potsdam.de
QString zelqBase(); // https://prop.kc2g.com

// The Zelq service's public site as the help names it; never overridden.
inline constexpr const char* zelqSite = "https://prop.kc2g.com";

// The country file's publisher (https://www.country-files.com), or the
// CORVANTA_FEEDS_BASE override.
QString ctyBase();

// The folder of the P.533 engine's monthly data files in the ITU-R HF data
// repository, ending in "/": the file name is appended directly. Under the
// CORVANTA_FEEDS_BASE override the same path on the local server.
QString ituDataFolder();

// The override in an environment variable when it is http://127.0.0.1:PORT
// (without a trailing "/"); an empty text otherwise.
QString localOverride(const char* variable);

} // namespace Endpoints
