#include "core/Global.h"

#ifndef VELMAR_SERVICE_HOST
#error "VELMAR_SERVICE_HOST must be defined by the build"
#endif

#ifndef VELMAR_CLIENT_VERSION
#error "VELMAR_CLIENT_VERSION must be defined by the build"
#endif

const char* const ClientVersion = VELMAR_CLIENT_VERSION;

QString gAppDir;
QString gDataDir;
TInstanceLock gInstanceMutex;
bool gAutoStart = true;
bool gSoundHint = true;
bool gPopupHint = true;

QString AppTitle()
{
    return QStringLiteral("Velmar房产ERP");
}

namespace {
QString& ServiceHostValue()
{
    static QString host = BuiltInServiceHost();
    return host;
}
} // namespace

QString BuiltInServiceHost()
{
    return QStringLiteral(VELMAR_SERVICE_HOST);
}

bool IsDemoBuild()
{
    return VELMAR_DEMO_BUILD != 0;
}

QString ServiceHost()
{
    return ServiceHostValue();
}

void SetServiceHost(const QString& host)
{
    ServiceHostValue() = host;
}

QString ServiceUrl(const QString& path)
{
    return QStringLiteral("http://") + ServiceHost() + path;
}

QString AppFile(const QString& name)
{
    return gAppDir + name;
}

QString DataFile(const QString& name)
{
    return gDataDir + name;
}
