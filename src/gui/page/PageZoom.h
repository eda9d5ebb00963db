#pragma once

#include <QObject>

#include <memory>

class TChromium;
class TPageControl;
class TTabRegistry;
class TZoomIndicator;
class TZoomStore;
struct TShutdownFlags;

// Page zoom per host: Ctrl+wheel and the zoom keys step it, every page of
// the host follows, the level is kept in config.ini and shown briefly over
// the page. Pages without a host zoom on their own and are not kept.
class TPageZoom : public QObject
{
    Q_OBJECT

public:
    TPageZoom(TTabRegistry& registry, TPageControl& pages, const TShutdownFlags& flags, const QString& configPath,
              QObject* parent = nullptr);
    ~TPageZoom() override;

    void ZoomBy(TChromium* view, int steps);
    void SetZoom(TChromium* view, int percent);
    TZoomIndicator& Indicator() const { return *FIndicator; }

private:
    void ViewCreated(TChromium* view);
    // Gives a page the level kept for its host.
    void Apply(TChromium* view);

    TPageControl& FPages;
    const TShutdownFlags& FFlags;
    std::unique_ptr<TZoomStore> FStore;
    TZoomIndicator* FIndicator = nullptr;
};
