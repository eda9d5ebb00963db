#pragma once

#include <QObject>
#include <QPointer>

#include <functional>

class QWidget;
class TChromium;
struct TFrameDocument;
class TFormPrint;
class TTabRegistry;
struct TShutdownFlags;

// Printing a page: Ctrl+P and a page's own print() open the print window for
// that page, one at a time; while one is open it is brought to the front.
class TPrintController : public QObject
{
    Q_OBJECT

public:
    static constexpr int CopyLoadWaitMs = 15000;

    // window: the parent of the print window.
    TPrintController(TTabRegistry& registry, QWidget& window, const TShutdownFlags& flags, QObject* parent = nullptr);

    void PrintActiveTab();
    void Print(TChromium* view);
    // A frame of view's page asked to print its own document: a copy of it
    // is printed by itself. Without a copy the whole page is printed.
    void PrintFrame(TChromium* view, const TFrameDocument& document);
    // The program ends: an open print window goes.
    void End();
    // Runs then once view's print window has ended, or now when it has none.
    void WhenDone(const TChromium* view, std::function<void()> then);

    TFormPrint* Window() const;

private:
    TTabRegistry& FRegistry;
    QWidget& FOwner;
    const TShutdownFlags& FFlags;
    // Opens the print window for view (a page, or a frame's copy).
    void OpenWindow(TChromium* view);

    QPointer<TFormPrint> FWindow;
    QPointer<TChromium> FFrameCopy; // a frame's document loading for its print
};
