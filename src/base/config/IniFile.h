#pragma once

#include <QList>
#include <QPair>
#include <QString>

#include <functional>

// The four profile-file operations on one file. Each opens and closes the
// file itself; nothing is cached between calls.
class TIniFile
{
public:
    explicit TIniFile(QString path);

    const QString& FileName() const { return FPath; }

    // Never fails: a missing file, section or key gives the default.
    QString ReadString(const QString& section, const QString& key, const QString& defaultValue) const;
    int ReadInteger(const QString& section, const QString& key, int defaultValue) const;

    // Raise EAppError("Unable to write to <path>") when the file cannot be
    // written. The file is replaced atomically: it is never left truncated.
    void WriteString(const QString& section, const QString& key, const QString& value) const;
    void WriteInteger(const QString& section, const QString& key, int value) const;

    // Every key of a section with its value, in file order; none when the
    // file, or the section, is missing or cannot be read.
    QList<QPair<QString, QString>> ReadSection(const QString& section) const;
    // Removes key from section (nothing when it is not there); raises like WriteString.
    void DeleteKey(const QString& section, const QString& key) const;

private:
    // Replaces the file's text by what edit makes of it, atomically.
    void Update(const std::function<QByteArray(const QByteArray&)>& edit) const;

    QString FPath;
};
