#include "engine/qt/QtEngineStart.h"

#include "util/EnvironmentOverride.h"

#include <QLoggingCategory>
#include <QWebEngineProfile>

void PrepareEngineProcess(const TEngineSettings& settings, TEnvironmentOverride& environment)
{
    for (const auto& [name, value] : EngineEnvironment(settings, qgetenv("QTWEBENGINE_CHROMIUM_FLAGS")))
        environment.Set(name, value);
    if (settings.LoggingDisabled)
        QLoggingCategory::setFilterRules(QStringLiteral("qt.webenginecontext.info=false"));
}

QWebEngineProfile* CreateEngineProfile(const TEngineSettings& settings, QObject* parent)
{
    auto* profile = new QWebEngineProfile(QStringLiteral("Velmar"), parent);
    // Set before any page exists, so cookies and cache persist in the
    // program's own folder and survive a restart.
    profile->setPersistentStoragePath(settings.CachePath);
    profile->setCachePath(settings.CachePath);
    profile->setHttpCacheType(QWebEngineProfile::DiskHttpCache);
    profile->setPersistentCookiesPolicy(QWebEngineProfile::AllowPersistentCookies);
    profile->setHttpAcceptLanguage(settings.Locale);
    return profile;
}
