#pragma once

#include <QString>

// Each test process runs with its own empty configuration and data folders,
// so settings and support files never leak between tests or into the user's.
namespace TestEnvironment {

// Points XDG_CONFIG_HOME, XDG_DATA_HOME and XDG_CACHE_HOME at fresh
// temporary folders, and leaves the process without a session bus. Call
// before the Qt application object exists.
void isolateUserFolders();

// The variables curl or the program reads for a proxy, in both cases.
inline constexpr const char* proxyVariables[] { "http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY",
                                                "all_proxy",  "ALL_PROXY",  "no_proxy",    "NO_PROXY" };

// Unsets them: a test that sets none runs alike on every runner.
void clearProxies();
// Unsets them, then sets each NAME=VALUE of `settings`, apart by ';'.
void setProxies(const QByteArray& settings);

// Removes those folders once every test has passed, after the Qt
// application object is gone; returns the tests' result.
int finish(int result);

// Points CORVANTA_FEEDS_BASE at a closed port on 127.0.0.1 unless a test
// has set it, so a store that starts fetching on its own (the space weather
// store of an application object) never reaches the internet.
void keepFeedsLocal();

// Writes an install-report state that says "sent" into the isolated data
// folder, so that no application object a test keeps alive long enough
// sends an install report anywhere. Call after isolateUserFolders().
void markInstallReported();

// The checkout's root folder (tests read real data files from it).
QString sourceDir();

// ../shared/data next to the checkout, where the map sources live.
QString sharedDataDir();

} // namespace TestEnvironment
