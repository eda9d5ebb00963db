#include "platform/DataFolder.h"

#include <QDir>

namespace {

QString WithSeparator(QString folder)
{
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

} // namespace

QStringList UserDataFolderCandidates(const TDataFolderFacts& facts)
{
    QStringList candidates;
    const auto add = [&candidates](const QString& base, const QString& below) {
        // Relative values are ignored, as the XDG rules ask: they would land
        // wherever the program happened to be started.
        if (base.isEmpty() || !QDir::isAbsolutePath(base))
            return;
        const QString folder = WithSeparator(QDir::cleanPath(base + below + QLatin1Char('/') + QLatin1String(UserDataFolderName)));
        if (!candidates.contains(folder))
            candidates << folder;
    };
    add(facts.XdgDataHome, QString());
    add(facts.Home, QStringLiteral("/.local/share"));
    add(facts.AccountHome, QStringLiteral("/.local/share"));
    return candidates;
}

TDataFolder ChooseDataFolder(const TDataFolderFacts& facts, const std::function<bool(const QString&)>& make)
{
    if (!facts.ProgramFolder.isEmpty() && facts.ProgramFolderWritable && facts.ProgramFolderPrivate
        && !facts.SystemInstall)
        return {WithSeparator(facts.ProgramFolder), true, QString()};
    const QStringList candidates = UserDataFolderCandidates(facts);
    if (candidates.isEmpty())
        return {QString(), false, QStringLiteral("找不到用户数据文件夹（HOME 未设置）。")};
    for (const QString& folder : candidates)
        if (make(folder))
            return {folder, false, QString()};
    return {QString(), false, QStringLiteral("无法创建用户数据文件夹：%1").arg(QDir::toNativeSeparators(candidates.first()))};
}

TDataFolder ResolveDataFolder(const QString& programFolder)
{
    return ChooseDataFolder(Platform::DataFolderFacts(programFolder), &Platform::MakeUserFolder);
}
