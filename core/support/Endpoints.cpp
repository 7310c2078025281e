#include "support/Endpoints.h"

#include <QRegularExpression>

#ifndef CORVANTA_MAKER_HOST
#define CORVANTA_MAKER_HOST "corvanta.example"
#endif

namespace Endpoints {

namespace {

QString orOverride(const char* variable, const QString& base)
{
    const QString local = localOverride(variable);
    return local.isEmpty() ? base : local;
}

QString orFeedsOverride(const char* base) { return orOverride("CORVANTA_FEEDS_BASE", QString::fromLatin1(base)); }

} // namespace

QString localOverride(const char* variable)
{
    static const QRegularExpression form(QStringLiteral("^http://127\\.0\\.0\\.1:([0-9]{1,5})/?$"));
    const QString value = qEnvironmentVariable(variable);
    const QRegularExpressionMatch match = form.match(value);
    if (!match.hasMatch())
        return {};
    const int port = match.captured(1).toInt();
    if (port < 1 || port > 65535)
        return {};
    return QStringLiteral("http://127.0.0.1:%1").arg(port);
}

QString makerHost() { return QStringLiteral(CORVANTA_MAKER_HOST); }

QString makerBase() { return orOverride("CORVANTA_MAKER_BASE", QStringLiteral("https://") + makerHost()); }

QString swpcBase() { return orFeedsOverride("https://services.swpc.noaa.gov"); }
QString gfzBase() { return orFeedsOverride("https://kp.gfz-potsdam.de"); }
QString zelqBase() { return orFeedsOverride(zelqSite); }
QString ctyBase() { return orFeedsOverride("https://www.country-files.com"); }

QString ituDataFolder()
{
    return orFeedsOverride("https://raw.githubusercontent.com")
        + QStringLiteral("/ITU-R-Study-Group-3/ITU-R-HF/master/P533/Data/");
}

} // namespace Endpoints
