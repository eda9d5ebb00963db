// The simplest client there can be: what the client's start is compared with.
//
// Nothing of the client's own code: one view on a persistent profile, shown
// maximised, loading the address it is given. Whatever the client costs
// beyond this (its engine options, its shell, its start path) shows up in
// scripts/bench as the difference to this program.

#include <QApplication>
#include <QScreen>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 2) {
        qWarning("usage: minimal_engine_view <address>");
        return 2;
    }
    // A named profile keeps its cookies and cache on disk, under the user's
    // home, as any browser's does.
    QWebEngineProfile profile(QStringLiteral("Minimal"));
    QWebEngineView view;
    auto* page = new QWebEnginePage(&profile, &view);
    view.setPage(page);
    // The page gets the whole work area, as the client's maximised window
    // gives it; set beforehand since the first draw may remake the window.
    view.setGeometry(view.screen()->availableGeometry());
    view.showMaximized();
    view.load(QUrl::fromUserInput(arguments.at(1)));
    const int code = app.exec();
    // The page goes before its profile.
    delete page;
    return code;
}
