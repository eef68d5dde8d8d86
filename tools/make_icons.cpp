// Paints the window program's 16 x 16 tool icons, each also at twice the
// size for high-resolution screens (NAME@2x.png), and writes them as PNG files
// into the folder given on the command line (normally app/icons). The PNGs are committed; run this
// only to change the artwork:  pixmend-make-icons app/icons
//
// With --app-icon it paints the program's own icon instead, in the sizes the
// desktop's icon theme wants (packaging/icons/pixmend-<size>.png):
//   pixmend-make-icons --app-icon packaging/icons
//
// Every icon is drawn on the same grid with the same outline colour and
// palette, so the set reads as one family. For each icon a greyed version is
// written as well ("*_disabled.png"), which the tool buttons and menu items
// show while their command is disabled.

#include <QColor>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QPolygonF>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

namespace {

const QColor kInk(0x24, 0x34, 0x52);   // outlines
const QColor kPaper(0xfb, 0xfc, 0xfe); // page fill
const QColor kBlue(0x3b, 0x7d, 0xd8);  // primary accent
const QColor kLightBlue(0xa9, 0xcd, 0xf5);
const QColor kAmber(0xf2, 0xb1, 0x34); // folders, stamps
const QColor kGreen(0x3f, 0xa5, 0x5d); // "go" arrows
const QColor kRed(0xd9, 0x4b, 0x3c);
const QColor kAqua(0x1c, 0xb5, 0xc4); // marks on the spectrum

QPen InkPen(qreal width = 1.0) {
    QPen pen(kInk, width);
    pen.setJoinStyle(Qt::RoundJoin);
    pen.setCapStyle(Qt::RoundCap);
    return pen;
}

// A sheet of paper with a folded corner, the base of several icons.
void Page(QPainter& p, QRectF r) {
    const qreal fold = 3.5;
    QPainterPath path;
    path.moveTo(r.left(), r.top());
    path.lineTo(r.right() - fold, r.top());
    path.lineTo(r.right(), r.top() + fold);
    path.lineTo(r.right(), r.bottom());
    path.lineTo(r.left(), r.bottom());
    path.closeSubpath();
    p.setPen(InkPen());
    p.setBrush(kPaper);
    p.drawPath(path);
    p.drawLine(QPointF(r.right() - fold, r.top()), QPointF(r.right() - fold, r.top() + fold));
    p.drawLine(QPointF(r.right() - fold, r.top() + fold), QPointF(r.right(), r.top() + fold));
}

void TextLines(QPainter& p, qreal x1, qreal x2, qreal y, int count) {
    p.setPen(QPen(kLightBlue.darker(130), 1.0));
    for (int i = 0; i < count; ++i) p.drawLine(QPointF(x1, y + 2 * i), QPointF(x2, y + 2 * i));
}

void Arrow(QPainter& p, QPointF from, QPointF to, const QColor& colour, qreal width = 1.6) {
    p.setPen(QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(from, to);
    const qreal a = std::atan2(to.y() - from.y(), to.x() - from.x());
    const qreal len = 3.2;
    QPolygonF head;
    head << to << to - QPointF(len * std::cos(a - 0.6), len * std::sin(a - 0.6))
         << to - QPointF(len * std::cos(a + 0.6), len * std::sin(a + 0.6));
    p.setBrush(colour);
    p.setPen(QPen(colour, 1.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolygon(head);
}

void Funnel(QPainter& p, QRectF r, const QColor& fill) {
    QPolygonF f;
    f << QPointF(r.left(), r.top()) << QPointF(r.right(), r.top())
      << QPointF(r.center().x() + 1.5, r.top() + r.height() * 0.55)
      << QPointF(r.center().x() + 1.5, r.bottom())
      << QPointF(r.center().x() - 1.5, r.bottom() - 1.5)
      << QPointF(r.center().x() - 1.5, r.top() + r.height() * 0.55);
    p.setPen(InkPen());
    p.setBrush(fill);
    p.drawPolygon(f);
}

void ContextHelp(QPainter& p) {
    p.setPen(InkPen());
    QRadialGradient g(QPointF(6.5, 5.5), 8);
    g.setColorAt(0, kLightBlue.lighter(115));
    g.setColorAt(1, kBlue);
    p.setBrush(g);
    p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
    QPainterPath q;
    q.moveTo(5.6, 6.0);
    q.cubicTo(5.6, 3.6, 10.4, 3.6, 10.4, 6.0);
    q.cubicTo(10.4, 7.6, 8.0, 7.8, 8.0, 9.6);
    p.setPen(QPen(Qt::white, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(q);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(8.0, 11.9), 1.1, 1.1);
}

void Transform(QPainter& p) {
    // A wave on the left turning into spectral lines on the right.
    p.setPen(InkPen());
    p.setBrush(kPaper);
    p.drawRoundedRect(QRectF(0.5, 2.5, 15, 11), 1.5, 1.5);
    QPainterPath wave;
    wave.moveTo(1.5, 8);
    for (int i = 0; i <= 12; ++i) {
        const qreal x = 1.5 + i * 0.5;
        wave.lineTo(x, 8 - 3.0 * std::sin(i * 0.55));
    }
    p.setPen(QPen(kBlue, 1.3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(wave);
    p.setPen(QPen(kRed, 1.2));
    const qreal heights[] = {7.5, 3.5, 5.5, 2.0};
    for (int i = 0; i < 4; ++i)
        p.drawLine(QPointF(9.5 + i * 1.7, 12.5), QPointF(9.5 + i * 1.7, 12.5 - heights[i]));
}

void OpenFolder(QPainter& p) {
    p.setPen(InkPen());
    p.setBrush(kAmber.darker(115));
    QPolygonF back;
    back << QPointF(0.5, 3.5) << QPointF(5.5, 3.5) << QPointF(7, 5) << QPointF(13.5, 5)
         << QPointF(13.5, 13.5) << QPointF(0.5, 13.5);
    p.drawPolygon(back);
    QLinearGradient g(0, 7, 0, 14);
    g.setColorAt(0, kAmber.lighter(130));
    g.setColorAt(1, kAmber);
    p.setBrush(g);
    QPolygonF front;
    front << QPointF(3, 7.5) << QPointF(15.5, 7.5) << QPointF(13.5, 13.5) << QPointF(0.5, 13.5);
    p.drawPolygon(front);
}

void Save(QPainter& p) {
    p.setPen(InkPen());
    p.setBrush(kBlue);
    QPolygonF disk;
    disk << QPointF(1.5, 1.5) << QPointF(12.5, 1.5) << QPointF(14.5, 3.5) << QPointF(14.5, 14.5)
         << QPointF(1.5, 14.5);
    p.drawPolygon(disk);
    p.setBrush(kPaper);
    p.drawRect(QRectF(4.5, 1.5, 7, 5));
    p.setBrush(kInk);
    p.drawRect(QRectF(9, 2.5, 1.5, 3));
    p.setBrush(kPaper);
    p.drawRect(QRectF(3.5, 9.5, 9, 5));
    TextLines(p, 5, 11, 11.5, 2);
}

void Zoom(QPainter& p) {
    p.setPen(QPen(kInk, 2.6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(10.3, 10.3), QPointF(14.2, 14.2));
    p.setPen(InkPen(1.2));
    QRadialGradient g(QPointF(5.5, 5), 6);
    g.setColorAt(0, Qt::white);
    g.setColorAt(1, kLightBlue);
    p.setBrush(g);
    p.drawEllipse(QRectF(1.5, 1.5, 10, 10));
    p.setPen(QPen(kInk, 1.3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(4.5, 6.5), QPointF(8.5, 6.5));
    p.drawLine(QPointF(6.5, 4.5), QPointF(6.5, 8.5));
}

void Copy(QPainter& p) {
    Page(p, QRectF(1.5, 0.5, 8, 10));
    TextLines(p, 3, 7, 3.5, 3);
    Page(p, QRectF(6.5, 5.5, 8, 10));
    TextLines(p, 8, 12, 9, 3);
}

void Paste(QPainter& p) {
    p.setPen(InkPen());
    p.setBrush(kAmber);
    p.drawRoundedRect(QRectF(1.5, 2.5, 10, 12), 1, 1);
    p.setBrush(QColor(0x9a, 0xa4, 0xb4));
    p.drawRoundedRect(QRectF(4, 1, 5, 3), 1, 1);
    Page(p, QRectF(6.5, 5.5, 8, 10));
    TextLines(p, 8, 12, 9, 3);
}

void BatchRun(QPainter& p) {
    Page(p, QRectF(4.5, 0.5, 8, 9));
    Page(p, QRectF(2.5, 2.5, 8, 9));
    Page(p, QRectF(0.5, 4.5, 8, 9));
    p.setPen(Qt::NoPen);
    p.setBrush(kGreen);
    p.drawEllipse(QRectF(7.5, 7.5, 8, 8));
    QPolygonF play;
    play << QPointF(10.3, 9.6) << QPointF(13.6, 11.5) << QPointF(10.3, 13.4);
    p.setBrush(Qt::white);
    p.drawPolygon(play);
}

void ApplyFilter(QPainter& p) {
    Funnel(p, QRectF(0.5, 1.5, 11, 12), kLightBlue);
    p.setPen(QPen(kGreen, 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    QPolygonF tick;
    tick << QPointF(9.0, 11.0) << QPointF(11.0, 13.5) << QPointF(15.0, 8.0);
    p.drawPolyline(tick);
}

void ViewFilter(QPainter& p) {
    Page(p, QRectF(1.5, 0.5, 10, 14));
    p.setPen(QPen(kInk, 1.0));
    for (int i = 0; i < 4; ++i) {
        p.drawPoint(QPointF(3.5, 4 + 2.5 * i));
        p.setPen(QPen(kLightBlue.darker(130), 1.0));
        p.drawLine(QPointF(5, 4 + 2.5 * i), QPointF(9.5, 4 + 2.5 * i));
        p.setPen(QPen(kInk, 1.0));
    }
    Funnel(p, QRectF(8.5, 7.5, 7, 8), kAmber);
}

void Undo(QPainter& p) {
    QPainterPath arc;
    arc.moveTo(3.5, 7.0);
    arc.cubicTo(6.0, 3.0, 13.5, 3.5, 13.5, 9.0);
    arc.cubicTo(13.5, 12.0, 11.0, 13.5, 8.5, 13.5);
    p.setPen(QPen(kBlue, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(arc);
    QPolygonF head;
    head << QPointF(1.0, 3.0) << QPointF(7.0, 8.5) << QPointF(1.0, 9.5);
    p.setPen(QPen(kBlue, 1.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(kBlue);
    p.drawPolygon(head);
}

void HatchedShape(QPainter& p, bool ellipse) {
    QRectF r = ellipse ? QRectF(1.5, 3.0, 13, 10) : QRectF(2.5, 3.5, 11, 9);
    QBrush hatch(kAqua, Qt::DiagCrossPattern);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(kAqua.red(), kAqua.green(), kAqua.blue(), 50));
    if (ellipse)
        p.drawEllipse(r);
    else
        p.drawRect(r);
    p.setBrush(hatch);
    if (ellipse)
        p.drawEllipse(r);
    else
        p.drawRect(r);
    QPen dotted(kInk, 1.2, Qt::DotLine);
    p.setPen(dotted);
    p.setBrush(Qt::NoBrush);
    if (ellipse)
        p.drawEllipse(r);
    else
        p.drawRect(r);
}

void Smoothing(QPainter& p) {
    // A stamp pressing on a dotted screen.
    p.setPen(Qt::NoPen);
    p.setBrush(kInk);
    for (int y = 12; y <= 14; y += 2)
        for (int x = 1; x <= 15; x += 2) p.drawRect(QRectF(x, y, 1, 1));
    p.setPen(InkPen());
    p.setBrush(kAmber);
    p.drawRoundedRect(QRectF(2.5, 8.5, 11, 2.5), 0.8, 0.8);
    p.setBrush(kRed);
    p.drawRect(QRectF(6.5, 4.5, 3, 4));
    p.drawEllipse(QRectF(4.5, 0.5, 7, 4.5));
}

void Mirror(QPainter& p) {
    p.setPen(QPen(kInk, 1.0, Qt::DashLine));
    p.drawLine(QPointF(0.5, 0.5), QPointF(15.5, 15.5));
    p.setPen(InkPen());
    p.setBrush(kAqua);
    p.drawRect(QRectF(8.5, 1.5, 5, 3));
    p.setBrush(kAqua.lighter(140));
    p.drawRect(QRectF(1.5, 8.5, 3, 5));
    Arrow(p, QPointF(9.5, 7.0), QPointF(6.0, 10.5), kBlue, 1.3);
}

void FlagFrame(QPainter& p) {
    p.setPen(QPen(kInk, 1.0));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(0.5, 2.5, 15, 11));
}

void EnglishFlag(QPainter& p) {
    const QColor navy(0x1f, 0x3a, 0x7a), red(0xc8, 0x20, 0x2e);
    p.setClipRect(QRectF(0.5, 2.5, 15, 11));
    p.fillRect(QRectF(0, 2, 16, 12), navy);
    p.setPen(QPen(Qt::white, 3.0));
    p.drawLine(QPointF(0, 2), QPointF(16, 14));
    p.drawLine(QPointF(16, 2), QPointF(0, 14));
    p.setPen(QPen(red, 1.0));
    p.drawLine(QPointF(0, 2), QPointF(16, 14));
    p.drawLine(QPointF(16, 2), QPointF(0, 14));
    p.fillRect(QRectF(6, 2, 4, 12), Qt::white);
    p.fillRect(QRectF(0, 6, 16, 4), Qt::white);
    p.fillRect(QRectF(7, 2, 2, 12), red);
    p.fillRect(QRectF(0, 7, 16, 2), red);
    p.setClipping(false);
    FlagFrame(p);
}

void GermanFlag(QPainter& p) {
    p.fillRect(QRectF(0.5, 2.5, 15, 11.0 / 3), QColor(0x10, 0x10, 0x10));
    p.fillRect(QRectF(0.5, 2.5 + 11.0 / 3, 15, 11.0 / 3), QColor(0xdd, 0x1f, 0x26));
    p.fillRect(QRectF(0.5, 2.5 + 22.0 / 3, 15, 11.0 / 3), QColor(0xff, 0xcc, 0x00));
    FlagFrame(p);
}

void Resize(QPainter& p) {
    p.setPen(QPen(kInk, 1.0, Qt::DashLine));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(0.5, 0.5, 15, 15));
    p.setPen(InkPen());
    p.setBrush(kLightBlue);
    p.drawRect(QRectF(0.5, 8.5, 7, 7));
    Arrow(p, QPointF(6.0, 10.0), QPointF(13.5, 2.5), kGreen, 1.5);
}

struct TIcon {
    const char* name;
    std::function<void(QPainter&)> paint;
};

QImage Paint(const TIcon& icon, int scale) {
    QImage image(16 * scale, 16 * scale, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(scale, scale);
    icon.paint(p);
    p.end();
    return image.convertToFormat(QImage::Format_ARGB32);
}

// The disabled form: grey, lighter and partly transparent, like a control
// that cannot be used.
QImage Greyed(const QImage& source) {
    QImage out = source;
    for (int y = 0; y < out.height(); ++y) {
        auto* px = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            const int grey = qGray(px[x]);
            const int light = 96 + grey * 150 / 255;
            px[x] = qRgba(light, light, light, qAlpha(px[x]) * 3 / 5);
        }
    }
    return out;
}

// The program's icon: a scanned print on a rounded tile, its left half still
// a halftone screen of round dots, its right half clean continuous tone, in
// the tool icons' palette. Drawn on a 64-unit grid at any size; the dots are
// fewer and larger at small sizes so they stay dots.
QImage AppIcon(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);
    const qreal line = size < 32 ? 64.0 / size : 1.5;

    const QRectF tile(3, 3, 58, 58);
    QLinearGradient sky(0, 3, 0, 61);
    sky.setColorAt(0, kLightBlue.lighter(112));
    sky.setColorAt(1, kBlue);
    p.setPen(QPen(kInk, line));
    p.setBrush(sky);
    p.drawRoundedRect(tile, 10, 10);

    // A sun-lit ball over the tile, clipped to the tile.
    QPainterPath clip;
    clip.addRoundedRect(tile.adjusted(line / 2, line / 2, -line / 2, -line / 2), 10, 10);
    p.setClipPath(clip);
    const QPointF centre(32, 34);
    const qreal radius = 21;
    QRadialGradient shade(centre - QPointF(7, 8), radius * 1.4);
    shade.setColorAt(0, QColor(0xff, 0xf4, 0xd6));
    shade.setColorAt(0.55, kAmber);
    shade.setColorAt(1, kRed.darker(115));
    p.setPen(Qt::NoPen);
    p.setBrush(shade);
    p.drawEllipse(centre, radius, radius);

    // Left of the middle: the same picture as a screen of ink dots whose size
    // follows the darkness beneath, on paper.
    const QRectF left(3, 3, 29, 58);
    p.setBrush(kPaper);
    p.drawRect(left);
    const qreal pitch = size <= 24 ? 8.0 : (size <= 48 ? 6.0 : 4.0);
    for (qreal y = 3 + pitch / 2; y < 61; y += pitch) {
        for (qreal x = 3 + pitch / 2; x < 32; x += pitch) {
            const QPointF at(x, y);
            const qreal d = std::hypot(x - centre.x(), y - centre.y());
            qreal darkness = 0.18 + 0.5 * (y - 3) / 58;          // the sky
            if (d < radius) darkness = 0.35 + 0.55 * d / radius; // the ball
            const qreal r = pitch / 2 * std::sqrt(std::min(darkness, 1.0)) * 0.95;
            p.setBrush(d < radius ? kRed.darker(120) : kInk);
            p.drawEllipse(at, r, r);
        }
    }
    p.setClipping(false);
    // The seam between screen and clean tone, and the tile's outline on top.
    p.setPen(QPen(kInk, line * 0.8));
    p.drawLine(QPointF(32, 3), QPointF(32, 61));
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(kInk, line));
    p.drawRoundedRect(tile, 10, 10);
    p.end();
    return image.convertToFormat(QImage::Format_ARGB32);
}

} // namespace

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QGuiApplication app(argc, argv);
    if (argc == 3 && QString::fromLocal8Bit(argv[1]) == "--app-icon") {
        const QDir out(QString::fromLocal8Bit(argv[2]));
        for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
            if (!AppIcon(size).save(out.filePath(QString("pixmend-%1.png").arg(size)))) {
                std::fprintf(stderr, "cannot write the %d pixel icon\n", size);
                return 1;
            }
        }
        return 0;
    }
    if (argc != 2) {
        std::fprintf(stderr, "usage: pixmend-make-icons [--app-icon] <output folder>\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    // Index order is the icon set's: the tool buttons refer to icons by it.
    const std::vector<TIcon> icons = {
        {"00_context_help", ContextHelp},
        {"01_transform", Transform},
        {"02_open", OpenFolder},
        {"03_save", Save},
        {"04_zoom", Zoom},
        {"05_copy", Copy},
        {"06_paste", Paste},
        {"07_batch_run", BatchRun},
        {"08_apply_filter", ApplyFilter},
        {"09_view_filter", ViewFilter},
        {"10_undo", Undo},
        {"11_rectangle", [](QPainter& p) { HatchedShape(p, false); }},
        {"12_ellipse", [](QPainter& p) { HatchedShape(p, true); }},
        {"13_smoothing", Smoothing},
        {"14_mirror", Mirror},
        {"15_english", EnglishFlag},
        {"16_german", GermanFlag},
        {"17_resize", Resize},
    };
    for (const TIcon& icon : icons)
        for (const int scale : {1, 2}) {
            const QImage image = Paint(icon, scale);
            const QString base = QString::fromLatin1(icon.name);
            const QString suffix = scale == 1 ? ".png" : "@2x.png";
            if (!image.save(out.filePath(base + suffix)) ||
                !Greyed(image).save(out.filePath(base + "_disabled" + suffix))) {
                std::fprintf(stderr, "cannot write %s\n", icon.name);
                return 1;
            }
        }
    return 0;
}
