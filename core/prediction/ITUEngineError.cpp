#include "prediction/ITUEngineError.h"

QString ITUEngineError::description() const
{
    switch (kind) {
    case Kind::download:
        return QStringLiteral("Could not download the ITU ionosphere data: ") + detail;
    case Kind::failed:
        return QStringLiteral("ITU-R P.533 calculation failed: ") + detail;
    case Kind::notInstalled:
        return notInstalledText(detail);
    case Kind::other:
        break;
    }
    return detail;
}

QString ITUEngineError::notInstalledText(const QString& engineFolder)
{
    return QStringLiteral("The ITU-R P.533 engine is not installed. Put the ITURHFProp program and its libraries "
                          "into the folder %1.")
                              .arg(engineFolder);
}
