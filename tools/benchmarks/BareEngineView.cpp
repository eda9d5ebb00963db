// A bare engine view: what the client's benchmarks measure it against.
//
// One window with one view, on the client's own profile and engine options
// (same program-folder cache, same switches, same debugging port), loading
// the address it is given. A page's window.open opens a window of its own;
// with --stack the new view goes into the same window on top of the others
// instead, as tabs would, so that many views can be compared with many tabs.
// --interceptor adds a request interceptor that sets one header, as the
// client's does, to tell its cost apart from the rest of the client's.
//
// Every event is written to stdout as one line:
//   <CLOCK_MONOTONIC in microseconds> <event> <view id> [<text>]
// events: main, window-shown, view-shown, load-started, load-finished
// (text "ok <url>" or "failed <url>"), title, new-window, closed.

#include "EngineStart.h"
#include "engine/qt/QtEngineStart.h"
#include "platform/Platform.h"
#include "util/EnvironmentOverride.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QPointer>
#include <QScreen>
#include <QStackedLayout>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineView>
#include <QWidget>

#include <cstdio>
#include <ctime>
#include <vector>

namespace {

void Report(const char* event, int view, const QString& text = {})
{
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    const long long micros = static_cast<long long>(now.tv_sec) * 1000000LL + now.tv_nsec / 1000;
    std::printf("%lld %s %d %s\n", micros, event, view, text.toUtf8().constData());
    std::fflush(stdout);
}

class TBareView;

// Sets the language header on every request, as the client does.
class THeaderInterceptor : public QWebEngineUrlRequestInterceptor
{
public:
    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;
    void interceptRequest(QWebEngineUrlRequestInfo& info) override
    {
        info.setHttpHeader(QByteArrayLiteral("Accept-Language"), QByteArrayLiteral("zh-CN"));
    }
};

// Owns the profile and every window; the windows (and so the pages) go
// before the profile.
class TBareBrowser : public QObject
{
public:
    TBareBrowser(const TEngineSettings& settings, bool stack, bool interceptor)
        : FProfile(CreateEngineProfile(settings, this)), FStack(stack), FInterceptor(interceptor)
    {
    }
    ~TBareBrowser() override
    {
        for (const QPointer<QWidget>& window : FWindows)
            delete window.data();
    }

    QWebEngineProfile* Profile() const { return FProfile; }
    bool Stack() const { return FStack; }
    bool Interceptor() const { return FInterceptor; }
    int NextViewId() { return FNextViewId++; }

    // A new maximised window with one view in it.
    TBareView* OpenWindow();

private:
    QWebEngineProfile* FProfile;
    bool FStack;
    bool FInterceptor;
    int FNextViewId = 0;
    std::vector<QPointer<QWidget>> FWindows;
};

class TBareWindow : public QWidget
{
public:
    explicit TBareWindow(TBareBrowser& browser)
        : FBrowser(browser), FLayout(new QStackedLayout(this))
    {
        setAttribute(Qt::WA_DeleteOnClose);
        setWindowTitle(QStringLiteral("bare engine view"));
        setMinimumSize(640, 480);
    }

    TBareView* AddView();

protected:
    void showEvent(QShowEvent* event) override
    {
        QWidget::showEvent(event);
        if (!FShownOnce) {
            FShownOnce = true;
            Report("window-shown", -1);
        }
    }

private:
    TBareBrowser& FBrowser;
    QStackedLayout* FLayout;
    bool FShownOnce = false;
};

class TBareView : public QWebEngineView
{
public:
    TBareView(TBareBrowser& browser, TBareWindow* window)
        : QWebEngineView(window), FBrowser(browser), FWindow(window), FId(browser.NextViewId())
    {
        auto* page = new QWebEnginePage(browser.Profile(), this);
        if (browser.Interceptor())
            page->setUrlRequestInterceptor(new THeaderInterceptor(page));
        setPage(page);
        connect(page, &QWebEnginePage::loadStarted, this, [this] { Report("load-started", FId, url().toString()); });
        connect(page, &QWebEnginePage::loadFinished, this, [this](bool ok) {
            Report("load-finished", FId, (ok ? QStringLiteral("ok ") : QStringLiteral("failed ")) + url().toString());
        });
        connect(page, &QWebEnginePage::titleChanged, this, [this](const QString& title) { Report("title", FId, title); });
        connect(page, &QWebEnginePage::windowCloseRequested, this, [this] {
            Report("closed", FId);
            if (FBrowser.Stack() && FId != 0)
                deleteLater();
            else
                FWindow->close();
        });
    }
    int Id() const { return FId; }

protected:
    QWebEngineView* createWindow(QWebEnginePage::WebWindowType) override
    {
        TBareView* view = FBrowser.Stack() ? FWindow->AddView() : FBrowser.OpenWindow();
        Report("new-window", view->Id());
        return view;
    }

    void showEvent(QShowEvent* event) override
    {
        QWebEngineView::showEvent(event);
        Report("view-shown", FId);
    }

private:
    TBareBrowser& FBrowser;
    TBareWindow* FWindow;
    int FId;
};

TBareView* TBareWindow::AddView()
{
    auto* view = new TBareView(FBrowser, this);
    FLayout->addWidget(view);
    FLayout->setCurrentWidget(view);
    return view;
}

TBareView* TBareBrowser::OpenWindow()
{
    auto* window = new TBareWindow(*this);
    FWindows.emplace_back(window);
    TBareView* view = window->AddView();
    // The toolkit gives the window a new native surface when the view first
    // draws, and the maximised state is lost on the way; the screen's size
    // set beforehand stays, so the page gets as much room as the client's.
    window->setGeometry(window->screen()->availableGeometry());
    window->showMaximized();
    return view;
}

} // namespace

int main(int argc, char* argv[])
{
    Report("main", -1);
    // The client's own engine options and profile folder (beside the program).
    const TEngineSettings settings = BuildEngineSettings(Platform::ExecutableFolder(), Platform::IsRunningAsRoot());
    TEnvironmentOverride environment;
    PrepareEngineProcess(settings, environment);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);

    QCommandLineParser options;
    options.setApplicationDescription(QStringLiteral("A bare engine view, the baseline of the client's benchmarks."));
    options.addHelpOption();
    const QCommandLineOption stack(QStringLiteral("stack"),
                                   QStringLiteral("Open new windows as views stacked in the first window."));
    options.addOption(stack);
    const QCommandLineOption interceptor(QStringLiteral("interceptor"),
                                         QStringLiteral("Set a header on every request through an interceptor."));
    options.addOption(interceptor);
    options.addPositionalArgument(QStringLiteral("address"), QStringLiteral("The address to load."));
    options.process(app);
    if (options.positionalArguments().size() != 1)
        options.showHelp(2);

    TBareBrowser browser(settings, options.isSet(stack), options.isSet(interceptor));
    TBareView* view = browser.OpenWindow();
    view->load(QUrl::fromUserInput(options.positionalArguments().constFirst()));
    return app.exec();
}
