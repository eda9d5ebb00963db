#include "util/HttpFetch.h"

#include "util/AppError.h"
#include "util/SystemText.h"

#include <QLibrary>

#include <curl/curl.h>

#include <memory>
#include <mutex>
#include <optional>

namespace HttpFetch {

QByteArray HostHeaderValue(const QByteArray& host, int port)
{
    if (port == 80)
        return host;
    return host + ':' + QByteArray::number(port);
}

QList<QByteArray> RequestHeaderLines(const QByteArray& host, int port)
{
    return {
        "Host: " + HostHeaderValue(host, port),
        "Accept: text/html, */*",
        "Accept-Encoding: identity",
        "User-Agent: Mozilla/3.0 (compatible; Indy Library)",
    };
}

} // namespace HttpFetch

namespace {

using TClock = std::chrono::steady_clock;

// The transfer library and the TLS libraries it brings are loaded with the
// first fetch, not with the program: linked in, they cost every start tens
// of milliseconds before the login page could be asked for.
struct TCurlApi
{
    decltype(&curl_global_init) GlobalInit = nullptr;
    decltype(&curl_version_info) VersionInfo = nullptr;
    decltype(&curl_url) Url = nullptr;
    decltype(&curl_url_cleanup) UrlCleanup = nullptr;
    decltype(&curl_url_set) UrlSet = nullptr;
    decltype(&curl_url_get) UrlGet = nullptr;
    decltype(&curl_url_strerror) UrlError = nullptr;
    decltype(&curl_free) Free = nullptr;
    decltype(&curl_slist_append) ListAppend = nullptr;
    decltype(&curl_slist_free_all) ListFree = nullptr;
    decltype(&curl_easy_init) EasyInit = nullptr;
    decltype(&curl_easy_cleanup) EasyCleanup = nullptr;
    CURLcode (*EasySetOption)(CURL*, CURLoption, ...) = nullptr;
    decltype(&curl_easy_perform) EasyPerform = nullptr;
    decltype(&curl_easy_strerror) EasyError = nullptr;
};

template <typename TFunction>
void Resolve(QLibrary& library, const char* name, TFunction& function, QStringList& missing)
{
    function = reinterpret_cast<TFunction>(library.resolve(name));
    if (!function)
        missing << QLatin1String(name);
}

// Loads and sets up the library once, from whichever thread fetches first.
// The library's set-up is safe on any thread from 7.84 on, which the
// package requires; an older one is refused rather than raced.
const TCurlApi& CurlApi()
{
    static TCurlApi api;
    static QString failure;
    static std::once_flag once;
    std::call_once(once, [] {
        // Kept loaded, and never deleted, for the rest of the process: a
        // fetch on another thread may still be running at its end.
        static QLibrary* const library = new QLibrary(QStringLiteral("curl"), 4);
        if (!library->load()) {
            failure = QStringLiteral("The HTTP client library could not be loaded: ") + library->errorString();
            return;
        }
        QStringList missing;
        Resolve(*library, "curl_global_init", api.GlobalInit, missing);
        Resolve(*library, "curl_version_info", api.VersionInfo, missing);
        Resolve(*library, "curl_url", api.Url, missing);
        Resolve(*library, "curl_url_cleanup", api.UrlCleanup, missing);
        Resolve(*library, "curl_url_set", api.UrlSet, missing);
        Resolve(*library, "curl_url_get", api.UrlGet, missing);
        Resolve(*library, "curl_url_strerror", api.UrlError, missing);
        Resolve(*library, "curl_free", api.Free, missing);
        Resolve(*library, "curl_slist_append", api.ListAppend, missing);
        Resolve(*library, "curl_slist_free_all", api.ListFree, missing);
        Resolve(*library, "curl_easy_init", api.EasyInit, missing);
        Resolve(*library, "curl_easy_cleanup", api.EasyCleanup, missing);
        Resolve(*library, "curl_easy_setopt", api.EasySetOption, missing);
        Resolve(*library, "curl_easy_perform", api.EasyPerform, missing);
        Resolve(*library, "curl_easy_strerror", api.EasyError, missing);
        if (!missing.isEmpty()) {
            failure = QStringLiteral("The HTTP client library lacks %1").arg(missing.join(QLatin1String(", ")));
            return;
        }
        const curl_version_info_data* version = api.VersionInfo(CURLVERSION_NOW);
        if (!version || !(version->features & CURL_VERSION_THREADSAFE)) {
            failure = QStringLiteral("The HTTP client library %1 is too old")
                          .arg(QLatin1String(version ? version->version : "?"));
            return;
        }
        if (api.GlobalInit(CURL_GLOBAL_DEFAULT) != CURLE_OK)
            failure = QStringLiteral("The HTTP client library could not be set up");
    });
    if (!failure.isEmpty())
        throw EAppError(failure);
    return api;
}

struct TEasyDeleter
{
    void operator()(CURL* handle) const { CurlApi().EasyCleanup(handle); }
};
struct TUrlDeleter
{
    void operator()(CURLU* url) const { CurlApi().UrlCleanup(url); }
};
struct TListDeleter
{
    void operator()(curl_slist* list) const { CurlApi().ListFree(list); }
};
struct TCurlTextDeleter
{
    void operator()(char* text) const { CurlApi().Free(text); }
};
using TEasy = std::unique_ptr<CURL, TEasyDeleter>;
using TUrl = std::unique_ptr<CURLU, TUrlDeleter>;
using THeaderList = std::unique_ptr<curl_slist, TListDeleter>;
using TCurlText = std::unique_ptr<char, TCurlTextDeleter>;

} // namespace

namespace {

QString Ms(std::chrono::milliseconds span)
{
    return QString::number(span.count());
}

QByteArray UrlPart(CURLU* url, CURLUPart part, unsigned flags = 0)
{
    char* raw = nullptr;
    if (CurlApi().UrlGet(url, part, &raw, flags) != CURLUE_OK)
        return {};
    const TCurlText text(raw);
    return QByteArray(text.get());
}

QByteArray WithoutLineEnd(const char* data, size_t size)
{
    QByteArray line(data, static_cast<qsizetype>(size));
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    return line;
}

// The status code is the second space-separated field of the status line.
int StatusCode(const QByteArray& statusLine)
{
    const QList<QByteArray> fields = statusLine.split(' ');
    int index = 0;
    for (const QByteArray& field : fields) {
        if (field.isEmpty())
            continue;
        if (index++ == 1) {
            bool ok = false;
            const int code = field.toInt(&ok);
            return ok ? code : 0;
        }
    }
    return 0;
}

// What one exchange has seen of the reply; fed by curl's callbacks on the
// calling thread. A failure decided here wins over curl's own result.
class TExchange
{
public:
    explicit TExchange(const TFetchLimits& limits) : FLimits(limits), FStart(TClock::now()), FLastData(FStart) {}

    size_t OnHeader(const char* data, size_t size);
    size_t OnBody(const char* data, size_t size);
    bool OnProgress();
    void OnConnected();

    const std::optional<QString>& Failure() const { return FFailure; }
    bool Connected() const { return FConnected; }
    // Headers of a 2xx reply were read and its body is wanted.
    bool Succeeding() const { return FHeadersDone && FKeepBody; }
    bool HeaderRead() const { return FHeadersDone; }
    bool Chunked() const { return FChunked; }
    const QByteArray& Body() const { return FBody; }

private:
    bool Fail(const QString& message);
    bool EndOfHeader();
    void NextReply();

    const TFetchLimits FLimits;
    const TClock::time_point FStart;
    TClock::time_point FLastData;
    bool FConnected = false;

    QByteArray FStatusLine;
    int FStatusCode = 0;
    int FHeaderLines = 0;
    qsizetype FHeaderBytes = 0;
    bool FLocation = false;
    bool FChunked = false;
    bool FHeadersDone = false;
    bool FKeepBody = false;

    QByteArray FBody;
    qsizetype FBodyBytes = 0;
    std::optional<QString> FFailure;
};

bool TExchange::Fail(const QString& message)
{
    if (!FFailure)
        FFailure = message;
    return false;
}

void TExchange::NextReply()
{
    FStatusLine.clear();
    FStatusCode = 0;
    FHeaderLines = 0;
    FHeaderBytes = 0;
    FLocation = false;
    FChunked = false;
}

size_t TExchange::OnHeader(const char* data, size_t size)
{
    FLastData = TClock::now();
    // After the header of the final reply only chunked trailers come here.
    if (FHeadersDone)
        return size;
    FHeaderBytes += static_cast<qsizetype>(size);
    if (FHeaderBytes > FLimits.FMaxHeaderBytes) {
        Fail(QStringLiteral("The reply's header is longer than %1 bytes").arg(FLimits.FMaxHeaderBytes));
        return 0;
    }
    const QByteArray line = WithoutLineEnd(data, size);
    if (FStatusLine.isEmpty()) {
        FStatusLine = line;
        FStatusCode = StatusCode(line);
        return size;
    }
    if (line.isEmpty())
        return EndOfHeader() ? size : 0;
    if (++FHeaderLines > FLimits.FMaxHeaderLines) {
        Fail(QStringLiteral("The reply has more than %1 header lines").arg(FLimits.FMaxHeaderLines));
        return 0;
    }
    const qsizetype colon = line.indexOf(':');
    if (colon <= 0)
        return size;
    const QByteArray name = line.left(colon).trimmed().toLower();
    const QByteArray value = line.mid(colon + 1).trimmed();
    if (name == "location" && !value.isEmpty())
        FLocation = true;
    else if (name == "transfer-encoding" && value.toLower().contains("chunked"))
        FChunked = true;
    return size;
}

// Decides by the code and headers of a complete reply header; false stops
// the transfer.
bool TExchange::EndOfHeader()
{
    const QString statusLine = FromSystemText(FStatusLine);
    if (FStatusCode == 101)
        return Fail(statusLine); // no protocol switch was asked for; what follows is not HTTP
    if (FStatusCode >= 100 && FStatusCode < 200) {
        NextReply(); // an interim reply; the real one follows
        return true;
    }
    if (FLocation || (FStatusCode >= 300 && FStatusCode < 400 && FStatusCode != 304))
        return Fail(statusLine);
    if (FStatusCode == 401 || FStatusCode == 407)
        return Fail(statusLine);
    FHeadersDone = true;
    FKeepBody = FStatusCode >= 200 && FStatusCode < 300;
    // Any other code: the body is still read, then dropped.
    if (!FKeepBody)
        Fail(statusLine);
    return true;
}

size_t TExchange::OnBody(const char* data, size_t size)
{
    FLastData = TClock::now();
    FBodyBytes += static_cast<qsizetype>(size);
    if (FBodyBytes > FLimits.FMaxBodyBytes) {
        Fail(QStringLiteral("The reply's body is longer than %1 bytes").arg(FLimits.FMaxBodyBytes));
        return 0;
    }
    if (Succeeding())
        FBody.append(data, static_cast<qsizetype>(size));
    return size;
}

// false stops the transfer.
bool TExchange::OnProgress()
{
    const auto now = TClock::now();
    if (now - FStart > FLimits.FTotalTimeout)
        return Fail(QStringLiteral("The reply did not arrive within %1 ms").arg(Ms(FLimits.FTotalTimeout)));
    if (FConnected && now - FLastData > FLimits.FReadTimeout)
        return Fail(QStringLiteral("The server sent nothing for %1 ms").arg(Ms(FLimits.FReadTimeout)));
    return true;
}

void TExchange::OnConnected()
{
    FConnected = true;
    FLastData = TClock::now();
}

size_t HeaderCallback(char* data, size_t size, size_t count, void* exchange)
{
    return static_cast<TExchange*>(exchange)->OnHeader(data, size * count);
}

size_t BodyCallback(char* data, size_t size, size_t count, void* exchange)
{
    return static_cast<TExchange*>(exchange)->OnBody(data, size * count);
}

int ProgressCallback(void* exchange, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    return static_cast<TExchange*>(exchange)->OnProgress() ? 0 : 1;
}

int ConnectedCallback(void* exchange, char*, char*, int, int)
{
    static_cast<TExchange*>(exchange)->OnConnected();
    return CURL_PREREQFUNC_OK;
}

template <typename TValue>
void SetOption(CURL* handle, CURLoption option, TValue value)
{
    if (CurlApi().EasySetOption(handle, option, value) != CURLE_OK)
        throw EAppError(QStringLiteral("The HTTP client refused option %1").arg(static_cast<int>(option)));
}

// The body of one exchange, and whether a counted body ended short.
struct TFetched
{
    QByteArray Body;
    bool CutShort = false;
};

TFetched Fetch(const QString& url, const TFetchLimits& limits)
{
    const TCurlApi& curl = CurlApi();

    const TUrl address(curl.Url());
    if (!address)
        throw EAppError(QStringLiteral("Out of memory"));
    const CURLUcode parsed = curl.UrlSet(address.get(), CURLUPART_URL, url.toUtf8().constData(), CURLU_PATH_AS_IS);
    if (parsed != CURLUE_OK)
        throw EAppError(QString::fromUtf8(curl.UrlError(parsed)) + QStringLiteral(": ") + url);
    if (UrlPart(address.get(), CURLUPART_SCHEME).toLower() != "http")
        throw EAppError(QStringLiteral("Only http addresses are fetched: ") + url);
    // No credentials are ever offered, not even those written in the address.
    curl.UrlSet(address.get(), CURLUPART_USER, nullptr, 0);
    curl.UrlSet(address.get(), CURLUPART_PASSWORD, nullptr, 0);
    curl.UrlSet(address.get(), CURLUPART_OPTIONS, nullptr, 0);
    const QByteArray host = UrlPart(address.get(), CURLUPART_HOST);
    const int port = UrlPart(address.get(), CURLUPART_PORT, CURLU_DEFAULT_PORT).toInt();

    // curl writes its own Host and Accept first unless they are given; given
    // here, every header line goes out in this order and nothing else does.
    THeaderList headers;
    for (const QByteArray& line : HttpFetch::RequestHeaderLines(host, port)) {
        curl_slist* const longer = curl.ListAppend(headers.get(), line.constData());
        if (!longer)
            throw EAppError(QStringLiteral("Out of memory"));
        if (!headers)
            headers.reset(longer); // later appends keep the same head
    }

    const TEasy handle(curl.EasyInit());
    if (!handle)
        throw EAppError(QStringLiteral("The HTTP client could not be created"));
    CURL* const h = handle.get();
    TExchange exchange(limits);
    char errorText[CURL_ERROR_SIZE] = {};

    SetOption(h, CURLOPT_CURLU, address.get());
    SetOption(h, CURLOPT_PROTOCOLS_STR, "http");
    SetOption(h, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    SetOption(h, CURLOPT_HTTPGET, 1L);
    SetOption(h, CURLOPT_HTTPHEADER, headers.get());
    SetOption(h, CURLOPT_FOLLOWLOCATION, 0L);
    SetOption(h, CURLOPT_PROXY, "");
    SetOption(h, CURLOPT_NOPROXY, "*");
    SetOption(h, CURLOPT_NETRC, static_cast<long>(CURL_NETRC_IGNORED));
    SetOption(h, CURLOPT_FRESH_CONNECT, 1L);
    SetOption(h, CURLOPT_FORBID_REUSE, 1L);
    SetOption(h, CURLOPT_HTTP_CONTENT_DECODING, 0L);
    SetOption(h, CURLOPT_HTTP_TRANSFER_DECODING, 1L);
    SetOption(h, CURLOPT_NOSIGNAL, 1L); // called from background threads
    SetOption(h, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(limits.FConnectTimeout.count()));
    SetOption(h, CURLOPT_ERRORBUFFER, errorText);
    SetOption(h, CURLOPT_HEADERFUNCTION, HeaderCallback);
    SetOption(h, CURLOPT_HEADERDATA, &exchange);
    SetOption(h, CURLOPT_WRITEFUNCTION, BodyCallback);
    SetOption(h, CURLOPT_WRITEDATA, &exchange);
    SetOption(h, CURLOPT_XFERINFOFUNCTION, ProgressCallback);
    SetOption(h, CURLOPT_XFERINFODATA, &exchange);
    SetOption(h, CURLOPT_NOPROGRESS, 0L);
    SetOption(h, CURLOPT_PREREQFUNCTION, ConnectedCallback);
    SetOption(h, CURLOPT_PREREQDATA, &exchange);

    const CURLcode result = curl.EasyPerform(h);

    if (exchange.Failure())
        throw EAppError(*exchange.Failure());
    if (result == CURLE_OPERATION_TIMEDOUT && !exchange.Connected())
        throw EAppError(QStringLiteral("Could not connect to %1 within %2 ms")
                            .arg(QString::fromUtf8(host), Ms(limits.FConnectTimeout)));
    // curl gives up on a header line beyond its own bound as if memory ran out.
    if (result == CURLE_OUT_OF_MEMORY && !exchange.HeaderRead())
        throw EAppError(QStringLiteral("The reply's header is too large to read"));
    // A counted body that the server cuts short ends there; a chunked one
    // that stops before its last chunk is broken.
    const bool cutShort = result == CURLE_PARTIAL_FILE && exchange.Succeeding() && !exchange.Chunked();
    if (result != CURLE_OK && !cutShort) {
        const QString text = errorText[0] ? QString::fromUtf8(errorText) : QString::fromUtf8(curl.EasyError(result));
        throw EAppError(text);
    }
    if (!exchange.Succeeding())
        throw EAppError(QStringLiteral("The server sent no complete reply header"));
    return {exchange.Body(), cutShort};
}

} // namespace

QString FetchUrlText(const QString& url, const TFetchLimits& limits)
{
    return FromSystemText(Fetch(url, limits).Body);
}

QByteArray FetchUrlBytes(const QString& url, const TFetchLimits& limits)
{
    TFetched fetched = Fetch(url, limits);
    // A file that ends early is not the file that was published.
    if (fetched.CutShort)
        throw EAppError(QStringLiteral("The reply ended before its announced length"));
    return std::move(fetched.Body);
}
