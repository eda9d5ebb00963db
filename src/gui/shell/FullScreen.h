#pragma once

#include "config/ConfigFile.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>

#include <functional>
#include <optional>

class QShortcut;
class QWidget;
class TChromium;
class TPageControl;
class TTabRegistry;
struct TShutdownFlags;

// The window's full screen, asked for by F11 or by a page (a video, a
// presentation). One at a time; a page's hides the tab strip and ends with
// Esc. While it lasts, the placement to keep is the one it returns to.
class TFullScreen : public QObject
{
    Q_OBJECT

public:
    // placement: where the window is now, as written to config.ini.
    TFullScreen(QWidget& window, TTabRegistry& registry, TPageControl& pages, const TShutdownFlags& flags,
                std::function<TWindowPlacement()> placement, QObject* parent = nullptr);

    // F11: in, or out of whichever full screen is on.
    void Toggle();
    // A page asks to enter (on) or leave; gives whether the page may.
    bool PageRequest(TChromium* view, bool on);
    void Leave();

    // While full screen: the placement it returns to.
    std::optional<TWindowPlacement> ReturnPlacement() const;

private:
    enum class TKind { None, Window, Page };

    void Enter(TKind kind);

    QWidget& FWindow;
    TTabRegistry& FRegistry;
    TPageControl& FPages;
    const TShutdownFlags& FFlags;
    std::function<TWindowPlacement()> FPlacement;
    TKind FKind = TKind::None;
    QPointer<TChromium> FView; // the page shown full screen
    TWindowPlacement FReturn;
    QByteArray FGeometry;
    QShortcut* FEsc = nullptr;
    QMetaObject::Connection FViewGone;
};
