#include "tabs/TabCaption.h"

#include <vector>

namespace {

bool Fits(const QFontMetrics& metrics, QStringView text, int limit)
{
    return metrics.horizontalAdvance(text.toString()) + 25 <= limit;
}

// Lengths at which the text may be cut, shortest first: every length but one
// that would split a surrogate pair.
std::vector<qsizetype> CutPoints(const QString& text)
{
    std::vector<qsizetype> cuts;
    cuts.reserve(static_cast<size_t>(text.size()) + 1);
    for (qsizetype length = 0; length <= text.size(); ++length)
        if (length == 0 || length == text.size() || !(text[length - 1].isHighSurrogate() && text[length].isLowSurrogate()))
            cuts.push_back(length);
    return cuts;
}

} // namespace

QString ShortenTabCaption(const QString& caption, const QFontMetrics& metrics, int limit)
{
    const QString text = caption.trimmed();
    if (Fits(metrics, text, limit))
        return text;
    // The longest whole-character prefix that fits, found by halving over the
    // cut points so that a title of any length costs a handful of
    // measurements, not one per character. The whole text does not fit.
    const std::vector<qsizetype> cuts = CutPoints(text);
    size_t low = 0;                // cuts[low] fits (the empty prefix always counts as fitting)
    size_t high = cuts.size() - 1; // cuts[high] does not fit
    while (high - low > 1) {
        const size_t middle = low + (high - low) / 2;
        if (Fits(metrics, QStringView(text).left(cuts[middle]), limit))
            low = middle;
        else
            high = middle;
    }
    return text.left(cuts[low]);
}
