#include "engine/Chromium.h"

QByteArray TRequestHeaders::Value(const QByteArray& name) const
{
    for (const auto& line : FLines)
        if (line.first.compare(name, Qt::CaseInsensitive) == 0)
            return line.second;
    return {};
}

void TRequestHeaders::Set(const QByteArray& name, const QByteArray& value)
{
    for (auto& line : FLines) {
        if (line.first.compare(name, Qt::CaseInsensitive) == 0) {
            line.second = value;
            return;
        }
    }
    FLines.append({name, value});
}

TChromium* TChromiumHandler::crmBeforePopup(TChromium*, const TPopupRequest&)
{
    return nullptr;
}

void TChromiumHandler::crmBeforeResourceLoad(TChromium*, const QUrl&, TRequestHeaders&) {}

void TChromiumHandler::crmJsdialog(TChromium*, const TJsDialogRequest&, TJsDialogReply&) {}

void TChromiumHandler::crmBeforeContextMenu(TChromium*, const TContextMenuParams&, TContextMenuModel&) {}

void TChromiumHandler::crmBeforeDownload(TChromium*, const TDownloadRequest&, TDownloadReply&) {}

bool TChromiumHandler::crmFullScreenRequest(TChromium*, bool)
{
    return false;
}

bool TChromiumHandler::crmPreKeyEvent(TChromium*, const TKeyPress&)
{
    return false;
}

std::optional<TCredentials> TChromiumHandler::crmSignInRequired(TChromium*, const TSignInRequest&)
{
    return std::nullopt;
}

std::optional<int> TChromiumHandler::crmSelectClientCertificate(TChromium*, const TClientCertificateRequest&)
{
    return std::nullopt;
}

bool TChromiumHandler::crmCertificateError(TChromium*, const TCertificateError&)
{
    return false;
}

void TChromium::CallJsDialog(const TJsDialogRequest& request, TJsDialogReply& reply)
{
    ++FDialogDepth;
    Handler().crmJsdialog(this, request, reply);
    if (--FDialogDepth == 0)
        Q_EMIT DialogEnded();
}

TChromiumHandler& TChromium::Handler() const
{
    static TChromiumHandler defaults;
    return FHandler ? *FHandler : defaults;
}

TLoadFailure LoadFailureOf(int netError)
{
    switch (netError) {
    case -7:   // TIMED_OUT
    case -118: // CONNECTION_TIMED_OUT
        return TLoadFailure::TimedOut;
    case -100: // CONNECTION_CLOSED
    case -101: // CONNECTION_RESET
    case -102: // CONNECTION_REFUSED
    case -104: // CONNECTION_FAILED
    case -324: // EMPTY_RESPONSE
        return TLoadFailure::Refused;
    case -105: // NAME_NOT_RESOLVED
    case -137: // NAME_RESOLUTION_FAILED
        return TLoadFailure::NameNotFound;
    case -21:  // NETWORK_CHANGED
    case -106: // INTERNET_DISCONNECTED
    case -109: // ADDRESS_UNREACHABLE
        return TLoadFailure::NetworkDown;
    case -110: // SSL_CLIENT_AUTH_CERT_NEEDED
    case -117: // BAD_SSL_CLIENT_AUTH_CERT
    case -141: // SSL_CLIENT_AUTH_SIGNATURE_FAILED
    case -159: // SSL_CLIENT_AUTH_NO_COMMON_ALGORITHMS
    case -164: // SSL_CLIENT_AUTH_CERT_BAD_FORMAT
        return TLoadFailure::ClientCertificate;
    case -111: // TUNNEL_CONNECTION_FAILED
    case -127: // PROXY_AUTH_UNSUPPORTED
    case -130: // PROXY_CONNECTION_FAILED
    case -131: // MANDATORY_PROXY_CONFIGURATION_FAILED
    case -336: // PROXY_HTTP_1_1_REQUIRED
        return TLoadFailure::Proxy;
    default:
        break;
    }
    // The rest of the connection errors (and a socket that closed under the
    // request, SOCKET_NOT_CONNECTED); certificates (-200s), the server's
    // own answers (-300s and HTTP), a stopped load (-3) and the like are not.
    if (netError == -2 || netError == -15 || (netError <= -100 && netError > -200) || (netError <= -800 && netError > -900))
        return TLoadFailure::Other;
    return TLoadFailure::None;
}
