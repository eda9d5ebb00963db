#include "core/Global.h"

#ifndef VELMAR_SERVICE_HOST
#error "VELMAR_SERVICE_HOST must be defined by the build"
#endif

QString gAppDir;
TInstanceLock gInstanceMutex;
bool gAutoStart = true;
bool gSoundHint = true;
bool gPopupHint = true;

QString AppTitle()
{
    return QStringLiteral("Velmar房产ERP");
}

QString ServiceHost()
{
    return QStringLiteral(VELMAR_SERVICE_HOST);
}

QString ServiceUrl(const QString& path)
{
    return QStringLiteral("http://") + ServiceHost() + path;
}

QString AppFile(const QString& name)
{
    return gAppDir + name;
}
