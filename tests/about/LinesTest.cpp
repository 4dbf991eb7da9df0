#include "about/Lines.h"

#include <QImage>
#include <QPainter>
#include <QTest>

#include <algorithm>
#include <vector>

using vimora::TLine;
using vimora::TLineType;

namespace {

const QColor kBackground(255, 0, 0);

struct Pixels {
    std::vector<QPoint> points;
    bool operator==(const Pixels&) const = default;
};

// Paints the line once onto a red image of its current size; its own background is never drawn,
// so every pixel that is not red came from the segment.
QImage paintOnce(TLine& line) {
    QImage image(line.size(), QImage::Format_RGB32);
    image.fill(kBackground);
    line.render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
    return image;
}

Pixels paintedPixels(const QImage& image) {
    Pixels painted;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixelColor(x, y) != kBackground) {
                painted.points.emplace_back(x, y);
            }
        }
    }
    return painted;
}

// The pixels of a horizontal, vertical or 45-degree segment, its end point left out.
Pixels segment(QPoint from, QPoint to) {
    Pixels pixels;
    const QPoint step((to.x() > from.x()) - (to.x() < from.x()), (to.y() > from.y()) - (to.y() < from.y()));
    for (QPoint at = from; at != to; at += step) {
        pixels.points.push_back(at);
    }
    std::sort(pixels.points.begin(), pixels.points.end(),
              [](QPoint a, QPoint b) { return std::pair(a.y(), a.x()) < std::pair(b.y(), b.x()); });
    return pixels;
}

QList<int> endPoints(const TLine& line) {
    return {line.FromX(), line.FromY(), line.ToX(), line.ToY()};
}

} // namespace

namespace QTest {
template <> char* toString(const Pixels& pixels) {
    QByteArray text = "{";
    for (const QPoint& p : pixels.points) {
        text += QByteArray::number(p.x()) + "," + QByteArray::number(p.y()) + " ";
    }
    return qstrdup(text + "}");
}
} // namespace QTest

class LinesTest : public QObject {
    Q_OBJECT

private slots:
    void construction();
    void paintingByKind_data();
    void paintingByKind();
    void kindChangeResizes_data();
    void kindChangeResizes();
    void coordinatesOnlyWhileCustom();
    void customGrowsAndClampsNegatives();
    void customNeverShrinks();
    void backToCustomKeepsLastPainting();
    void horizontalLoadedWithoutHeight();
    void penWidthSetsThickness();
    void brushFillsGapsOfPatternedPen();
    void repaintScheduling_data();
    void repaintScheduling();
};

void LinesTest::construction() {
    TLine line;
    QCOMPARE(line.size(), QSize(65, 65));
    QCOMPARE(line.Line(), TLine::ltCustom);
    QCOMPARE(endPoints(line), QList<int>({0, 0, 35, 35}));
    QCOMPARE(line.Pen().color(), QColor(Qt::black));
    QCOMPARE(line.Pen().width(), 1);
    QCOMPARE(line.Brush().color(), QColor(Qt::white));
    QCOMPARE(line.Brush().style(), Qt::SolidPattern);
    QCOMPARE(line.focusPolicy(), Qt::NoFocus);
    QVERIFY(!line.testAttribute(Qt::WA_NativeWindow));
    QCOMPARE(paintedPixels(paintOnce(line)), segment({0, 0}, {35, 35}));
}

void LinesTest::paintingByKind_data() {
    QTest::addColumn<TLineType>("kind");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QList<int>>("ends");
    QTest::addColumn<QSize>("sizeAfter");

    QTest::newRow("horizontal, odd height")
        << TLine::ltHorizontal << QSize(20, 11) << QList<int>{0, 5, 19, 5} << QSize(20, 10);
    QTest::newRow("horizontal, even height")
        << TLine::ltHorizontal << QSize(20, 10) << QList<int>{0, 4, 19, 4} << QSize(20, 10);
    QTest::newRow("horizontal, 1 wide")
        << TLine::ltHorizontal << QSize(1, 10) << QList<int>{0, 4, 0, 4} << QSize(1, 10);
    QTest::newRow("vertical") << TLine::ltVertical << QSize(20, 11) << QList<int>{9, 0, 9, 10}
                              << QSize(10, 11);
    QTest::newRow("top") << TLine::ltTop << QSize(20, 11) << QList<int>{0, 0, 19, 0} << QSize(20, 11);
    QTest::newRow("bottom") << TLine::ltBottom << QSize(20, 11) << QList<int>{0, 10, 19, 10} << QSize(20, 11);
    QTest::newRow("left") << TLine::ltLeft << QSize(20, 11) << QList<int>{0, 0, 0, 10} << QSize(20, 11);
    QTest::newRow("right") << TLine::ltRight << QSize(20, 11) << QList<int>{19, 0, 19, 10} << QSize(20, 11);
    QTest::newRow("up diagonal") << TLine::ltUpDiagonal << QSize(11, 11) << QList<int>{0, 10, 10, 0}
                                 << QSize(11, 11);
    QTest::newRow("down diagonal") << TLine::ltDownDiagonal << QSize(11, 11) << QList<int>{0, 0, 10, 10}
                                   << QSize(11, 11);
}

void LinesTest::paintingByKind() {
    QFETCH(TLineType, kind);
    QFETCH(QSize, size);
    QFETCH(QList<int>, ends);
    QFETCH(QSize, sizeAfter);

    TLine line;
    line.setLine(kind);
    line.resize(size);
    const QImage image = paintOnce(line);
    QCOMPARE(endPoints(line), ends);
    QCOMPARE(paintedPixels(image), segment({ends[0], ends[1]}, {ends[2], ends[3]}));
    QCOMPARE(line.size(), sizeAfter);
}

void LinesTest::kindChangeResizes_data() {
    QTest::addColumn<TLineType>("from");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<TLineType>("to");
    QTest::addColumn<QSize>("sizeAfter");

    const QSize wide(100, 10);
    const QSize tall(10, 100);
    QTest::newRow("horizontal to vertical") << TLine::ltHorizontal << wide << TLine::ltVertical << tall;
    QTest::newRow("horizontal to top") << TLine::ltHorizontal << wide << TLine::ltTop << QSize(100, 65);
    QTest::newRow("horizontal to bottom") << TLine::ltHorizontal << wide << TLine::ltBottom << QSize(100, 65);
    QTest::newRow("horizontal to left") << TLine::ltHorizontal << wide << TLine::ltLeft << QSize(65, 100);
    QTest::newRow("horizontal to right") << TLine::ltHorizontal << wide << TLine::ltRight << QSize(65, 100);
    QTest::newRow("horizontal to up diagonal")
        << TLine::ltHorizontal << wide << TLine::ltUpDiagonal << QSize(100, 65);
    QTest::newRow("horizontal to custom") << TLine::ltHorizontal << wide << TLine::ltCustom << wide;
    QTest::newRow("vertical to horizontal") << TLine::ltVertical << tall << TLine::ltHorizontal << wide;
    QTest::newRow("vertical to top") << TLine::ltVertical << tall << TLine::ltTop << QSize(100, 65);
    QTest::newRow("vertical to bottom") << TLine::ltVertical << tall << TLine::ltBottom << QSize(100, 65);
    QTest::newRow("vertical to left") << TLine::ltVertical << tall << TLine::ltLeft << QSize(65, 100);
    QTest::newRow("vertical to down diagonal")
        << TLine::ltVertical << tall << TLine::ltDownDiagonal << QSize(65, 100);
    QTest::newRow("vertical to custom") << TLine::ltVertical << tall << TLine::ltCustom << tall;
    QTest::newRow("top to left") << TLine::ltTop << QSize(100, 30) << TLine::ltLeft << QSize(100, 30);
    QTest::newRow("custom to horizontal")
        << TLine::ltCustom << QSize(40, 30) << TLine::ltHorizontal << QSize(40, 30);
    QTest::newRow("custom to vertical")
        << TLine::ltCustom << QSize(40, 30) << TLine::ltVertical << QSize(40, 30);
}

void LinesTest::kindChangeResizes() {
    QFETCH(TLineType, from);
    QFETCH(QSize, size);
    QFETCH(TLineType, to);
    QFETCH(QSize, sizeAfter);

    TLine line;
    line.setLine(from);
    line.resize(size);
    line.setLine(to);
    QCOMPARE(line.Line(), to);
    QCOMPARE(line.size(), sizeAfter);
}

void LinesTest::coordinatesOnlyWhileCustom() {
    TLine line;
    line.setLine(TLine::ltTop);
    line.setFromX(7);
    line.setToY(9);
    QCOMPARE(endPoints(line), QList<int>({0, 0, 35, 35}));
    paintOnce(line);
    QCOMPARE(endPoints(line), QList<int>({0, 0, 64, 0}));

    // Not remembered: going back to custom keeps what the last painting computed.
    line.setLine(TLine::ltCustom);
    QCOMPARE(endPoints(line), QList<int>({0, 0, 64, 0}));
}

void LinesTest::customGrowsAndClampsNegatives() {
    TLine line;
    line.setFromX(-5);
    line.setFromY(-3);
    line.setToX(70);
    line.setToY(80);
    QCOMPARE(endPoints(line), QList<int>({-5, -3, 70, 80}));

    const QImage first = paintOnce(line);
    QCOMPARE(endPoints(line), QList<int>({0, 0, 70, 80}));
    QCOMPARE(line.size(), QSize(71, 81));
    QVERIFY(first.pixelColor(0, 0) != kBackground);

    const Pixels second = paintedPixels(paintOnce(line));
    QVERIFY(!second.points.empty());
    QCOMPARE(second.points.front(), QPoint(0, 0));
    QCOMPARE(line.size(), QSize(71, 81));
    QVERIFY(std::find(second.points.begin(), second.points.end(), QPoint(70, 80)) == second.points.end());
    QVERIFY(std::all_of(second.points.begin(), second.points.end(),
                        [](QPoint p) { return p.y() >= p.x() && p.y() < 80; }));

    // The same with the negative coordinates at the other end.
    line.setFromX(70);
    line.setFromY(80);
    line.setToX(-1);
    line.setToY(-9);
    paintOnce(line);
    QCOMPARE(endPoints(line), QList<int>({70, 80, 0, 0}));
    QCOMPARE(line.size(), QSize(71, 81));
}

void LinesTest::customNeverShrinks() {
    TLine line;
    line.setToX(10);
    line.setToY(10);
    const QImage image = paintOnce(line);
    QCOMPARE(line.size(), QSize(65, 65));
    QCOMPARE(paintedPixels(image), segment({0, 0}, {10, 10}));
}

void LinesTest::backToCustomKeepsLastPainting() {
    TLine line;
    line.setLine(TLine::ltHorizontal);
    line.resize(20, 11);
    paintOnce(line);
    line.setLine(TLine::ltCustom);
    QCOMPARE(line.size(), QSize(20, 10));
    const QImage image = paintOnce(line);
    QCOMPARE(endPoints(line), QList<int>({0, 5, 19, 5}));
    QCOMPARE(paintedPixels(image), segment({0, 5}, {19, 5}));
    QCOMPARE(line.size(), QSize(20, 10));
}

// As a .ui form loads it: position and width, the coordinates while still custom, then
// the kind; the height is not stored and stays the constructor's.
void LinesTest::horizontalLoadedWithoutHeight() {
    QWidget form;
    TLine line(&form);
    line.setLeft(86);
    line.setTop(158);
    line.setWidth(196);
    line.setFromX(0);
    line.setToX(195);
    line.setFromY(4);
    line.setToY(4);
    line.setLine(TLine::ltHorizontal);
    QCOMPARE(line.geometry(), QRect(86, 158, 196, 65));

    const QImage first = paintOnce(line);
    QCOMPARE(paintedPixels(first), segment({0, 32}, {195, 32}));
    QCOMPARE(line.height(), 10);

    const QImage second = paintOnce(line);
    QCOMPARE(paintedPixels(second), segment({0, 4}, {195, 4}));
    QCOMPARE(line.geometry(), QRect(86, 158, 196, 10));
}

void LinesTest::penWidthSetsThickness() {
    TLine line;
    line.setLine(TLine::ltHorizontal);
    line.resize(30, 10);
    QPen pen = line.Pen();
    pen.setWidth(2);
    line.setPen(pen);
    QCOMPARE(line.height(), 10);

    paintOnce(line);
    QCOMPARE(line.height(), 20);
    const Pixels wide = paintedPixels(paintOnce(line));
    QList<int> rows;
    for (const QPoint& p : wide.points) {
        if (!rows.contains(p.y())) {
            rows.append(p.y());
        }
    }
    QCOMPARE(rows.size(), 2);
    QVERIFY(rows.contains(line.FromY()));

    pen.setWidth(3);
    line.setPen(pen);
    QCOMPARE(line.height(), 20);
    paintOnce(line);
    QCOMPARE(line.height(), 30);
}

void LinesTest::brushFillsGapsOfPatternedPen() {
    TLine line;
    line.setLine(TLine::ltTop);
    line.resize(60, 10);
    line.setPen(QPen(Qt::black, 1, Qt::DashLine));

    const QImage solid = paintOnce(line);
    int black = 0;
    int white = 0;
    for (int x = 0; x < 59; ++x) {
        black += solid.pixelColor(x, 0) == QColor(Qt::black);
        white += solid.pixelColor(x, 0) == QColor(Qt::white);
    }
    QVERIFY(black > 0);
    QVERIFY(white > 0);
    QCOMPARE(black + white, 59);
    QCOMPARE(solid.pixelColor(59, 0), kBackground);
    QCOMPARE(paintedPixels(solid), segment({0, 0}, {59, 0}));

    line.setBrush(QBrush(Qt::white, Qt::DiagCrossPattern));
    const QImage hatched = paintOnce(line);
    for (int x = 0; x < 59; ++x) {
        QVERIFY(hatched.pixelColor(x, 0) != QColor(Qt::white));
    }
    QCOMPARE(paintedPixels(hatched).points.size(), std::size_t(black));
}

void LinesTest::repaintScheduling_data() {
    QTest::addColumn<int>("action");
    QTest::addColumn<bool>("repaints");
    QTest::newRow("same kind") << 0 << false;
    QTest::newRow("other kind") << 1 << true;
    QTest::newRow("unchanged custom coordinate") << 2 << true;
    QTest::newRow("pen colour") << 3 << true;
    QTest::newRow("brush colour") << 4 << true;
}

void LinesTest::repaintScheduling() {
    QFETCH(int, action);
    QFETCH(bool, repaints);

    struct PaintCounter : QObject {
        int paints = 0;
        bool eventFilter(QObject*, QEvent* event) override {
            paints += event->type() == QEvent::Paint;
            return false;
        }
    };
    PaintCounter linePaints;
    PaintCounter markerPaints;

    // Updates pending in a window are painted together: once the marker, updated after the
    // line's change, has been painted, a repaint the change scheduled has been painted too.
    QWidget form;
    form.resize(100, 100);
    TLine line(&form);
    QWidget marker(&form);
    marker.setGeometry(80, 80, 10, 10);
    QVERIFY(!marker.geometry().intersects(line.geometry()));
    line.installEventFilter(&linePaints);
    marker.installEventFilter(&markerPaints);
    const auto paintPending = [&] {
        markerPaints.paints = 0;
        marker.update();
        return QTest::qWaitFor([&] { return markerPaints.paints > 0; });
    };
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QTRY_VERIFY(linePaints.paints > 0);
    QVERIFY(paintPending());
    linePaints.paints = 0;

    switch (action) {
    case 0:
        line.setLine(TLine::ltCustom);
        break;
    case 1:
        line.setLine(TLine::ltDownDiagonal);
        break;
    case 2:
        line.setToX(line.ToX());
        break;
    case 3:
        line.setPen(QPen(Qt::blue));
        break;
    case 4:
        line.setBrush(QBrush(Qt::gray));
        break;
    }
    QVERIFY(paintPending());
    QCOMPARE(linePaints.paints > 0, repaints);
}

QTEST_MAIN(LinesTest)
#include "LinesTest.moc"
