#include "page/PageZoom.h"

#include "engine/Chromium.h"
#include "page/FindBar.h"
#include "page/Zoom.h"
#include "tabs/PageControl.h"
#include "tabs/TabRegistry.h"
#include "util/AppError.h"
#include "widgets/ShutdownFlags.h"

#include <QApplication>
#include <QDebug>

#include <cmath>

TPageZoom::TPageZoom(TTabRegistry& registry, TPageControl& pages, const TShutdownFlags& flags,
                     const QString& configPath, QObject* parent)
    : QObject(parent), FPages(pages), FFlags(flags), FStore(std::make_unique<TZoomStore>(configPath))
{
    FIndicator = new TZoomIndicator(FPages.ContentArea());
    connect(&registry, &TTabRegistry::ViewCreated, this, &TPageZoom::ViewCreated);
}

TPageZoom::~TPageZoom() = default;

void TPageZoom::ViewCreated(TChromium* view)
{
    connect(view, &TChromium::ZoomWheel, this, [this, view](int steps) {
        if (!FFlags.FClosing && !QApplication::activeModalWidget())
            ZoomBy(view, steps);
    });
    connect(view, &TChromium::UrlChanged, this, [this, view] { Apply(view); });
    connect(view, &TChromium::LoadingStateChanged, this, [this, view](bool loading) {
        if (!loading)
            Apply(view);
    });
}

void TPageZoom::ZoomBy(TChromium* view, int steps)
{
    if (!view)
        return;
    const QString host = TZoomStore::HostOf(view->Url());
    int percent = host.isEmpty() ? static_cast<int>(std::lround(view->ZoomFactor() * 100)) : FStore->Level(host);
    for (int i = 0; i < std::abs(steps); ++i)
        percent = steps > 0 ? ZoomSteps::In(percent) : ZoomSteps::Out(percent);
    SetZoom(view, percent);
}

void TPageZoom::SetZoom(TChromium* view, int percent)
{
    if (!view)
        return;
    const QString host = TZoomStore::HostOf(view->Url());
    if (host.isEmpty()) {
        view->SetZoomFactor(percent / 100.0);
    } else {
        try {
            FStore->SetLevel(host, percent);
        } catch (const EAppError& error) {
            // The level still holds for this run; config.ini problems are
            // reported where the window's own settings are written.
            qDebug().noquote() << error.Message();
        }
        // Every page of the host follows, in every tab.
        for (TChromium* other : FPages.findChildren<TChromium*>())
            if (TZoomStore::HostOf(other->Url()) == host)
                other->SetZoomFactor(percent / 100.0);
    }
    FIndicator->ShowLevel(percent);
}

void TPageZoom::Apply(TChromium* view)
{
    if (FFlags.FClosing || !view)
        return;
    const QString host = TZoomStore::HostOf(view->Url());
    if (!host.isEmpty())
        view->SetZoomFactor(FStore->Level(host) / 100.0);
}
