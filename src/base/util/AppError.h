#pragma once

#include <QString>

#include <exception>

// A failure raised by the shell's own code, carrying the text shown to the
// user (or written to the debug channel by background tasks).
class EAppError : public std::exception
{
public:
    explicit EAppError(QString message)
        : FMessage(std::move(message)), FUtf8(FMessage.toUtf8())
    {
    }
    const QString& Message() const noexcept { return FMessage; }
    const char* what() const noexcept override { return FUtf8.constData(); }

private:
    QString FMessage;
    QByteArray FUtf8;
};
