#include "tabs/SessionRestore.h"

#include "engine/Chromium.h"
#include "tabs/TabRegistry.h"
#include "widgets/ShutdownFlags.h"

#include <QDebug>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QTimer>

namespace {

// Only pages: nothing a crafted file could turn into a local program or file.
bool IsPage(const QUrl& url)
{
    return url.isValid() && (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https"));
}

QStringList ReadSession(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList urls;
    for (const QJsonValue& value : QJsonDocument::fromJson(file.read(1 << 20)).object().value(QLatin1String("tabs")).toArray()) {
        const QUrl url(value.toString());
        if (IsPage(url))
            urls << url.toString();
    }
    return urls;
}

} // namespace

TSessionRestore::TSessionRestore(TTabRegistry& registry, const TShutdownFlags& flags, QString path, TAsk ask,
                                 int saveDelayMs, QObject* parent)
    : QObject(parent), FRegistry(registry), FFlags(flags), FPath(std::move(path)), FAsk(std::move(ask))
{
    FPending = ReadSession(FPath);
    FOffered = FPending.isEmpty();
    FSaveTimer = new QTimer(this);
    FSaveTimer->setSingleShot(true);
    FSaveTimer->setInterval(saveDelayMs);
    connect(FSaveTimer, &QTimer::timeout, this, &TSessionRestore::Save);
    connect(&FRegistry, &TTabRegistry::TabAdded, this, &TSessionRestore::ScheduleSave);
    connect(&FRegistry, &TTabRegistry::TabRemoved, this, &TSessionRestore::ScheduleSave);
    connect(&FRegistry, &TTabRegistry::ViewCreated, this, [this](TChromium* view) {
        connect(view, &TChromium::UrlChanged, this, &TSessionRestore::ScheduleSave);
        connect(view, &TChromium::LoadFinished, this, [this, view](const TLoadResult& result) {
            // The offer comes once the login page is there.
            if (!FOffered && result.Ok && FRegistry.IsFirstTab(view)) {
                FOffered = true;
                QTimer::singleShot(0, this, &TSessionRestore::Offer);
            }
        });
    });
}

void TSessionRestore::Offer()
{
    if (FFlags.FClosing || FEnded)
        return;
    const QStringList urls = FPending;
    FPending.clear();
    if (!urls.isEmpty())
        qDebug().noquote() << QStringLiteral("The last run did not end normally: %1 pages to offer").arg(urls.size());
    if (!urls.isEmpty() && FAsk(urls.size())) {
        for (const QString& url : urls)
            FRegistry.OpenAddressTab(url);
    }
    ScheduleSave();
}

void TSessionRestore::ScheduleSave()
{
    if (FOffered && !FEnded && !FFlags.FClosing)
        FSaveTimer->start();
}

void TSessionRestore::Save()
{
    if (FEnded || !FOffered)
        return;
    QJsonArray tabs;
    for (const TBrowserTab* tab : FRegistry.VisibleTabs()) {
        if (!tab->Browser || FRegistry.IsFirstTab(tab->Browser))
            continue; // the login page comes by itself
        const QUrl url(tab->Browser->Url());
        if (IsPage(url))
            tabs.append(url.toString());
    }
    QSaveFile file(FPath);
    if (!file.open(QIODevice::WriteOnly)) {
        qDebug().noquote() << QStringLiteral("Cannot keep the open pages in %1").arg(FPath);
        return;
    }
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    file.write(QJsonDocument(QJsonObject{{QStringLiteral("tabs"), tabs}}).toJson(QJsonDocument::Compact));
    file.commit();
}

void TSessionRestore::EndedNormally()
{
    FEnded = true;
    FSaveTimer->stop();
    QFile::remove(FPath);
}
