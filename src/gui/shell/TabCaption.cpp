#include "shell/TabCaption.h"

namespace {

bool Fits(const QFontMetrics& metrics, QStringView text, int limit)
{
    return metrics.horizontalAdvance(text.toString()) + 25 <= limit;
}

// Never end a cut inside a surrogate pair.
qsizetype WholeCharacters(const QString& text, qsizetype length)
{
    if (length > 0 && length < text.size() && text[length].isLowSurrogate() && text[length - 1].isHighSurrogate())
        --length;
    return length;
}

} // namespace

QString ShortenTabCaption(const QString& caption, const QFontMetrics& metrics, int limit)
{
    const QString text = caption.trimmed();
    if (Fits(metrics, text, limit))
        return text;
    // The longest prefix that fits, found by halving so that a title of any
    // length costs a handful of measurements, not one per character.
    qsizetype low = 0;
    qsizetype high = text.size();
    while (low < high) {
        const qsizetype middle = WholeCharacters(text, low + (high - low + 1) / 2);
        if (middle <= low) {
            high = low;
            break;
        }
        if (Fits(metrics, QStringView(text).left(middle), limit))
            low = middle;
        else
            high = middle - 1;
    }
    return text.left(WholeCharacters(text, low));
}
