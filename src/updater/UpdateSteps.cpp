#include "UpdateSteps.h"

#include "service/VersionManifest.h"
#include "util/AppError.h"
#include "util/SystemText.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSysInfo>

#include <nlohmann/json.hpp>

namespace {

// Characters of a Debian version and of a published path that are safe in
// a file name and an address; no epoch (a colon), nothing to escape.
const QRegularExpression VersionPattern(QStringLiteral("^[0-9][A-Za-z0-9.+~-]{0,63}$"));
const QRegularExpression PathPattern(QStringLiteral("^(/[A-Za-z0-9_+~-][A-Za-z0-9._+~-]*)+\\.deb$"));

// Runs a short tool and waits for it; nullopt when it cannot be run.
struct TToolRun
{
    int ExitCode = -1;
    QByteArray Output;
};

std::optional<TToolRun> RunTool(const QString& program, const QStringList& arguments, int timeoutMs)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForStarted(10000))
        return std::nullopt;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(5000);
        return std::nullopt;
    }
    if (process.exitStatus() != QProcess::NormalExit)
        return std::nullopt;
    return TToolRun{process.exitCode(), process.readAll()};
}

QString Tail(const QByteArray& output)
{
    return QString::fromUtf8(output).trimmed().right(400);
}

bool WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(bytes) == bytes.size() && file.flush();
}

TUpdateOutcome Refused(const QString& message)
{
    TUpdateOutcome outcome;
    outcome.Message = message;
    return outcome;
}

// Refusals the updater finds itself and the installing helper finds again.
QString BadSignatureText()
{
    return QStringLiteral("新版本的签名无效，可能已被篡改，已拒绝安装。");
}

QString NotThisPackageText()
{
    return QStringLiteral("下载的文件不是本客户端的安装包，已拒绝安装。");
}

QString ServiceAddress(const TUpdateContext& context, const QString& path)
{
    return QStringLiteral("http://") + context.ServiceHost + path;
}

} // namespace

std::optional<THandOver> ReadHandOver(const QString& word)
{
    const QByteArray::FromBase64Result decoded =
        QByteArray::fromBase64Encoding(word.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (word.isEmpty() || !decoded)
        return std::nullopt;
    const nlohmann::json document = nlohmann::json::parse(FromSystemText(*decoded).toStdString(), nullptr, false);
    if (!document.is_object())
        return std::nullopt;
    const auto exe = document.find("ExeName");
    const auto file = document.find("FileName");
    if (exe == document.end() || !exe->is_string() || file == document.end() || !file->is_string())
        return std::nullopt;
    THandOver handOver{QString::fromStdString(exe->get<std::string>()),
                       QString::fromStdString(file->get<std::string>())};
    // A name in the program folder, never a path that leads elsewhere.
    const QString& name = handOver.ExeName;
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..") || name.contains(QLatin1Char('/'))
        || name.contains(QLatin1Char('\\')) || name.contains(QChar(0)))
        return std::nullopt;
    return handOver;
}

std::optional<TPublishedPackage> PublishedPackage(const QString& manifestBody, const QString& architecture)
{
    std::optional<nlohmann::ordered_json> value;
    try {
        value = VersionManifest::ReadValue(manifestBody);
    } catch (const EAppError&) {
        return std::nullopt;
    }
    if (!value)
        return std::nullopt;
    TPublishedPackage package;
    package.Version = VersionManifest::MemberText(*value, QStringLiteral("Version")).trimmed();
    if (!VersionPattern.match(package.Version).hasMatch())
        return std::nullopt;
    if (value->is_object() && value->contains("Package")) {
        const nlohmann::ordered_json& path = (*value)["Package"];
        if (!path.is_string())
            return std::nullopt;
        package.Path = QString::fromStdString(path.get<std::string>());
    } else {
        package.Path = QStringLiteral("/ver/%1_%2_%3.deb").arg(QLatin1String(PackageName), package.Version, architecture);
    }
    // Each segment begins with a letter, digit or one of _+~-, so neither
    // "." nor ".." can climb out of the service's folders.
    if (!PathPattern.match(package.Path).hasMatch() || package.Path.size() > 256)
        return std::nullopt;
    return package;
}

QString VerifySignature(const QString& keyring, const QString& file, const QString& signature,
                        const QString& scratchFolder)
{
    // An empty home of its own: only the publisher's key counts, never a
    // keyring the user keeps.
    const QString home = QDir(scratchFolder).filePath(QStringLiteral("gnupg"));
    QDir().mkpath(home);
    QFile::setPermissions(home, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    const std::optional<TToolRun> run =
        RunTool(QStringLiteral("gpgv"),
                {QStringLiteral("--homedir"), home, QStringLiteral("--keyring"), QFileInfo(keyring).absoluteFilePath(),
                 signature, file},
                60000);
    if (!run)
        return QStringLiteral("gpgv could not be run");
    if (run->ExitCode != 0)
        return QStringLiteral("gpgv: %1").arg(Tail(run->Output));
    return {};
}

TPackageFacts ReadPackageFacts(const QString& deb)
{
    const std::optional<TToolRun> run =
        RunTool(QStringLiteral("dpkg-deb"), {QStringLiteral("--field"), deb, QStringLiteral("Package"),
                                             QStringLiteral("Version")}, 60000);
    TPackageFacts facts;
    if (!run || run->ExitCode != 0)
        return facts;
    for (const QByteArray& line : run->Output.split('\n')) {
        if (line.startsWith("Package: "))
            facts.Name = QString::fromUtf8(line.mid(9)).trimmed();
        else if (line.startsWith("Version: "))
            facts.Version = QString::fromUtf8(line.mid(9)).trimmed();
    }
    return facts;
}

QString DebianArchitecture()
{
    const std::optional<TToolRun> run = RunTool(QStringLiteral("dpkg"), {QStringLiteral("--print-architecture")}, 10000);
    if (run && run->ExitCode == 0) {
        if (const QString name = QString::fromUtf8(run->Output).trimmed(); !name.isEmpty())
            return name;
    }
    const QString cpu = QSysInfo::currentCpuArchitecture();
    if (cpu == QLatin1String("x86_64"))
        return QStringLiteral("amd64");
    return cpu;
}

bool IsNewerVersion(const QString& candidate, const QString& installed)
{
    const std::optional<TToolRun> run = RunTool(
        QStringLiteral("dpkg"), {QStringLiteral("--compare-versions"), candidate, QStringLiteral("gt"), installed}, 10000);
    return run && run->ExitCode == 0;
}

TUpdateOutcome RunUpdate(const TUpdateContext& context)
{
    const auto progress = [&context](const QString& step) {
        if (context.Progress)
            context.Progress(step);
    };

    progress(QStringLiteral("正在查询新版本……"));
    QString manifest;
    try {
        manifest = FromSystemText(context.Fetch(ServiceAddress(context, QStringLiteral("/ver/ver.html"))));
    } catch (const EAppError& error) {
        qWarning().noquote() << QStringLiteral("Update: the manifest could not be fetched: %1").arg(error.Message());
        return Refused(QStringLiteral("无法连接更新服务器，请稍后再试。"));
    }
    const std::optional<TPublishedPackage> package = PublishedPackage(manifest, context.Architecture);
    if (!package) {
        qWarning().noquote() << QStringLiteral("Update: the manifest names no usable version or package");
        return Refused(QStringLiteral("服务器发布的更新信息无效。"));
    }
    if (package->Version == context.ClientVersion) {
        TUpdateOutcome outcome;
        outcome.Current = true;
        outcome.Version = package->Version;
        return outcome;
    }
    // A client not installed from the package (a build folder, a copy) has
    // nothing to install with: say so before downloading.
    if (context.Installer.isEmpty()) {
        qWarning().noquote() << QStringLiteral("Update: no installing helper beside the program");
        return Refused(QStringLiteral("此客户端不是从安装包安装的，无法自动更新。请联系管理员。"));
    }

    progress(QStringLiteral("正在下载新版本 %1……").arg(package->Version));
    QByteArray deb;
    QByteArray signature;
    try {
        deb = context.Fetch(ServiceAddress(context, package->Path));
    } catch (const EAppError& error) {
        qWarning().noquote() << QStringLiteral("Update: %1 could not be fetched: %2").arg(package->Path, error.Message());
        return Refused(QStringLiteral("无法下载新版本，请稍后再试。"));
    }
    try {
        signature = context.Fetch(ServiceAddress(context, package->SignaturePath()));
    } catch (const EAppError& error) {
        qWarning().noquote() << QStringLiteral("Update: no signature at %1: %2")
                                    .arg(package->SignaturePath(), error.Message());
        return Refused(QStringLiteral("新版本没有发布者的签名，已拒绝安装。"));
    }
    const QDir work(context.WorkFolder);
    const QString debPath = work.filePath(QStringLiteral("%1_%2.deb").arg(QLatin1String(PackageName), package->Version));
    const QString signaturePath = debPath + QStringLiteral(".sig");
    if (!WriteFile(debPath, deb) || !WriteFile(signaturePath, signature)) {
        qWarning().noquote() << QStringLiteral("Update: cannot write the download into %1").arg(context.WorkFolder);
        return Refused(QStringLiteral("无法保存下载的新版本，请检查磁盘空间。"));
    }

    progress(QStringLiteral("正在校验新版本的签名……"));
    if (!QFileInfo(context.Keyring).isFile()) {
        qWarning().noquote() << QStringLiteral("Update: no publisher key at %1").arg(context.Keyring);
        return Refused(QStringLiteral("本机客户端缺少发布者的公钥，无法校验新版本。请联系管理员。"));
    }
    if (const QString problem = VerifySignature(context.Keyring, debPath, signaturePath, context.WorkFolder);
        !problem.isEmpty()) {
        qWarning().noquote() << QStringLiteral("Update: the signature of %1 is not good: %2").arg(package->Path, problem);
        return Refused(BadSignatureText());
    }
    const TPackageFacts facts = ReadPackageFacts(debPath);
    if (facts.Name != QLatin1String(PackageName)) {
        qWarning().noquote() << QStringLiteral("Update: %1 is no package of this client (%2)")
                                    .arg(package->Path, facts.Name.isEmpty() ? QStringLiteral("unreadable") : facts.Name);
        return Refused(NotThisPackageText());
    }
    if (!IsNewerVersion(facts.Version, context.ClientVersion)) {
        qWarning().noquote() << QStringLiteral("Update: %1 is not newer than %2").arg(facts.Version, context.ClientVersion);
        return Refused(QStringLiteral("下载的版本（%1）不比当前版本（%2）新，已拒绝安装。")
                           .arg(facts.Version, context.ClientVersion));
    }
    qInfo().noquote() << QStringLiteral("Update: %1 %2 is signed by the publisher; installing").arg(facts.Name, facts.Version);

    progress(QStringLiteral("正在安装新版本 %1……").arg(facts.Version));
    QProcess installer;
    installer.setProcessChannelMode(QProcess::MergedChannels);
    installer.start(context.Installer.first(), context.Installer.mid(1) << debPath << signaturePath);
    if (!installer.waitForStarted(10000)) {
        qWarning().noquote() << QStringLiteral("Update: %1 could not be started").arg(context.Installer.first());
        return Refused(QStringLiteral("系统缺少安装工具（%1），无法安装更新。请联系管理员。")
                           .arg(QFileInfo(context.Installer.first()).fileName()));
    }
    // The system's authentication prompt waits for the user: no time limit.
    installer.waitForFinished(-1);
    const int code = installer.exitStatus() == QProcess::NormalExit ? installer.exitCode() : -1;
    const QString output = Tail(installer.readAll());
    if (code != 0)
        qWarning().noquote() << QStringLiteral("Update: the installer ended with %1: %2").arg(code).arg(output);
    switch (code) {
    case 0: {
        qInfo().noquote() << QStringLiteral("Update: %1 installed").arg(facts.Version);
        TUpdateOutcome outcome;
        outcome.Installed = true;
        outcome.Version = facts.Version;
        return outcome;
    }
    case 126:
        return Refused(QStringLiteral("未获得管理员授权，更新已取消。"));
    case 127:
        return Refused(QStringLiteral("没有安装更新的权限，请联系管理员。"));
    case InstallerExit::BadSignature:
        return Refused(BadSignatureText());
    case InstallerExit::NotThisPackage:
        return Refused(NotThisPackageText());
    case InstallerExit::NotNewer:
        return Refused(QStringLiteral("下载的版本不比已安装的版本新，已拒绝安装。"));
    default:
        return Refused(QStringLiteral("安装新版本失败，请联系管理员。"));
    }
}
