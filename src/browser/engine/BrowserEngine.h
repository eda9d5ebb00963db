#pragma once

#include <QStringList>

class QWidget;
class TChromium;

// The process-level side of the browser engine: it makes browser views and
// takes the plug-in files. One exists in the browser process; it must
// outlive every view it made.
class TBrowserEngine
{
public:
    virtual ~TBrowserEngine() = default;

    // A new view, owned by parent (a child control filling nothing yet).
    virtual TChromium* CreateView(QWidget* parent) = 0;

    // Readies a top-level window for views before its native window exists,
    // so showing the first view never has to replace that native window.
    virtual void PrepareWindow(QWidget* window) { (void)window; }

    // Hands the plug-in files to the engine, in order, empty entries included.
    virtual void RegisterPluginPaths(const QStringList& paths) = 0;
};
