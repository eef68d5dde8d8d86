// Paints the about dialog's picture (665 x 362 pixels) and writes it as a PNG
// file, normally help/about.png. The PNG is committed; run this only to change
// the artwork:  pixmend-make-about-picture help/about.png
//
// The picture shows what the program does: a shaded ball printed as a
// halftone screen on its left half and clean, continuous tone on its right
// half, with the program's name and version beside it. The licence text,
// when shown, covers the picture from x = 256 on and the licence button sits
// at (400, 216), so the ball stays left of 256 and nothing important lies
// under the button.

#include <QColor>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QRadialGradient>
#include <QString>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#ifndef PIXMEND_VERSION
#define PIXMEND_VERSION "1.2"
#endif

namespace {

constexpr int kWidth = 665;
constexpr int kHeight = 362;

const QColor kInk(0x24, 0x34, 0x52);
const QColor kPaperTop(0xf6, 0xf8, 0xfc);
const QColor kPaperBottom(0xdc, 0xe7, 0xf5);
const QColor kBlue(0x3b, 0x7d, 0xd8);
const QColor kAqua(0x1c, 0xb5, 0xc4);

// The ball: centre, radius and the light's direction.
constexpr double kBallX = 128, kBallY = 176, kBallR = 104;

// Darkness of the shaded ball at a point (0 white .. 1 full ink), or -1 off the ball.
double BallDarkness(double x, double y) {
    const double dx = (x - kBallX) / kBallR, dy = (y - kBallY) / kBallR;
    const double rr = dx * dx + dy * dy;
    if (rr > 1.0) return -1;
    const double nz = std::sqrt(1.0 - rr);
    // Light from the upper left, in front.
    const double lx = -0.45, ly = -0.55, lz = 0.70;
    const double lambert = std::max(0.0, dx * lx + dy * ly + nz * lz);
    return std::clamp(0.92 - 0.85 * lambert, 0.0, 1.0);
}

void PaintBackground(QPainter& p) {
    QLinearGradient paper(0, 0, 0, kHeight);
    paper.setColorAt(0, kPaperTop);
    paper.setColorAt(1, kPaperBottom);
    p.fillRect(0, 0, kWidth, kHeight, paper);
    // A faint ring pattern, as a spectrum's rings, behind the title.
    p.setPen(QPen(QColor(kBlue.red(), kBlue.green(), kBlue.blue(), 22), 1.0));
    for (int r = 30; r < 520; r += 26) p.drawEllipse(QPointF(665, 0), r, r);
}

// The left half of the ball as a halftone screen at 45 degrees: round dots
// whose area follows the darkness, as a printing press lays them down.
void PaintHalftoneHalf(QPainter& p) {
    QPainterPath half;
    half.addRect(QRectF(kBallX - kBallR - 2, kBallY - kBallR - 2, kBallR + 2, 2 * kBallR + 4));
    QPainterPath disc;
    disc.addEllipse(QPointF(kBallX, kBallY), kBallR, kBallR);
    p.save();
    p.setClipPath(half.intersected(disc));
    p.fillRect(QRectF(0, 0, kWidth, kHeight), Qt::white);
    p.setPen(Qt::NoPen);
    p.setBrush(kInk);
    const double spacing = 7.0;
    const double c = std::cos(M_PI / 4), s = std::sin(M_PI / 4);
    for (int i = -60; i <= 60; ++i)
        for (int j = -60; j <= 60; ++j) {
            const double u = i * spacing, v = j * spacing;
            const double x = kBallX + u * c - v * s, y = kBallY + u * s + v * c;
            if (x > kBallX + spacing) continue;
            const double dark = BallDarkness(x, y);
            if (dark <= 0) continue;
            const double radius = spacing * std::sqrt(dark / M_PI) * 1.05;
            p.drawEllipse(QPointF(x, y), radius, radius);
        }
    p.restore();
}

// The right half in continuous tone, pixel by pixel.
void PaintCleanHalf(QImage& image) {
    for (int y = int(kBallY - kBallR); y <= int(kBallY + kBallR); ++y) {
        QRgb* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = int(kBallX); x <= int(kBallX + kBallR) + 1; ++x) {
            // Four samples per pixel keep the rim smooth.
            double sum = 0, covered = 0;
            for (int k = 0; k < 4; ++k) {
                const double d = BallDarkness(x + 0.25 + 0.5 * (k & 1), y + 0.25 + 0.5 * (k >> 1));
                if (d < 0) continue;
                sum += d;
                covered += 1;
            }
            if (covered == 0) continue;
            const double dark = sum / covered, a = covered / 4;
            const QColor under = QColor::fromRgb(row[x]);
            const auto mix = [&](int ink, int bg) {
                const double tone = 255 + (ink - 255) * dark;
                return int(std::lround(bg + (tone - bg) * a));
            };
            row[x] = qRgb(mix(kInk.red(), under.red()), mix(kInk.green(), under.green()),
                          mix(kInk.blue(), under.blue()));
        }
    }
}

void PaintBallOutline(QPainter& p) {
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(kInk, 1.5));
    p.drawEllipse(QPointF(kBallX, kBallY), kBallR, kBallR);
    // The seam between printed and clean tone, in the marking colour.
    p.setPen(QPen(kAqua, 2.0, Qt::DashLine));
    p.drawLine(QPointF(kBallX, kBallY - kBallR - 14), QPointF(kBallX, kBallY + kBallR + 14));
}

void PaintTexts(QPainter& p) {
    p.setPen(kInk);
    QFont title("DejaVu Sans", 40, QFont::Bold);
    title.setPixelSize(54);
    p.setFont(title);
    p.drawText(QPointF(284, 104), QStringLiteral("Pixmend"));

    QFont line("DejaVu Sans");
    line.setPixelSize(17);
    p.setFont(line);
    p.drawText(QPointF(288, 136), QStringLiteral("Standard-Edition"));
    p.setPen(kBlue);
    p.drawText(QPointF(288, 164), QStringLiteral("Version " PIXMEND_VERSION));

    p.setPen(QPen(kBlue, 2));
    p.drawLine(QPointF(288, 180), QPointF(620, 180));

    QFont small("DejaVu Sans");
    small.setPixelSize(13);
    p.setFont(small);
    p.setPen(kInk);
    p.drawText(QPointF(288, 284),
               QStringLiteral("Halftone screens removed in the frequency domain"));
    p.drawText(
        QPointF(288, 304),
        QStringLiteral("Spectral resize \u00b7 filters for whole archives \u00b7 watermarks"));
}

} // namespace

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: pixmend-make-about-picture <output.png>\n");
        return 2;
    }
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        PaintBackground(p);
        PaintHalftoneHalf(p);
    }
    PaintCleanHalf(image);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::TextAntialiasing);
        PaintBallOutline(p);
        PaintTexts(p);
    }
    if (!image.convertToFormat(QImage::Format_RGB888)
             .save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
