// Page commands, query and Base64 encoding, save names and the readers of
// the tools' output, on any text.

#include "FuzzTarget.h"

#include "service/Fingerprint.h"
#include "page/ImageSaveName.h"
#include "page/PageCommand.h"
#include "util/SystemText.h"
#include "util/TextEncoding.h"

#include <QStringDecoder>
#include <QStringList>
#include <QUrl>

namespace {

QString TextOf(const std::uint8_t* data, std::size_t size)
{
    return QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}

} // namespace

VELMAR_FUZZ_TARGET(page_command)
{
    const QString text = TextOf(data, size);
    const TPageCommand command = ParsePageCommand(text);
    const QString prefix = QString::fromLatin1(PageCommandPrefix);
    FUZZ_CHECK((command.Kind == TPageCommandKind::Dialog) == !text.startsWith(prefix), text);
    if (command.Kind == TPageCommandKind::Dialog) {
        FUZZ_CHECK(command.Command.isEmpty() && command.Argument.isEmpty(), text);
        return;
    }
    FUZZ_CHECK(!command.Command.contains(u':'), text);
    if (text.indexOf(u':', prefix.size()) >= 0)
        FUZZ_CHECK(prefix + command.Command + u':' + command.Argument == text, text);
    else
        FUZZ_CHECK(command.Kind == TPageCommandKind::EngineOwn, text);
    if (command.Kind == TPageCommandKind::ClearCache)
        FUZZ_CHECK(command.Command == QLatin1String("CLEAR_CACHE"), text);
    if (command.Kind == TPageCommandKind::Relogin)
        FUZZ_CHECK(command.Command == QLatin1String("RELOGIN"), text);
    if (command.Command == QLatin1String("CLEAR_CACHE") || command.Command == QLatin1String("RELOGIN"))
        FUZZ_CHECK(command.Kind != TPageCommandKind::EngineOwn, text);
}

VELMAR_FUZZ_TARGET(query_value)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QByteArray encoded = EncodeQueryValue(bytes);
    static const QByteArray kept = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789!$'()*-.@_+%";
    for (const char c : encoded)
        FUZZ_CHECK(kept.contains(c), QString::fromLatin1(encoded));
    // Decoding gives the bytes up to the first zero byte.
    const qsizetype zero = bytes.indexOf('\0');
    QByteArray decoded = encoded;
    decoded.replace('+', ' ');
    FUZZ_CHECK(QByteArray::fromPercentEncoding(decoded) == (zero < 0 ? bytes : bytes.left(zero)),
               QString::fromLatin1(encoded));
    // The UTF-8 of a text gets no byte-order mark put in front: read back
    // with an initial mark kept as a character, it is the text itself.
    const QString text = QString::fromUtf8(bytes);
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
    FUZZ_CHECK(QString(decoder(Utf8Encode(text))) == text, text);
}

VELMAR_FUZZ_TARGET(base64_text)
{
    const QString text = TextOf(data, size);
    const QString encoded = EncodeBase64Text(text);
    const QStringList lines = encoded.split(QStringLiteral("\r\n"));
    // Full lines of 76 and a shorter (maybe empty) last one.
    for (qsizetype i = 0; i < lines.size(); ++i)
        FUZZ_CHECK(i + 1 < lines.size() ? lines[i].size() == 76 : lines[i].size() < 76, encoded);
    FUZZ_CHECK(QByteArray::fromBase64(encoded.toLatin1()) == ToSystemText(text), encoded);
    const QString trimmed = TrimControl(text);
    FUZZ_CHECK(trimmed.isEmpty() || (trimmed.front() > u' ' && trimmed.back() > u' '), trimmed);
    FUZZ_CHECK(text.contains(trimmed), trimmed);
}

VELMAR_FUZZ_TARGET(image_save_name)
{
    const QString url = TextOf(data, size);
    const TImageSaveName name = ImageSaveName(url);
    FUZZ_CHECK(!name.FileName.contains(u'/') && !name.FileName.contains(u'\\') && !name.FileName.contains(u':'),
               name.FileName);
    QString flipped = url;
    flipped.replace(u'/', u'\\');
    FUZZ_CHECK(flipped.endsWith(name.FileName), name.FileName);
    FUZZ_CHECK(name.FileName.endsWith(name.DefaultExt), name.DefaultExt);
    FUZZ_CHECK(name.DefaultExt.isEmpty() || (name.DefaultExt.startsWith(u'.') && name.DefaultExt.count(u'.') == 1),
               name.DefaultExt);
    FUZZ_CHECK(name.DefaultExt.isEmpty() == !name.FileName.contains(u'.'), name.FileName);
    FUZZ_CHECK(name.Filter == u'*' + name.DefaultExt + QStringLiteral("|*") + name.DefaultExt, name.Filter);
}

VELMAR_FUZZ_TARGET(tool_output)
{
    const QStringList lines = TextOf(data, size).split(u'\n');
    QStringList addresses = lines;
    ExtractMacAddresses(addresses);
    for (qsizetype i = 0; i < addresses.size(); ++i) {
        FUZZ_CHECK(!addresses[i].isEmpty() && !addresses[i].contains(u'-'), addresses[i]);
        FUZZ_CHECK(addresses[i] == TrimControl(addresses[i]), addresses[i]);
        for (qsizetype j = 0; j < i; ++j)
            FUZZ_CHECK(addresses[i].compare(addresses[j], Qt::CaseInsensitive) != 0, addresses[i]);
    }
    FUZZ_CHECK(addresses.size() <= lines.size(), QString::number(addresses.size()));
    const QString arp = FirstArpAddress(lines);
    FUZZ_CHECK(!arp.contains(u' ') && arp == TrimControl(arp), arp);
    if (!arp.isEmpty())
        FUZZ_CHECK(lines.size() >= 4 && lines[3].contains(arp), arp);
}
