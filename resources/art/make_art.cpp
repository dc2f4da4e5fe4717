// Draws Sonoleaf's own art: the striped background (bitmap 137), the application
// icon (128) and the maker's logo (132), as PNG files into the folder given.
// Usage: sonoleaf_make_art OUTPUT_DIR

#include <QColor>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cmath>
#include <cstdio>

namespace {

// Light blue diagonal stripes. The period divides both 550 and 275, so the bitmap
// tiles without a seam; the edges are smoothed over one pixel.
QImage Background() {
    constexpr int kWidth = 550;
    constexpr int kHeight = 275;
    constexpr int kPeriod = 25;
    constexpr double kStripe = 9.0;
    const QColor base(0xE6, 0xF1, 0xFA);
    const QColor stripe(0xD2, 0xE5, 0xF5);
    QImage image(kWidth, kHeight, QImage::Format_RGB888);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const double phase = std::fmod(x + y + 0.5, kPeriod);
            // Coverage of the stripe [0, kStripe) with a one-pixel soft edge.
            double cover = 0.0;
            if (phase < kStripe) cover = 1.0;
            const double edgeIn = phase;             // distance past the rising edge
            const double edgeOut = phase - kStripe;  // distance past the falling edge
            if (edgeIn < 1.0) cover = edgeIn;
            if (edgeOut >= 0.0 && edgeOut < 1.0) cover = 1.0 - edgeOut;
            if (phase > kPeriod - 1.0) cover = 0.0;
            const auto mix = [cover](int a, int b) {
                return static_cast<int>(std::lround(a + (b - a) * cover));
            };
            image.setPixelColor(
                x, y,
                QColor(mix(base.red(), stripe.red()), mix(base.green(), stripe.green()),
                       mix(base.blue(), stripe.blue())));
        }
    }
    return image;
}

QPainterPath LeafPath(double s) {
    // A leaf leaning to the upper right, from its stem at the lower left.
    QPainterPath leaf;
    leaf.moveTo(0.22 * s, 0.80 * s);
    leaf.cubicTo(0.16 * s, 0.45 * s, 0.36 * s, 0.20 * s, 0.74 * s, 0.18 * s);
    leaf.cubicTo(0.76 * s, 0.56 * s, 0.54 * s, 0.80 * s, 0.22 * s, 0.80 * s);
    leaf.closeSubpath();
    return leaf;
}

// The application icon: a green leaf on a blue tile, with sound waves.
QImage AppIcon(int size) {
    const double s = size;
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    QLinearGradient tile(0, 0, 0, s);
    tile.setColorAt(0, QColor(0x3C, 0x8D, 0xD9));
    tile.setColorAt(1, QColor(0x1F, 0x5F, 0xA8));
    const double margin = s * 0.04;
    p.setPen(Qt::NoPen);
    p.setBrush(tile);
    p.drawRoundedRect(QRectF(margin, margin, s - 2 * margin, s - 2 * margin), s * 0.2, s * 0.2);

    QLinearGradient green(0.2 * s, 0.8 * s, 0.75 * s, 0.2 * s);
    green.setColorAt(0, QColor(0x4C, 0xAF, 0x50));
    green.setColorAt(1, QColor(0xA5, 0xD6, 0x3F));
    p.setBrush(green);
    p.drawPath(LeafPath(s));

    if (size >= 20) {
        QPen vein(QColor(0xF1, 0xF8, 0xE9), std::max(1.0, s * 0.03), Qt::SolidLine, Qt::RoundCap);
        p.setPen(vein);
        p.setBrush(Qt::NoBrush);
        QPainterPath midrib;
        midrib.moveTo(0.18 * s, 0.86 * s);
        midrib.quadTo(0.42 * s, 0.58 * s, 0.66 * s, 0.28 * s);
        p.drawPath(midrib);
    }

    // Sound waves leaving the leaf's tip.
    QPen wave(QColor(255, 255, 255, 235), std::max(1.2, s * 0.055), Qt::SolidLine, Qt::RoundCap);
    p.setPen(wave);
    const QPointF centre(0.56 * s, 0.62 * s);
    const int waves = size >= 32 ? 3 : 2;
    for (int i = 0; i < waves; ++i) {
        const double r = s * (0.22 + 0.11 * i);
        p.drawArc(QRectF(centre.x() - r, centre.y() - r, 2 * r, 2 * r), -35 * 16, 70 * 16);
    }
    return image;
}

// The maker's logo: a round teal badge with an open book whose pages sound.
QImage MakerLogo(int size) {
    const double s = size;
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    QRadialGradient disc(QPointF(0.4 * s, 0.35 * s), 0.7 * s);
    disc.setColorAt(0, QColor(0x26, 0xA6, 0x9A));
    disc.setColorAt(1, QColor(0x00, 0x69, 0x5C));
    p.setPen(QPen(QColor(0xE0, 0xF2, 0xF1), std::max(1.0, s * 0.035)));
    p.setBrush(disc);
    const double m = s * 0.05;
    p.drawEllipse(QRectF(m, m, s - 2 * m, s - 2 * m));

    // Open book.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xFF, 0xFF, 0xFF));
    QPainterPath left;
    left.moveTo(0.50 * s, 0.40 * s);
    left.cubicTo(0.42 * s, 0.33 * s, 0.30 * s, 0.33 * s, 0.22 * s, 0.36 * s);
    left.lineTo(0.22 * s, 0.70 * s);
    left.cubicTo(0.30 * s, 0.67 * s, 0.42 * s, 0.67 * s, 0.50 * s, 0.74 * s);
    left.closeSubpath();
    QPainterPath right;
    right.moveTo(0.50 * s, 0.40 * s);
    right.cubicTo(0.58 * s, 0.33 * s, 0.70 * s, 0.33 * s, 0.78 * s, 0.36 * s);
    right.lineTo(0.78 * s, 0.70 * s);
    right.cubicTo(0.70 * s, 0.67 * s, 0.58 * s, 0.67 * s, 0.50 * s, 0.74 * s);
    right.closeSubpath();
    p.drawPath(left);
    p.setBrush(QColor(0xE0, 0xF2, 0xF1));
    p.drawPath(right);

    // Two arcs rising from the spine.
    if (size >= 24) {
        p.setPen(
            QPen(QColor(0xFF, 0xE0, 0x82), std::max(1.0, s * 0.045), Qt::SolidLine, Qt::RoundCap));
        p.setBrush(Qt::NoBrush);
        for (int i = 0; i < 2; ++i) {
            const double r = s * (0.09 + 0.07 * i);
            p.drawArc(QRectF(0.5 * s - r, 0.30 * s - r, 2 * r, 2 * r), 40 * 16, 100 * 16);
        }
    }
    return image;
}

bool Save(const QImage& image, const QString& path) {
    if (image.save(path, "PNG")) return true;
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIR\n", argv[0]);
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!out.mkpath(QStringLiteral("."))) return 1;
    bool ok = Save(Background(), out.filePath(QStringLiteral("bitmap_137.png")));
    for (int size : {16, 20, 24, 32, 40, 48, 64, 96, 128}) {
        ok = Save(AppIcon(size), out.filePath(QStringLiteral("icon_128_%1.png").arg(size))) && ok;
    }
    for (int size : {16, 32, 48, 64, 128, 256}) {
        ok = Save(MakerLogo(size), out.filePath(QStringLiteral("icon_132_%1.png").arg(size))) && ok;
    }
    return ok ? 0 : 1;
}
