#include "page/CrashCover.h"

#include <QDebug>

#include "engine/Chromium.h"
#include "tabs/TabRegistry.h"
#include "widgets/CrashedPage.h"
#include "widgets/ShutdownFlags.h"

#include <QPointer>

TCrashCover::TCrashCover(TTabRegistry& registry, const TShutdownFlags& flags, QObject* parent)
    : QObject(parent), FRegistry(registry), FFlags(flags)
{
    connect(&FRegistry, &TTabRegistry::ViewCreated, this, [this](TChromium* view) {
        connect(view, &TChromium::RenderProcessTerminated, this, [this, view](TRenderTermination status, int exitCode) {
            static const char* const names[] = {"normally", "abnormally", "by a crash", "killed"};
            qWarning().noquote() << QStringLiteral("Page process of tab %1 ended %2 (exit status %3) at %4")
                                        .arg(view->Tag)
                                        .arg(QLatin1String(names[static_cast<int>(status)]))
                                        .arg(exitCode)
                                        .arg(view->Url());
            if (!FFlags.FClosing && status != TRenderTermination::Normal && !view->findChild<TCrashedPage*>())
                Cover(view);
        });
    });
}

void TCrashCover::Cover(TChromium* view)
{
    auto* cover = new TCrashedPage(view);
    connect(cover, &TCrashedPage::ReloadClicked, this, [this, cover, view = QPointer<TChromium>(view)] {
        cover->deleteLater();
        if (!view)
            return;
        const bool firstTab = FRegistry.IsFirstTab(view);
        const QString address = firstTab && !FLoginUrl.isEmpty() ? FLoginUrl : view->Url();
        view->Load(address.isEmpty() ? QStringLiteral("about:blank") : address);
        view->setFocus();
    });
}
