#include "engine/qt/QtChromium.h"

#include <QAuthenticator>
#include <QContextMenuEvent>
#include <QDataStream>
#include <QDebug>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QKeyEvent>
#include <QMenu>
#include <QTimer>
#include <QVBoxLayout>
#include <QPrinter>
#include <QRandomGenerator>
#include <QWebEngineCertificateError>
#include <QWebEngineClientCertificateSelection>
#include <QWebEngineContextMenuRequest>
#include <QWebEngineFullScreenRequest>
#include <QWebEngineFindTextResult>
#include <QWebEngineHistory>
#include <QWebEngineLoadingInfo>
#include <QWebEngineNewWindowRequest>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineView>
#include <QWheelEvent>

#include <chrono>
#include <map>
#include <optional>
#include <utility>

namespace {

qint64 MonotonicMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Asks the owning view for the extra headers of each request of its page.
// Runs on the main thread for every request; keep it cheap.
class TRequestInterceptor : public QWebEngineUrlRequestInterceptor
{
public:
    TRequestInterceptor(TQtChromium* owner, QObject* parent)
        : QWebEngineUrlRequestInterceptor(parent), FOwner(owner)
    {
    }
    void interceptRequest(QWebEngineUrlRequestInfo& info) override
    {
        TRequestHeaders headers;
        FOwner->RaiseBeforeResourceLoad(info.requestUrl(), headers);
        for (const auto& [name, value] : headers.Lines())
            info.setHttpHeader(name, value);
    }

private:
    TQtChromium* FOwner;
};

} // namespace

namespace {

// Schemes the engine shows itself; anything else belongs to another program.
bool IsPageScheme(const QString& scheme)
{
    static const QStringList page{QStringLiteral("http"), QStringLiteral("https"),       QStringLiteral("file"),
                                  QStringLiteral("data"), QStringLiteral("about"),       QStringLiteral("blob"),
                                  QStringLiteral("qrc"),  QStringLiteral("view-source"), QStringLiteral("devtools"),
                                  QStringLiteral("chrome"), QStringLiteral("javascript"), QStringLiteral("filesystem")};
    return page.contains(scheme.toLower());
}

// What a frame's print() sends the shell: this prefix, then the document as
// JSON. The prefix is new with every run, so a page cannot write it itself.
const QString& FramePrintPrefix()
{
    static const QString prefix = QStringLiteral("velmar-print-frame-%1:")
                                      .arg(QRandomGenerator::system()->generate64(), 16, 16, QLatin1Char('0'));
    return prefix;
}

// In every frame but the top one, print() hands the frame's document (with
// what was typed into it) to the shell instead of printing the whole page.
// Runs before the page's own scripts, so it keeps the console and JSON it
// found.
const QWebEngineScript& FramePrintScript()
{
    static const char source[] = R"JS((function () {
  if (window === window.top) return;
  var send = console.info.bind(console);
  var stringify = JSON.stringify;
  var prefix = 'PREFIX';
  function snapshot() {
    var doc = document;
    var root = doc.documentElement.cloneNode(true);
    var from = doc.documentElement.querySelectorAll('input, textarea, select, canvas');
    var to = root.querySelectorAll('input, textarea, select, canvas');
    for (var i = 0; i < from.length && i < to.length; ++i) {
      var a = from[i], b = to[i];
      if (a.tagName === 'INPUT') {
        if (a.type === 'checkbox' || a.type === 'radio') {
          if (a.checked) b.setAttribute('checked', ''); else b.removeAttribute('checked');
        } else if (a.type !== 'password' && a.type !== 'file') {
          b.setAttribute('value', a.value);
        }
      } else if (a.tagName === 'TEXTAREA') {
        b.textContent = a.value;
      } else if (a.tagName === 'SELECT') {
        for (var j = 0; j < a.options.length && j < b.options.length; ++j) {
          if (a.options[j].selected) b.options[j].setAttribute('selected', '');
          else b.options[j].removeAttribute('selected');
        }
      } else if (a.tagName === 'CANVAS') {
        try {
          var picture = doc.createElement('img');
          picture.src = a.toDataURL();
          picture.width = a.width;
          picture.height = a.height;
          picture.setAttribute('style', a.getAttribute('style') || '');
          b.parentNode.replaceChild(picture, b);
        } catch (e) { /* a canvas with another site's pictures cannot be read */ }
      }
    }
    var scripts = root.querySelectorAll('script');
    for (var k = 0; k < scripts.length; ++k) scripts[k].parentNode.removeChild(scripts[k]);
    var head = root.querySelector('head');
    if (!head) { head = doc.createElement('head'); root.insertBefore(head, root.firstChild); }
    var base = doc.createElement('base');
    base.setAttribute('href', doc.baseURI);
    head.insertBefore(base, head.firstChild);
    return '<!DOCTYPE html>' + root.outerHTML;
  }
  var print = function () {
    send(prefix + stringify({url: document.baseURI, html: snapshot()}));
  };
  Object.defineProperty(window, 'print', {value: print, writable: true, configurable: true});
})();)JS";
    // Made once; every view of the run gets the same script.
    static const QWebEngineScript script = [] {
        QWebEngineScript made;
        made.setName(QStringLiteral("velmar-frame-print"));
        made.setWorldId(QWebEngineScript::MainWorld); // the page's own print() is replaced
        made.setInjectionPoint(QWebEngineScript::DocumentCreation);
        made.setRunsOnSubFrames(true);
        QString code = QString::fromUtf8(source);
        code.replace(QLatin1String("PREFIX"), FramePrintPrefix()); // letters, digits and dashes only
        made.setSourceCode(code);
        return made;
    }();
    return script;
}

} // namespace

class TQtWebPage : public QWebEnginePage
{
    Q_OBJECT

public:
    TQtWebPage(QWebEngineProfile* profile, TQtChromium* owner)
        : QWebEnginePage(profile, owner), FOwner(owner)
    {
    }

    TQtChromium* Owner() const { return FOwner; }

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override
    {
        if (IsPageScheme(url.scheme()))
            return QWebEnginePage::acceptNavigationRequest(url, type, isMainFrame);
        // Another program's address (mailto:, tel:, an app's own): never
        // handed to the desktop by the engine itself; the shell decides.
        // The engine calls a script's navigation a link too: only one that
        // follows the user's own click or key in this view counts.
        Q_EMIT FOwner->ExternalLinkRequested(url, type == NavigationTypeLinkClicked && FOwner->HadInputJustNow());
        return false;
    }

    void javaScriptAlert(const QUrl& origin, const QString& msg) override
    {
        TJsDialogReply reply;
        if (!FOwner->RaiseJsDialog({origin, TJsDialogType::Alert, msg, {}}, reply))
            QWebEnginePage::javaScriptAlert(origin, msg);
    }
    bool javaScriptConfirm(const QUrl& origin, const QString& msg) override
    {
        TJsDialogReply reply;
        if (!FOwner->RaiseJsDialog({origin, TJsDialogType::Confirm, msg, {}}, reply))
            return QWebEnginePage::javaScriptConfirm(origin, msg);
        return reply.Success;
    }
    bool javaScriptPrompt(const QUrl& origin, const QString& msg, const QString& defaultValue, QString* result) override
    {
        TJsDialogReply reply;
        if (!FOwner->RaiseJsDialog({origin, TJsDialogType::Prompt, msg, defaultValue}, reply))
            return QWebEnginePage::javaScriptPrompt(origin, msg, defaultValue, result);
        // Without an answer (or when cancelled) the page's prompt gives null.
        if (!reply.Success || !reply.HasInput)
            return false;
        if (result)
            *result = reply.UserInput;
        return true;
    }

    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message, int lineNumber,
                                  const QString& sourceID) override
    {
        if (message.startsWith(FramePrintPrefix())) {
            const QJsonObject sent = QJsonDocument::fromJson(message.mid(FramePrintPrefix().size()).toUtf8()).object();
            const QUrl url(sent.value(QLatin1String("url")).toString());
            if (url.isValid())
                Q_EMIT FOwner->FramePrintRequested({url, sent.value(QLatin1String("html")).toString()});
            return;
        }
        // The page's console is its own; only its errors, and only when
        // asked for, go to the program's log.
        if (level == ErrorMessageLevel && FOwner->LogsPageErrors())
            qWarning().noquote() << QStringLiteral("Page console error at %1:%2 (%3): %4")
                                        .arg(sourceID)
                                        .arg(lineNumber)
                                        .arg(url().toString())
                                        .arg(message);
    }

private:
    TQtChromium* FOwner;
};

namespace {

class TQtWebView : public QWebEngineView
{
public:
    TQtWebView(TQtChromium* owner)
        : QWebEngineView(owner), FOwner(owner)
    {
    }

protected:
    void contextMenuEvent(QContextMenuEvent* event) override { FOwner->RaiseContextMenu(this, event->globalPos()); }

private:
    TQtChromium* FOwner;
};

TContextMediaType MediaTypeOf(QWebEngineContextMenuRequest::MediaType type)
{
    switch (type) {
    case QWebEngineContextMenuRequest::MediaTypeImage: return TContextMediaType::Image;
    case QWebEngineContextMenuRequest::MediaTypeVideo: return TContextMediaType::Video;
    case QWebEngineContextMenuRequest::MediaTypeAudio: return TContextMediaType::Audio;
    case QWebEngineContextMenuRequest::MediaTypeCanvas: return TContextMediaType::Canvas;
    case QWebEngineContextMenuRequest::MediaTypeFile: return TContextMediaType::File;
    case QWebEngineContextMenuRequest::MediaTypePlugin: return TContextMediaType::Plugin;
    default: return TContextMediaType::None;
    }
}

TWindowDisposition DispositionOf(QWebEngineNewWindowRequest::DestinationType type)
{
    switch (type) {
    case QWebEngineNewWindowRequest::InNewBackgroundTab: return TWindowDisposition::NewBackgroundTab;
    case QWebEngineNewWindowRequest::InNewWindow: return TWindowDisposition::NewWindow;
    case QWebEngineNewWindowRequest::InNewDialog: return TWindowDisposition::NewPopup;
    default: return TWindowDisposition::NewForegroundTab;
    }
}

QWebEnginePage::Feature EngineFeatureOf(TPageFeature feature)
{
    switch (feature) {
    case TPageFeature::Notifications: return QWebEnginePage::Notifications;
    case TPageFeature::Geolocation: return QWebEnginePage::Geolocation;
    case TPageFeature::Microphone: return QWebEnginePage::MediaAudioCapture;
    case TPageFeature::Camera: return QWebEnginePage::MediaVideoCapture;
    case TPageFeature::CameraAndMicrophone: return QWebEnginePage::MediaAudioVideoCapture;
    case TPageFeature::MouseLock: return QWebEnginePage::MouseLock;
    case TPageFeature::ScreenCapture: return QWebEnginePage::DesktopVideoCapture;
    case TPageFeature::ScreenAndAudioCapture: return QWebEnginePage::DesktopAudioVideoCapture;
    }
    return QWebEnginePage::Notifications;
}

std::optional<TPageFeature> FeatureOf(QWebEnginePage::Feature feature)
{
    switch (feature) {
    case QWebEnginePage::Notifications: return TPageFeature::Notifications;
    case QWebEnginePage::Geolocation: return TPageFeature::Geolocation;
    case QWebEnginePage::MediaAudioCapture: return TPageFeature::Microphone;
    case QWebEnginePage::MediaVideoCapture: return TPageFeature::Camera;
    case QWebEnginePage::MediaAudioVideoCapture: return TPageFeature::CameraAndMicrophone;
    case QWebEnginePage::MouseLock: return TPageFeature::MouseLock;
    case QWebEnginePage::DesktopVideoCapture: return TPageFeature::ScreenCapture;
    case QWebEnginePage::DesktopAudioVideoCapture: return TPageFeature::ScreenAndAudioCapture;
    }
    return std::nullopt;
}

TRenderTermination TerminationOf(QWebEnginePage::RenderProcessTerminationStatus status)
{
    switch (status) {
    case QWebEnginePage::NormalTerminationStatus: return TRenderTermination::Normal;
    case QWebEnginePage::AbnormalTerminationStatus: return TRenderTermination::Abnormal;
    case QWebEnginePage::CrashedTerminationStatus: return TRenderTermination::Crashed;
    case QWebEnginePage::KilledTerminationStatus: return TRenderTermination::Killed;
    }
    return TRenderTermination::Abnormal;
}

} // namespace

TQtChromium::TQtChromium(QWebEngineProfile* profile, QWidget* parent)
    : TChromium(parent)
{
    auto* page = new TQtWebPage(profile, this);
    page->setUrlRequestInterceptor(new TRequestInterceptor(this, page));
    FPage = page;
    FView = new TQtWebView(this);
    FView->setPage(page);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(FView);
    setFocusProxy(FView);
    // PDFs show in the tab with the engine's viewer; pages may fill the screen.
    page->settings()->setAttribute(QWebEngineSettings::PluginsEnabled, true);
    page->settings()->setAttribute(QWebEngineSettings::PdfViewerEnabled, true);
    page->settings()->setAttribute(QWebEngineSettings::FullScreenSupportEnabled, true);
    // A file dropped a little beside a page's drop zone must not replace the
    // page (and the form typed into it); drops into a drop zone still arrive.
    page->settings()->setAttribute(QWebEngineSettings::NavigateOnDropEnabled, false);
    page->scripts().insert(FramePrintScript());
    // The page's keys and wheel go to a child the view makes (and may
    // replace); watching it lets the shell see a key before the page does.
    FView->installEventFilter(this);
    for (QObject* child : FView->children())
        WatchPageWidget(child);

    connect(page, &QWebEnginePage::titleChanged, this, &TChromium::TitleChanged);
    connect(page, &QWebEnginePage::loadingChanged, this, [this](const QWebEngineLoadingInfo& info) {
        FIsLoading = info.status() == QWebEngineLoadingInfo::LoadStartedStatus;
        if (FIsLoading)
            FLoadingUrl = info.url();
        if (FPage)
            Q_EMIT LoadingStateChanged(FIsLoading, FPage->history()->canGoBack(), FPage->history()->canGoForward());
        if (FIsLoading || info.status() == QWebEngineLoadingInfo::LoadStoppedStatus)
            return;
        TLoadResult result;
        result.Url = info.url();
        result.Ok = info.status() == QWebEngineLoadingInfo::LoadSucceededStatus;
        if (!result.Ok) {
            // The server's own error answer is a page like any other.
            const bool network = info.errorDomain() != QWebEngineLoadingInfo::HttpStatusCodeDomain;
            result.ErrorCode = info.errorCode() > 0 && network ? -info.errorCode() : info.errorCode();
            result.Failure = network ? LoadFailureOf(result.ErrorCode) : TLoadFailure::None;
            result.Description = info.errorString();
        }
        Q_EMIT LoadFinished(result);
    });
    connect(page, &QWebEnginePage::windowCloseRequested, this, &TChromium::CloseRequested);
    connect(page, &QWebEnginePage::printRequested, this, &TChromium::PrintRequested);
    connect(page, &QWebEnginePage::certificateError, this, [this](const QWebEngineCertificateError& reported) {
        QWebEngineCertificateError error = reported; // shares the engine's pending answer
        TCertificateError info;
        info.Url = error.url();
        info.Description = error.description();
        info.Overridable = error.isOverridable();
        info.IssuerUnknownOnly = error.type() == QWebEngineCertificateError::CertificateAuthorityInvalid;
        info.Chain = error.certificateChain();
        // The page itself (its address, or a redirect of it on the same
        // host) rather than a picture or script it uses.
        info.MainFrame = error.url().adjusted(QUrl::RemoveFragment) == FLoadingUrl.adjusted(QUrl::RemoveFragment)
                         || (!FLoadingUrl.host().isEmpty() && error.url().host() == FLoadingUrl.host());
        if (Handler().crmCertificateError(this, info))
            error.acceptCertificate();
        else
            error.rejectCertificate();
    });
    // The engine reads the authenticator as soon as the slot returns: the
    // answer (a box included) is given here. Only a null authenticator gives
    // up; one left as it is would send an empty name and be asked again.
    const auto signIn = [this](const TSignInRequest& request, QAuthenticator* authenticator) {
        const std::optional<TCredentials> credentials = Handler().crmSignInRequired(this, request);
        if (!credentials) {
            *authenticator = QAuthenticator();
            return;
        }
        authenticator->setUser(credentials->User);
        authenticator->setPassword(credentials->Password);
    };
    connect(page, &QWebEnginePage::authenticationRequired, this,
            [signIn](const QUrl& url, QAuthenticator* authenticator) {
                signIn({url, authenticator->realm(), false, QString()}, authenticator);
            });
    connect(page, &QWebEnginePage::proxyAuthenticationRequired, this,
            [signIn](const QUrl& url, QAuthenticator* authenticator, const QString& proxyHost) {
                signIn({url, authenticator->realm(), true, proxyHost}, authenticator);
            });
    connect(page, &QWebEnginePage::selectClientCertificate, this,
            [this](QWebEngineClientCertificateSelection selection) {
                const QList<QSslCertificate> offered = selection.certificates();
                const std::optional<int> chosen =
                    Handler().crmSelectClientCertificate(this, {selection.host().authority(), offered});
                if (chosen && *chosen >= 0 && *chosen < offered.size())
                    selection.select(offered.at(*chosen));
                else
                    selection.selectNone();
            });
    connect(page, &QWebEnginePage::renderProcessTerminated, this,
            [this](QWebEnginePage::RenderProcessTerminationStatus status, int exitCode) {
                FIsLoading = false;
                // A print under way cannot finish now: say so, so the next one may start.
                FinishPrint(false);
                FinishPdfData(FPdfDataSerial, {});
                Q_EMIT RenderProcessTerminated(TerminationOf(status), exitCode);
            });
    connect(page, &QWebEnginePage::featurePermissionRequested, this,
            [this](const QUrl& origin, QWebEnginePage::Feature feature) {
                if (const auto known = FeatureOf(feature))
                    Q_EMIT FeaturePermissionRequested(origin, *known);
                else if (FPage)
                    FPage->setFeaturePermission(origin, feature, QWebEnginePage::PermissionDeniedByUser);
            });
    connect(page, &QWebEnginePage::fullScreenRequested, this, [this](QWebEngineFullScreenRequest request) {
        if (Handler().crmFullScreenRequest(this, request.toggleOn()))
            request.accept();
        else
            request.reject();
    });
    connect(FView, &QWebEngineView::printFinished, this, [this](bool ok) { FinishPrint(ok); });
    connect(page, &QWebEnginePage::pdfPrintingFinished, this, [this](const QString&, bool ok) { FinishPrint(ok); });
    connect(page, &QWebEnginePage::urlChanged, this, [this](const QUrl& url) { Q_EMIT UrlChanged(url.toString()); });
    connect(page, &QWebEnginePage::newWindowRequested, this, [this](QWebEngineNewWindowRequest& request) {
        TPopupRequest popup;
        popup.TargetUrl = request.requestedUrl();
        popup.Disposition = DispositionOf(request.destination());
        popup.UserGesture = request.isUserInitiated();
        auto* target = qobject_cast<TQtChromium*>(Handler().crmBeforePopup(this, popup));
        if (target && target->FPage) {
            target->FIsPopup = true;
            request.openIn(target->FPage);
        }
        // Not opened: the page gets no window, as if the popup was blocked.
    });
}

TQtChromium::~TQtChromium()
{
    // No event may reach the owner while the view goes away, nor this
    // filter: the view is no longer a view while its children are removed.
    FDestroying = true;
    SetHandler(nullptr);
    if (FPage)
        FPage->disconnect(this);
    delete FView.data();
    delete FPage.data();
}

void TQtChromium::Load(const QString& url)
{
    if (FPage)
        FPage->load(QUrl::fromUserInput(url));
}

void TQtChromium::StopLoad()
{
    if (FPage)
        FPage->triggerAction(QWebEnginePage::Stop);
}

void TQtChromium::Reload()
{
    if (FPage)
        FPage->triggerAction(QWebEnginePage::Reload);
}

void TQtChromium::SetFeaturePermission(const QUrl& origin, TPageFeature feature, bool granted)
{
    if (FPage)
        FPage->setFeaturePermission(origin, EngineFeatureOf(feature),
                                    granted ? QWebEnginePage::PermissionGrantedByUser
                                            : QWebEnginePage::PermissionDeniedByUser);
}

void TQtChromium::Print(QPrinter* printer, std::function<void(bool ok)> done)
{
    if (!FView || !printer || FPrintDone) {
        if (done)
            done(false);
        return;
    }
    FPrintDone = std::move(done);
    FView->print(printer);
}

void TQtChromium::PrintToPdf(const QString& path, const QPageLayout& layout, std::function<void(bool ok)> done)
{
    if (!FPage || path.isEmpty() || FPrintDone) {
        if (done)
            done(false);
        return;
    }
    FPrintDone = std::move(done);
    FPage->printToPdf(path, layout);
}

void TQtChromium::PrintToPdfData(const QPageLayout& layout, std::function<void(const QByteArray& pdf)> done)
{
    if (!FPage || FPdfDataDone) {
        if (done)
            done({});
        return;
    }
    FPdfDataDone = std::move(done);
    const int serial = ++FPdfDataSerial;
    const QPointer<TQtChromium> self(this);
    FPage->printToPdf(
        [self, serial](const QByteArray& pdf) {
            if (self)
                self->FinishPdfData(serial, pdf);
        },
        layout);
}

void TQtChromium::FinishPdfData(int serial, const QByteArray& pdf)
{
    // An answer for a request already given up (its page process ended) is dropped.
    if (serial != FPdfDataSerial)
        return;
    if (auto done = std::exchange(FPdfDataDone, nullptr))
        done(pdf);
}

void TQtChromium::FinishPrint(bool ok)
{
    if (auto done = std::exchange(FPrintDone, nullptr))
        done(ok);
}

void TQtChromium::ExitFullScreen()
{
    if (FPage)
        FPage->triggerAction(QWebEnginePage::ExitFullScreen);
}

void TQtChromium::ReloadBypassingCache()
{
    if (FPage)
        FPage->triggerAction(QWebEnginePage::ReloadAndBypassCache);
}

void TQtChromium::GoBack()
{
    if (FPage)
        FPage->triggerAction(QWebEnginePage::Back);
}

void TQtChromium::GoForward()
{
    if (FPage)
        FPage->triggerAction(QWebEnginePage::Forward);
}

void TQtChromium::FindText(const QString& text, bool backward)
{
    if (!FPage)
        return;
    const int request = ++FFindRequest;
    if (text.isEmpty()) {
        // An empty text only ends the search: say so, the engine may not.
        FPage->findText(QString());
        Q_EMIT FindResult(0, 0);
        return;
    }
    // A search overtaken by a newer one (typing on) may still answer, with
    // no matches: only the newest answer counts.
    FPage->findText(text, backward ? QWebEnginePage::FindBackward : QWebEnginePage::FindFlags(),
                    [self = QPointer<TQtChromium>(this), request](const QWebEngineFindTextResult& result) {
                        if (self && request == self->FFindRequest)
                            Q_EMIT self->FindResult(result.activeMatch(), result.numberOfMatches());
                    });
}

void TQtChromium::SetZoomFactor(double factor)
{
    if (FPage && !qFuzzyCompare(FPage->zoomFactor(), factor))
        FPage->setZoomFactor(factor);
}

double TQtChromium::ZoomFactor() const
{
    return FPage ? FPage->zoomFactor() : 1.0;
}

void TQtChromium::WatchPageWidget(QObject* child)
{
    if (child && child->isWidgetType())
        child->installEventFilter(this);
}

bool TQtChromium::eventFilter(QObject* watched, QEvent* event)
{
    if (FDestroying)
        return false;
    if (watched == FView) {
        if (event->type() == QEvent::ChildAdded)
            WatchPageWidget(static_cast<QChildEvent*>(event)->child());
        return false;
    }
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        FLastInput.start();
        return false;
    case QEvent::KeyPress: {
        FLastInput.start();
        const auto* key = static_cast<QKeyEvent*>(event);
        return Handler().crmPreKeyEvent(this, {key->key(), key->modifiers(), key->isAutoRepeat()});
    }
    case QEvent::Wheel: {
        auto* wheel = static_cast<QWheelEvent*>(event);
        if (!wheel->modifiers().testFlag(Qt::ControlModifier))
            return false;
        // Whole notches of 120; a touchpad sends smaller pieces that add up.
        FWheelAngle += wheel->angleDelta().y();
        const int steps = FWheelAngle / QWheelEvent::DefaultDeltasPerStep;
        FWheelAngle -= steps * QWheelEvent::DefaultDeltasPerStep;
        if (steps != 0)
            Q_EMIT ZoomWheel(steps);
        wheel->accept();
        return true;
    }
    default:
        return false;
    }
}

void TQtChromium::keyPressEvent(QKeyEvent* event)
{
    event->accept();
    Q_EMIT KeyUnhandled({event->key(), event->modifiers(), event->isAutoRepeat()});
}

bool TQtChromium::HadInputJustNow() const
{
    // About as long as a browser lets a click count for what it starts.
    constexpr qint64 InputCountsMs = 2000;
    return FLastInput.isValid() && FLastInput.elapsed() < InputCountsMs;
}

QString TQtChromium::Url() const
{
    return FPage ? FPage->url().toString() : QString();
}

QString TQtChromium::Title() const
{
    return FPage ? FPage->title() : QString();
}

bool TQtChromium::IsLoading() const
{
    return FIsLoading;
}

QByteArray TQtChromium::SaveHistory() const
{
    QByteArray history;
    if (FPage) {
        QDataStream stream(&history, QIODevice::WriteOnly);
        stream << *FPage->history();
    }
    return history;
}

void TQtChromium::RestoreHistory(const QByteArray& history)
{
    if (!FPage || history.isEmpty())
        return;
    QDataStream stream(history);
    stream >> *FPage->history();
}

void TQtChromium::RequestClose()
{
    if (FPage)
        FPage->triggerAction(QWebEnginePage::RequestClose);
}

void TQtChromium::SetClipboardAccess(bool allowed)
{
    if (FPage)
        FPage->settings()->setAttribute(QWebEngineSettings::JavascriptCanAccessClipboard, allowed);
}

void TQtChromium::SetDefaultTextEncoding(const QString& encoding)
{
    if (FPage)
        FPage->settings()->setDefaultTextEncoding(encoding);
}

void TQtChromium::SaveUrlToFile(const QUrl& url, const QString& path, std::function<void(bool ok)> done)
{
    if (!FPage || !url.isValid()) {
        if (done)
            done(false);
        return;
    }
    FPendingSaves.Add(url, path, std::move(done), MonotonicMs());
    // A download that never comes is reported as a failed save.
    QTimer::singleShot(TPendingSaves::LifetimeMs + 100, this, [this] { ExpirePendingSaves(); });
    FPage->download(url, QFileInfo(path).fileName());
}

bool TQtChromium::TakePendingSave(const QUrl& url, TPendingSave& save)
{
    std::optional<TPendingSave> taken = FPendingSaves.Take(url, MonotonicMs());
    if (!taken)
        return false;
    save = std::move(*taken);
    return true;
}

void TQtChromium::ExpirePendingSaves()
{
    for (const TPendingSave& save : FPendingSaves.TakeExpired(MonotonicMs()))
        if (save.Done)
            save.Done(false);
}

QWebEnginePage* TQtChromium::Page() const
{
    return FPage;
}

QWebEngineView* TQtChromium::View() const
{
    return FView;
}

TQtChromium* TQtChromium::FromPage(QWebEnginePage* page)
{
    const auto* own = qobject_cast<TQtWebPage*>(page);
    return own ? own->Owner() : nullptr;
}

bool TQtChromium::RaiseJsDialog(const TJsDialogRequest& request, TJsDialogReply& reply)
{
    CallJsDialog(request, reply);
    return reply.Handled;
}

void TQtChromium::RaiseBeforeResourceLoad(const QUrl& url, TRequestHeaders& headers)
{
    Handler().crmBeforeResourceLoad(this, url, headers);
}

void TQtChromium::RaiseContextMenu(QWidget* menuParent, const QPoint& globalPos)
{
    if (!FView || !FPage)
        return;
    // The request is only valid inside the event: copy what the shell reads.
    TContextMenuParams params;
    if (const QWebEngineContextMenuRequest* request = FView->lastContextMenuRequest()) {
        params.MediaType = MediaTypeOf(request->mediaType());
        params.SourceUrl = request->mediaUrl();
        params.LinkUrl = request->linkUrl();
    }
    params.PageUrl = FPage->url();

    QMenu* standard = FView->createStandardContextMenu();
    const std::map<QAction*, TContextMenuModel::TRole> roles = {
        {FPage->action(QWebEnginePage::Back), TContextMenuModel::TRole::Back},
        {FPage->action(QWebEnginePage::Forward), TContextMenuModel::TRole::Forward},
        {FPage->action(QWebEnginePage::Reload), TContextMenuModel::TRole::Reload},
        {FPage->action(QWebEnginePage::Copy), TContextMenuModel::TRole::Copy},
        {FPage->action(QWebEnginePage::Cut), TContextMenuModel::TRole::Cut},
        {FPage->action(QWebEnginePage::Paste), TContextMenuModel::TRole::Paste},
        {FPage->action(QWebEnginePage::SelectAll), TContextMenuModel::TRole::SelectAll},
        {FPage->action(QWebEnginePage::ViewSource), TContextMenuModel::TRole::ViewSource},
    };
    TContextMenuModel model;
    std::map<int, QAction*> engineActions;
    int nextId = 1;
    for (QAction* action : standard->actions()) {
        if (action->isSeparator()) {
            model.AddSeparator();
            continue;
        }
        const auto role = roles.find(action);
        const int id = nextId++;
        engineActions[id] = action;
        model.AddItem(id, action->text(), role == roles.end() ? TContextMenuModel::TRole::Other : role->second);
    }
    Handler().crmBeforeContextMenu(this, params, model);

    auto* menu = new QMenu(menuParent);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    standard->setParent(menu, standard->windowFlags()); // its actions stay alive while the menu shows
    for (const auto& item : model.Items()) {
        if (item.Separator) {
            menu->addSeparator();
        } else if (const auto found = engineActions.find(item.CommandId); found != engineActions.end()) {
            menu->addAction(found->second);
        } else {
            const int commandId = item.CommandId;
            QAction* action = menu->addAction(item.Label);
            connect(action, &QAction::triggered, this,
                    [this, params, commandId] { Q_EMIT ContextMenuCommand(params, commandId); });
        }
    }
    if (menu->isEmpty()) {
        delete menu;
        return;
    }
    menu->popup(globalPos);
}

#include "QtChromium.moc"

TChromium* TQtChromium::CopyOfDocument(const TFrameDocument& document, QWidget* parent)
{
    // The engine takes the markup as a data address, which it limits to 2 MB.
    constexpr qsizetype MaxMarkup = 2 * 1000 * 1000;
    if (!FPage || document.Html.toUtf8().size() > MaxMarkup)
        return nullptr;
    auto* copy = new TQtChromium(FPage->profile(), parent);
    copy->hide();
    // A snapshot to print: its scripts would change it, or print again.
    copy->FPage->settings()->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
    copy->FPage->setHtml(document.Html, document.Url);
    return copy;
}
