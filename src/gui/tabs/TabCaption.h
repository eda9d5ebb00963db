#pragma once

#include <QFontMetrics>
#include <QString>

// The caption as a tab shows it: blanks around it removed, then whole
// characters cut from its end until its width plus the text's left edge (25)
// fits within limit. No ellipsis.
QString ShortenTabCaption(const QString& caption, const QFontMetrics& metrics, int limit);
