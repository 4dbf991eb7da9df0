// Draws the program's pictures at a given scale, in the coordinates of their 1x designs: the five
// tool bar glyphs (16 x 16), the window icon (32 x 32) and the About banner (298 x 81). At scale 2
// the files are named name@2x.png, where Qt's resource system finds them beside the 1x files.
#include <QDir>
#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cstdio>
#include <functional>

namespace {

using Draw = std::function<void(QPainter&)>;

void fill(QPainter& painter, double x, double y, double width, double height, QRgb colour) {
    painter.fillRect(QRectF(x, y, width, height), QColor(colour));
}

void line(QPainter& painter, QPointF from, QPointF to, const QColor& colour, double width,
          Qt::PenCapStyle cap = Qt::RoundCap) {
    painter.setPen(QPen(colour, width, Qt::SolidLine, cap));
    painter.drawLine(from, to);
}

// A calculator: grey body in a dark frame, a green display and nine keys, the last one red.
void calculer(QPainter& painter) {
    fill(painter, 2, 0, 12, 16, 0x282828);
    fill(painter, 3, 1, 10, 14, 0xc8c8be);
    fill(painter, 4, 2, 8, 4, 0x282828);
    fill(painter, 5, 3, 6, 2, 0x96d296);
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 3; ++column)
            fill(painter, 4 + 3 * column, 7 + 3 * row, 2, 2, row == 2 && column == 2 ? 0xc83c28 : 0x3c3c46);
}

// A broom: a brown handle and a golden head of bristles, bound where they meet.
void effacer(QPainter& painter) {
    line(painter, {15.4, 0.1}, {6.6, 8.2}, QColor(0x784614), 1.7, Qt::FlatCap);
    QPainterPath head;
    head.moveTo(4.0, 7.0);
    head.lineTo(7.6, 7.0);
    head.lineTo(10.0, 10.4);
    head.lineTo(5.6, 15.6);
    head.lineTo(1.0, 15.8);
    head.lineTo(0.0, 11.4);
    head.closeSubpath();
    QLinearGradient gold(0, 7, 0, 16);
    gold.setColorAt(0, QColor(0xe6be3c));
    gold.setColorAt(1, QColor(0xc09628));
    painter.setPen(QPen(QColor(0x8c6414), 0.6));
    painter.setBrush(gold);
    painter.drawPath(head);
    painter.setClipPath(head);
    for (double x = 1.5; x < 8; x += 1.5)
        line(painter, {x, 11.6}, {x, 16}, QColor(0xa37b23), 0.6, Qt::FlatCap);
    painter.setClipping(false);
    fill(painter, 4.2, 6.6, 3.4, 1.2, 0x8f6815);
}

// A notepad with a red top and ruled lines, and a pen writing on it.
void copier(QPainter& painter) {
    fill(painter, 1, 2, 11, 14, 0x3c3c3c);
    fill(painter, 2, 3, 9, 12, 0xffffff);
    fill(painter, 1, 2, 11, 1, 0xc82828);
    for (int row = 0; row < 5; ++row)
        fill(painter, 3, 5 + 2 * row, 7, 1, 0x5a82c8);
    line(painter, {15.0, 1.0}, {8.6, 9.4}, QColor(0x1e3ca0), 1.8, Qt::FlatCap);
    QPainterPath tip;
    tip.moveTo(7.9, 8.8);
    tip.lineTo(9.3, 9.9);
    tip.lineTo(6.6, 12.4);
    tip.closeSubpath();
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xd8c48e));
    painter.drawPath(tip);
    painter.setBrush(QColor(0x5a5a64));
    painter.drawEllipse(QPointF(6.9, 12.0), 0.35, 0.35);
}

// A white question mark in a blue disc lit from the top left.
void aide(QPainter& painter) {
    QRadialGradient blue(QPointF(8, 8), 8, QPointF(5.2, 4.4));
    blue.setColorAt(0, QColor(0x74a2f6));
    blue.setColorAt(0.45, QColor(0x4673d9));
    blue.setColorAt(0.85, QColor(0x1a40b8));
    blue.setColorAt(1, QColor(0x0e2d8c));
    painter.setPen(QPen(QColor(0x0b2984), 0.8));
    painter.setBrush(blue);
    painter.drawEllipse(QPointF(8, 8), 7.6, 7.6);

    QPainterPath mark;
    mark.moveTo(5.6, 5.4);
    mark.cubicTo(5.9, 3.9, 7.0, 3.5, 8.1, 3.5);
    mark.cubicTo(9.6, 3.5, 10.5, 4.4, 10.5, 5.6);
    mark.cubicTo(10.5, 6.9, 9.4, 7.3, 8.7, 7.9);
    mark.cubicTo(8.2, 8.3, 8.1, 8.8, 8.1, 9.6);
    painter.setPen(QPen(Qt::white, 1.7, Qt::SolidLine, Qt::FlatCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(mark);
    fill(painter, 7.2, 11.0, 1.8, 1.8, 0xffffff);
}

// An open door: the leaf turned into the room, light coming through the doorway.
void quitter(QPainter& painter) {
    fill(painter, 3, 1, 10, 15, 0x3c2814);
    fill(painter, 5, 3, 4, 11, 0xa06428);
    fill(painter, 5, 2, 2, 1, 0xa06428);
    fill(painter, 7, 8, 1, 2, 0xf0d23c);
    fill(painter, 10, 3, 1, 11, 0xfff0aa);
}

// The window icon: a magnifying glass over a person.
void icon(QPainter& painter) {
    painter.translate(-0.5, -0.5);
    line(painter, {19.6, 19.6}, {28.6, 28.6}, QColor(0x663333), 4.4);
    const QPointF centre(13, 13);
    painter.setPen(QPen(QColor(0x333333), 2.6));
    painter.setBrush(QColor(0xccffff));
    painter.drawEllipse(centre, 9.9, 9.9);
    QPainterPath lens;
    lens.addEllipse(centre, 8.6, 8.6);
    painter.setClipPath(lens);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x336699));
    painter.drawEllipse(QPointF(13, 9.3), 3.3, 3.3);
    QPainterPath body;
    body.moveTo(6.3, 23);
    body.cubicTo(6.3, 16.4, 9.3, 13.8, 13, 13.8);
    body.cubicTo(16.7, 13.8, 19.7, 16.4, 19.7, 23);
    body.closeSubpath();
    painter.drawPath(body);
}

// The About banner: the magnifying glass over a person, the product name and what it computes, on
// a blue to sea-green ground with a few light waves.
void banner(QPainter& painter) {
    const QRectF area(0, 0, 298, 81);
    QLinearGradient ground(0, 0, 298, 81);
    ground.setColorAt(0, QColor(10, 61, 98));
    ground.setColorAt(0.55, QColor(20, 110, 140));
    ground.setColorAt(1, QColor(56, 168, 160));
    painter.fillRect(area, ground);

    QRadialGradient glow(QPointF(42, 40), 46);
    glow.setColorAt(0, QColor(255, 255, 255, 100));
    glow.setColorAt(0.4, QColor(255, 255, 255, 38));
    glow.setColorAt(0.7, QColor(255, 255, 255, 9));
    glow.setColorAt(1, QColor(255, 255, 255, 0));
    painter.fillRect(area, glow);

    QLinearGradient fade(60, 0, 110, 0);
    fade.setColorAt(0, QColor(255, 255, 255, 0));
    fade.setColorAt(1, QColor(255, 255, 255, 26));
    painter.setBrush(Qt::NoBrush);
    for (int wave = 0; wave < 5; ++wave) {
        QPainterPath path;
        const double dy = 3.0 * wave;
        path.moveTo(60, 73 + dy);
        path.cubicTo(90, 64 + dy, 105, 63 + dy, 120, 64 + dy);
        path.cubicTo(160, 66 + dy, 200, 73 + dy, 230, 72 + dy);
        path.cubicTo(255, 71.5 + dy, 280, 66 + dy, 300, 57 + dy);
        painter.setPen(QPen(QBrush(fade), 1.0));
        painter.drawPath(path);
    }

    const QPointF lensCentre(43.5, 39.5);
    const double lensRadius = 16.75;
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(239, 243, 246));
    QPainterPath body;
    body.moveTo(24, 63.5);
    body.lineTo(24, 52);
    body.cubicTo(24, 44, 30, 39.5, 37.5, 39.5);
    body.cubicTo(45, 39.5, 51.5, 45, 51.5, 54);
    body.lineTo(51.5, 63.5);
    body.closeSubpath();
    painter.drawPath(body);
    painter.drawEllipse(QPointF(38, 30.5), 6.5, 6.5);
    painter.setBrush(QColor(255, 255, 255, 130));
    painter.drawEllipse(QPointF(37.2, 28.2), 3.0, 1.8);

    painter.setBrush(QColor(170, 215, 245, 44));
    painter.drawEllipse(lensCentre, lensRadius, lensRadius);
    const QColor gold(245, 190, 70);
    line(painter, {55.5, 51.5}, {67.6, 63.6}, gold, 5.0);
    painter.setPen(QPen(gold, 3.5));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(lensCentre, lensRadius, lensRadius);

    QFont title(QStringLiteral("DejaVu Sans"));
    title.setPixelSize(30);
    title.setBold(true);
    const QString product = QStringLiteral("Vimora ");
    const QString edition = QStringLiteral("XP");
    const QFontMetricsF metrics(title);
    const QPointF origin(87 - metrics.leftBearing(product.front()), 45);
    const QPointF editionOrigin(217 - metrics.leftBearing(edition.front()), 45);
    painter.setFont(title);
    painter.setPen(QColor(0, 0, 0, 70));
    painter.drawText(origin + QPointF(1.2, 1.2), product);
    painter.drawText(editionOrigin + QPointF(1.2, 1.2), edition);
    painter.setPen(Qt::white);
    painter.drawText(origin, product);
    painter.setPen(gold);
    painter.drawText(editionOrigin, edition);

    QFont subtitle(QStringLiteral("DejaVu Sans"));
    subtitle.setPixelSize(11);
    const QString indice = QStringLiteral("Indice de Masse Corporelle");
    painter.setFont(subtitle);
    painter.setPen(QColor(205, 229, 236));
    painter.drawText(QPointF(88 - QFontMetricsF(subtitle).leftBearing(indice.front()), 63), indice);
}

bool save(const QString& path, QSize size, double scale, bool opaque, const Draw& draw) {
    QImage image(size * scale, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    painter.scale(scale, scale);
    draw(painter);
    painter.end();
    if (!image.convertToFormat(opaque ? QImage::Format_RGB888 : QImage::Format_ARGB32).save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication application(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: draw-artwork SOURCE-DIRECTORY SCALE\n");
        return 2;
    }
    const QDir source(QString::fromLocal8Bit(argv[1]));
    const int scale = QString::fromLocal8Bit(argv[2]).toInt();
    if (scale < 1)
        return 2;
    const QString suffix = scale == 1 ? QStringLiteral(".png") : QStringLiteral("@%1x.png").arg(scale);
    struct Picture {
        const char* path;
        QSize size;
        bool opaque;
        Draw draw;
    };
    const Picture pictures[] = {
        {"app/resources/glyphs/calculer", {16, 16}, false, calculer},
        {"app/resources/glyphs/effacer", {16, 16}, false, effacer},
        {"app/resources/glyphs/copier", {16, 16}, false, copier},
        {"app/resources/glyphs/aide", {16, 16}, false, aide},
        {"app/resources/glyphs/quitter", {16, 16}, false, quitter},
        {"app/resources/icons/vimora", {32, 32}, false, icon},
        {"about/banner", {298, 81}, true, banner},
    };
    bool saved = true;
    for (const Picture& picture : pictures) {
        // The 1x designs are never overwritten: drawn again, they go to the current directory.
        const QString path = scale == 1
                                 ? QString::fromLatin1(picture.path).section(QLatin1Char('/'), -1) + suffix
                                 : source.filePath(QString::fromLatin1(picture.path) + suffix);
        saved = save(path, picture.size, scale, picture.opaque, picture.draw) && saved;
    }
    return saved ? 0 : 1;
}
