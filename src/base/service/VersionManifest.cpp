#include "service/VersionManifest.h"

#include "util/TextEncoding.h"

#include "core/Global.h"
#include "util/AppError.h"
#include "util/SystemText.h"

#include <type_traits>
#include <unordered_map>
#include <vector>

namespace VersionManifest {
namespace {

using TJson = nlohmann::ordered_json;

// Builds the first value of the input as parsing events arrive, keeping only
// what is read: of an object at the top, its Version and Info members (and
// Package, for the updater); of an array at the top, nothing. Everything
// else is parsed and dropped. An object member given twice is assigned
// twice, so its last value stays (in the place of the first); members are
// found through an index, so reading costs time in proportion to the body
// however many members an object has. Containers are counted, skipped ones too, so a hostile body
// cannot nest without bound.
class TValueBuilder
{
public:
    bool null() { return Put(nullptr); }
    bool boolean(bool value) { return Put(value); }
    bool number_integer(TJson::number_integer_t value) { return Put(value); }
    bool number_unsigned(TJson::number_unsigned_t value) { return Put(value); }
    bool number_float(TJson::number_float_t value, const TJson::string_t&) { return Put(value); }
    bool string(TJson::string_t& value) { return Put(std::move(value)); }
    bool binary(TJson::binary_t&) { return false; }
    bool start_object(std::size_t) { return Open(TJson::object()); }
    bool start_array(std::size_t) { return Open(TJson::array()); }
    bool end_object() { return Close(); }
    bool end_array() { return Close(); }
    bool key(TJson::string_t& name)
    {
        if (FSkipping > 0)
            return true;
        if (FOpen.size() == 1 && name != "Version" && name != "Info" && name != "Package") {
            FSkipNext = true;
            return true;
        }
        TFrame& frame = FOpen.back();
        auto& members = static_cast<TMembers&>(*frame.Value->get_ptr<TJson::object_t*>());
        const auto [known, added] = frame.Index.try_emplace(name, members.size());
        if (added)
            members.emplace_back(std::move(name), nullptr);
        FMember = &members[known->second].second;
        return true;
    }
    bool parse_error(std::size_t, const std::string&, const TJson::exception&) { return false; }

    bool TooDeep() const { return FTooDeep; }
    TJson TakeRoot() { return std::move(FRoot); }

private:
    // The members of an object in their order, bypassing the ordered map's
    // own insertion, which scans every member for each new one.
    using TMembers = std::vector<std::pair<const std::string, TJson>>;
    static_assert(std::is_base_of_v<TMembers, TJson::object_t>);

    struct TFrame
    {
        TJson* Value;
        std::unordered_map<std::string, std::size_t> Index; // member name -> position
    };

    // Whether the value beginning now is one the check never reads.
    bool SkipValue()
    {
        if (FSkipping > 0)
            return true;
        if (FSkipNext) {
            FSkipNext = false;
            return true;
        }
        return FOpen.size() == 1 && FOpen.back().Value->is_array();
    }
    // Where the next value goes: the root, the end of the open array, or the
    // member whose key came last. Containers are only added to after their
    // open child has closed, so the pointers kept here stay valid.
    TJson* Slot()
    {
        if (FOpen.empty())
            return &FRoot;
        TJson& container = *FOpen.back().Value;
        if (container.is_array()) {
            container.push_back(nullptr);
            return &container.back();
        }
        return FMember;
    }
    bool Put(TJson value)
    {
        if (!SkipValue())
            *Slot() = std::move(value);
        return true;
    }
    bool Open(TJson container)
    {
        if (FOpen.size() + FSkipping >= static_cast<std::size_t>(MaxDepth)) {
            FTooDeep = true;
            return false;
        }
        if (SkipValue()) {
            ++FSkipping;
            return true;
        }
        TJson* const slot = Slot();
        *slot = std::move(container);
        FOpen.push_back({slot, {}});
        return true;
    }
    bool Close()
    {
        if (FSkipping > 0)
            --FSkipping;
        else
            FOpen.pop_back();
        return true;
    }

    TJson FRoot;
    std::vector<TFrame> FOpen;
    TJson* FMember = nullptr;
    std::size_t FSkipping = 0; // containers open inside a dropped value
    bool FSkipNext = false;    // the value of a member the check does not read comes next
    bool FTooDeep = false;
};

bool IsLeadingSpace(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\f';
}

int HexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

// A body that is no JSON value: the whole text, trailing line ends and
// spaces removed, with the escapes of a JSON string decoded. An escape that
// is not one is kept as written.
QString LenientText(QString text)
{
    while (!text.isEmpty() && (text.back() == u'\n' || text.back() == u'\r' || text.back() == u' '))
        text.chop(1);
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c != u'\\' || i + 1 >= text.size()) {
            out += c;
            continue;
        }
        const QChar next = text[i + 1];
        QChar decoded;
        switch (next.unicode()) {
        case u'"': decoded = u'"'; break;
        case u'\\': decoded = u'\\'; break;
        case u'/': decoded = u'/'; break;
        case u'b': decoded = u'\b'; break;
        case u'f': decoded = u'\f'; break;
        case u'n': decoded = u'\n'; break;
        case u'r': decoded = u'\r'; break;
        case u't': decoded = u'\t'; break;
        case u'u': {
            int code = 0;
            bool valid = i + 5 < text.size();
            for (int k = 2; valid && k < 6; ++k) {
                const int digit = HexDigit(text[i + k]);
                valid = digit >= 0;
                code = code * 16 + digit;
            }
            if (valid) {
                out += QChar(static_cast<char16_t>(code));
                i += 5;
            } else {
                out += c;
            }
            continue;
        }
        default:
            out += c;
            continue;
        }
        out += decoded;
        ++i;
    }
    return out;
}

QString JsonEscaped(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == u'"' || u == u'/' || u == u'\\') {
            out += u'\\';
            out += c;
        } else if (u < 0x20) {
            // Raw control characters would make the document invalid JSON.
            out += QStringLiteral("\\u%1").arg(static_cast<int>(u), 4, 16, QLatin1Char('0'));
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace

std::optional<nlohmann::ordered_json> ReadValue(const QString& body)
{
    qsizetype start = 0;
    while (start < body.size() && IsLeadingSpace(body[start]))
        ++start;
    if (start == body.size())
        return TJson(std::string());
    const QString text = body.mid(start);
    const QByteArray utf8 = text.toUtf8();
    TValueBuilder builder;
    // Not strict: parsing stops after the first complete value.
    const bool parsed =
        TJson::sax_parse(utf8.constBegin(), utf8.constEnd(), &builder, TJson::input_format_t::json, false);
    if (builder.TooDeep())
        throw EAppError(QStringLiteral("The manifest nests deeper than %1 levels").arg(MaxDepth));
    if (parsed)
        return builder.TakeRoot();
    // Only an object, array or string that is begun and broken is rejected;
    // any other start is plain text.
    const QChar first = text[0];
    if (first == u'{' || first == u'[' || first == u'"')
        return std::nullopt;
    return TJson(LenientText(text).toStdString());
}

QString MemberText(const nlohmann::ordered_json& value, const QString& name)
{
    if (!value.is_object())
        return {};
    const auto member = value.find(name.toStdString());
    if (member == value.end())
        return {};
    if (member->is_string())
        return QString::fromStdString(member->get_ref<const std::string&>());
    return QString::fromStdString(member->dump(-1, ' ', false, TJson::error_handler_t::replace));
}


std::optional<TVersionManifest> Read(const QString& body)
{
    const std::optional<TJson> value = ReadValue(body);
    if (!value)
        return std::nullopt;
    return TVersionManifest{TrimControl(MemberText(*value, QStringLiteral("Version"))),
                            TrimControl(MemberText(*value, QStringLiteral("Info")))};
}

bool IsClientVersion(const QString& version)
{
    return version == QLatin1String(ClientVersion);
}

std::optional<QString> UpdateQuestion(const TVersionManifest& manifest)
{
    if (IsClientVersion(manifest.FVersion))
        return std::nullopt;
    const QString info = TrimControl(manifest.FInfo);
    return info.isEmpty() ? DefaultQuestion() : info;
}

QString DefaultQuestion()
{
    return QStringLiteral("发现新版本，确定要更新吗？");
}

QString HandOverDocument(const QString& exeName)
{
    return QStringLiteral("{\"ExeName\":\"") + JsonEscaped(exeName) + QStringLiteral("\",\"FileName\":\"update.rar\"}");
}

QString HandOverText(const QString& document)
{
    // toBase64 writes no line breaks: the updater gets one word.
    return QString::fromLatin1(ToSystemText(document).toBase64());
}

} // namespace VersionManifest
