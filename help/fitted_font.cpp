#include "help/fitted_font.h"

#include <QFontMetrics>

#include <algorithm>

QFont FontFittingLines(QFont font, const QStringList& lines, int width, qreal minPointSize) {
    if (font.pointSizeF() <= 0) return font; // a pixel-sized font is left as it is
    for (qreal size = font.pointSizeF(); size >= minPointSize; size -= 0.5) {
        font.setPointSizeF(size);
        const QFontMetrics metrics(font);
        int widest = 0;
        for (const QString& line : lines)
            widest = std::max(widest, metrics.horizontalAdvance(line));
        if (widest <= width) break;
    }
    return font;
}
