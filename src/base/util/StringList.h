#pragma once

#include <QString>
#include <QStringList>

// An ordered list of text lines with a text form: reading it ends every line
// with CR LF, the last one included; setting it splits at CR LF, lone CR and
// lone LF alike.
class TStringList
{
public:
    TStringList() = default;
    explicit TStringList(QStringList lines) : FLines(std::move(lines)) {}

    QString Text() const;
    void SetText(const QString& text);

    int Count() const { return static_cast<int>(FLines.size()); }
    const QString& operator[](int index) const { return FLines.at(index); }
    void Add(const QString& line) { FLines.append(line); }
    void Delete(int index) { FLines.removeAt(index); }
    void Clear() { FLines.clear(); }

    const QStringList& Lines() const { return FLines; }
    void SetLines(QStringList lines) { FLines = std::move(lines); }

    bool operator==(const TStringList& other) const = default;

private:
    QStringList FLines;
};
