#include "config/IniFile.h"

#include "config/IniText.h"
#include "util/AppError.h"
#include "util/SystemText.h"

#include <QFile>
#include <QSaveFile>

namespace {

// Whole file, or nullopt when it exists but cannot be read.
std::optional<QByteArray> ReadAll(const QString& path)
{
    QFile file(path);
    if (!file.exists())
        return QByteArray();
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

} // namespace

TIniFile::TIniFile(QString path)
    : FPath(std::move(path))
{
}

QString TIniFile::ReadString(const QString& section, const QString& key, const QString& defaultValue) const
{
    const auto text = ReadAll(FPath);
    if (!text)
        return defaultValue;
    const auto value = IniText::FindValue(*text, ToSystemText(section), ToSystemText(key));
    return value ? FromSystemText(*value) : defaultValue;
}

int TIniFile::ReadInteger(const QString& section, const QString& key, int defaultValue) const
{
    return IniText::ParseInteger(ReadString(section, key, QString()), defaultValue);
}

void TIniFile::WriteString(const QString& section, const QString& key, const QString& value) const
{
    Update([&](const QByteArray& text) {
        return IniText::SetValue(text, ToSystemText(section), ToSystemText(key), ToSystemText(value));
    });
}

QList<QPair<QString, QString>> TIniFile::ReadSection(const QString& section) const
{
    QList<QPair<QString, QString>> entries;
    const auto text = ReadAll(FPath);
    if (!text)
        return entries;
    for (const auto& [key, value] : IniText::SectionValues(*text, ToSystemText(section)))
        entries.append({FromSystemText(key), FromSystemText(value)});
    return entries;
}

void TIniFile::DeleteKey(const QString& section, const QString& key) const
{
    Update([&](const QByteArray& text) { return IniText::RemoveValue(text, ToSystemText(section), ToSystemText(key)); });
}

void TIniFile::Update(const std::function<QByteArray(const QByteArray&)>& edit) const
{
    const auto fail = [this] { return EAppError(QStringLiteral("Unable to write to %1").arg(FPath)); };
    // A file we cannot read must not be replaced by one that lost its content.
    const auto text = ReadAll(FPath);
    if (!text)
        throw fail();
    const QByteArray updated = edit(*text);
    QSaveFile file(FPath);
    if (!file.open(QIODevice::WriteOnly))
        throw fail();
    // The user's alone: it names the service, the user's choices and the
    // certificates trusted; a file someone else may read is made private.
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    if (file.write(updated) != updated.size() || !file.commit())
        throw fail();
}

void TIniFile::WriteInteger(const QString& section, const QString& key, int value) const
{
    WriteString(section, key, QString::number(value));
}
