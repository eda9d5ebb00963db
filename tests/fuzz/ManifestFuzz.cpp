// The version manifest on any body: the reading fails only by its own error,
// reads what a plain JSON reading of the same body reads, and the hand-over
// document reads back as the name it was made from.

#include "FuzzTarget.h"

#include "service/VersionManifest.h"
#include "util/AppError.h"
#include "util/SystemText.h"
#include "util/TextEncoding.h"

#include <nlohmann/json.hpp>

namespace {

using TJson = nlohmann::ordered_json;

QString Member(const TJson& value, const char* name)
{
    return TrimControl(VersionManifest::MemberText(value, QString::fromLatin1(name)));
}

int Depth(const QByteArray& bytes)
{
    int depth = 0;
    int deepest = 0;
    bool inString = false;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '{' || c == '[') {
            deepest = std::max(deepest, ++depth);
        } else if (c == '}' || c == ']') {
            --depth;
        }
    }
    return deepest;
}

} // namespace

VELMAR_FUZZ_TARGET(manifest)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QString body = QString::fromUtf8(bytes);
    std::optional<TVersionManifest> manifest;
    try {
        manifest = VersionManifest::Read(body);
    } catch (const EAppError&) {
        FUZZ_CHECK(Depth(body.toUtf8()) > VersionManifest::MaxDepth, body);
        return;
    }
    // A body that is exactly one JSON object reads as a plain JSON reading
    // of it gives (the last of members given twice).
    const QByteArray utf8 = body.toUtf8();
    if (TJson::accept(utf8.constBegin(), utf8.constEnd())) {
        const TJson reference = TJson::parse(utf8.constBegin(), utf8.constEnd());
        FUZZ_CHECK(manifest.has_value(), body);
        if (reference.is_object()) {
            FUZZ_CHECK(manifest->FVersion == Member(reference, "Version"), body + QStringLiteral(" -> ") + manifest->FVersion);
            FUZZ_CHECK(manifest->FInfo == Member(reference, "Info"), body + QStringLiteral(" -> ") + manifest->FInfo);
        } else {
            FUZZ_CHECK(manifest->FVersion.isEmpty() && manifest->FInfo.isEmpty(), body);
        }
    }
    if (manifest) {
        FUZZ_CHECK(manifest->FVersion == TrimControl(manifest->FVersion), body);
        FUZZ_CHECK(manifest->FInfo == TrimControl(manifest->FInfo), body);
    }
}

VELMAR_FUZZ_TARGET(hand_over)
{
    const QString name = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QString document = VersionManifest::HandOverDocument(name);
    const QByteArray utf8 = document.toUtf8();
    FUZZ_CHECK(TJson::accept(utf8.constBegin(), utf8.constEnd()), document);
    const TJson value = TJson::parse(utf8.constBegin(), utf8.constEnd());
    FUZZ_CHECK(value.size() == 2 && value.begin().key() == "ExeName", document);
    FUZZ_CHECK(QString::fromStdString(value.at("ExeName").get<std::string>()) == name, document);
    FUZZ_CHECK(value.at("FileName") == "update.rar", document);
    const QString word = VersionManifest::HandOverText(document);
    FUZZ_CHECK(!word.contains(u'\r') && !word.contains(u'\n') && !word.contains(u' '), word);
    FUZZ_CHECK(QByteArray::fromBase64(word.toLatin1()) == ToSystemText(document), word);
}
