#pragma once

#include <QString>

#include <nlohmann/json.hpp>

#include <optional>

// The version manifest the service publishes, and the pieces of the update
// hand-over that do not touch a window or start a program.

// What the version check reads of the manifest, both trimmed.
struct TVersionManifest
{
    QString FVersion;
    QString FInfo;
};

namespace VersionManifest {

// Containers nested deeper than this make the reading fail.
inline constexpr int MaxDepth = 256;

// The first value of a reply body, as far as it is read: an object keeps
// only its Version and Info members (and Package, where the updater finds
// the package), an array no elements. A body that does not begin with a
// JSON value is one text value (an empty body the empty text); text after
// the first value is ignored. Costs time in proportion to the body. nullopt when the body begins like an object, array
// or string that does not parse. Raises EAppError when it nests too deeply.
std::optional<nlohmann::ordered_json> ReadValue(const QString& body);

// A member of value read as text: a string as it is, a missing member (or
// any value that is not an object) the empty text, anything else its
// compact JSON text. Not trimmed.
QString MemberText(const nlohmann::ordered_json& value, const QString& name);

// Version and Info of a reply body; nullopt when the body gives no value.
// Raises EAppError as ReadValue does.
std::optional<TVersionManifest> Read(const QString& body);

// The published version is the client's own: nothing to offer.
bool IsClientVersion(const QString& version);

// The question asking whether to update, or nullopt when the client is
// current.
std::optional<QString> UpdateQuestion(const TVersionManifest& manifest);

// The question shown when the manifest gives no Info.
QString DefaultQuestion();

// The compact JSON object handed to the updater: ExeName, then FileName.
QString HandOverDocument(const QString& exeName);

// The hand-over document as one Base64 word of its system code-page bytes.
QString HandOverText(const QString& document);

} // namespace VersionManifest
