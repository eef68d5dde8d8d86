#pragma once
// Fitting fixed-size dialogs' texts to the room they were designed for.

#include <QFont>
#include <QString>
#include <QStringList>

// The font, made smaller in half points (not below minPointSize) until every
// one of lines is at most width pixels wide. Lines that still do not fit at
// the smallest size are left to the widget to wrap or clip.
QFont FontFittingLines(QFont font, const QStringList& lines, int width, qreal minPointSize = 7.0);
