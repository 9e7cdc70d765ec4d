// Draws the program's pictures and stores them as 8-bit palette images: the title picture of
// the splash window, the wizard picture, the two check-box images of the verification lists,
// the toolbar strip and the application icon. Run it from the repository root with the
// offscreen platform:  QT_QPA_PLATFORM=offscreen build/tessary-make-pictures res
#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QHash>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

// Colours of the pictures.
const QColor kNavy(0x14, 0x21, 0x3d);
const QColor kTeal(0x1f, 0x6f, 0x78);
const QColor kCream(0xf4, 0xf1, 0xde);
const QColor kAmber(0xf2, 0xa5, 0x41);
const QColor kCoral(0xe4, 0x57, 0x2e);
const QColor kSky(0x4e, 0xa8, 0xde);
const QColor kLeaf(0x76, 0xb0, 0x41);
const QColor kInk(0x20, 0x20, 0x28);

// ---- palette reduction: median cut over the colours in use, then nearest colour ----

struct Box {
    std::vector<std::pair<QRgb, int>> colours;  // colour and pixel count
};

int Channel(QRgb c, int axis) {
    switch (axis) {
        case 0:
            return qRed(c);
        case 1:
            return qGreen(c);
        case 2:
            return qBlue(c);
        default:
            return qAlpha(c);
    }
}

QVector<QRgb> MedianCut(const QImage& image, int maxColours) {
    QHash<QRgb, int> counts;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            QRgb c = image.pixel(x, y);
            if (qAlpha(c) == 0) c = 0;
            ++counts[c];
        }
    std::vector<Box> boxes(1);
    for (auto it = counts.begin(); it != counts.end(); ++it)
        boxes[0].colours.push_back({it.key(), it.value()});
    while (static_cast<int>(boxes.size()) < maxColours) {
        // Split the box with the widest channel, weighted by how many pixels it holds.
        int best = -1, bestAxis = 0;
        double bestScore = 0;
        for (size_t i = 0; i < boxes.size(); ++i) {
            if (boxes[i].colours.size() < 2) continue;
            long pixels = 0;
            for (auto& c : boxes[i].colours)
                pixels += c.second;
            for (int axis = 0; axis < 4; ++axis) {
                int lo = 255, hi = 0;
                for (auto& c : boxes[i].colours) {
                    lo = std::min(lo, Channel(c.first, axis));
                    hi = std::max(hi, Channel(c.first, axis));
                }
                double score = double(hi - lo) * std::sqrt(double(pixels));
                if (score > bestScore) {
                    bestScore = score;
                    best = int(i);
                    bestAxis = axis;
                }
            }
        }
        if (best < 0) break;
        auto& v = boxes[best].colours;
        std::sort(v.begin(), v.end(), [bestAxis](auto& a, auto& b) {
            return Channel(a.first, bestAxis) < Channel(b.first, bestAxis);
        });
        long total = 0, half = 0;
        for (auto& c : v)
            total += c.second;
        size_t cut = 0;
        while (cut < v.size() - 2 && (half += v[cut].second) < total / 2)
            ++cut;
        Box other;
        other.colours.assign(v.begin() + long(cut) + 1, v.end());
        v.resize(cut + 1);
        boxes.push_back(other);
    }
    QVector<QRgb> palette;
    for (auto& b : boxes) {
        double r = 0, g = 0, bl = 0, a = 0, n = 0;
        for (auto& c : b.colours) {
            r += qRed(c.first) * c.second;
            g += qGreen(c.first) * c.second;
            bl += qBlue(c.first) * c.second;
            a += qAlpha(c.first) * c.second;
            n += c.second;
        }
        palette.push_back(
            qRgba(int(r / n + 0.5), int(g / n + 0.5), int(bl / n + 0.5), int(a / n + 0.5)));
    }
    // Palette pictures carry full colour tables.
    while (palette.size() < 256)
        palette.push_back(qRgba(0, 0, 0, 255));
    return palette;
}

QImage ToPalette(const QImage& source) {
    QImage argb = source.convertToFormat(QImage::Format_ARGB32);
    QVector<QRgb> palette = MedianCut(argb, 256);
    QImage out(argb.size(), QImage::Format_Indexed8);
    out.setColorTable(palette);
    QHash<QRgb, int> nearest;
    for (int y = 0; y < argb.height(); ++y)
        for (int x = 0; x < argb.width(); ++x) {
            QRgb c = argb.pixel(x, y);
            if (qAlpha(c) == 0) c = 0;
            auto it = nearest.find(c);
            if (it == nearest.end()) {
                int best = 0;
                long bestDist = -1;
                for (int i = 0; i < palette.size(); ++i) {
                    long dr = qRed(c) - qRed(palette[i]), dg = qGreen(c) - qGreen(palette[i]);
                    long db = qBlue(c) - qBlue(palette[i]), da = qAlpha(c) - qAlpha(palette[i]);
                    long d = dr * dr + dg * dg + db * db + 2 * da * da;
                    if (bestDist < 0 || d < bestDist) {
                        bestDist = d;
                        best = i;
                    }
                }
                it = nearest.insert(c, best);
            }
            out.setPixel(x, y, uint(it.value()));
        }
    return out;
}

// ---- drawing ----

void Tile(QPainter& p, const QRectF& r, const QColor& c, bool ticked) {
    p.setPen(Qt::NoPen);
    p.setBrush(c.darker(135));
    p.drawRoundedRect(r.translated(1.5, 1.5), 3, 3);
    p.setBrush(c);
    p.drawRoundedRect(r, 3, 3);
    if (ticked) {
        QPen pen(kCream, r.width() / 7.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        QPainterPath tick;
        tick.moveTo(r.left() + r.width() * 0.25, r.top() + r.height() * 0.55);
        tick.lineTo(r.left() + r.width() * 0.43, r.top() + r.height() * 0.72);
        tick.lineTo(r.left() + r.width() * 0.76, r.top() + r.height() * 0.30);
        p.drawPath(tick);
    }
}

QColor TileColour(int i) {
    static const QColor set[] = {kAmber, kSky, kCoral, kLeaf, kCream};
    static const int pattern[] = {0, 1, 3, 2, 1, 4, 0, 3, 2, 0, 1, 4, 3, 1, 2, 0, 4, 3, 1, 2};
    return set[pattern[i % 20]];
}

void Background(QPainter& p, const QRect& r) {
    QLinearGradient g(r.topLeft(), r.bottomRight());
    g.setColorAt(0, kNavy);
    g.setColorAt(1, kTeal);
    p.fillRect(r, g);
}

QImage TitlePicture() {
    QImage img(400, 199, QImage::Format_ARGB32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    Background(p, img.rect());
    // A mosaic of tiles on the left; the checked ones are the files already put right.
    const double size = 26, gap = 6, x0 = 22, y0 = 22;
    for (int row = 0; row < 5; ++row)
        for (int col = 0; col < 4; ++col) {
            int i = row * 4 + col;
            if ((row + col) % 5 == 4) continue;  // a gap in the mosaic
            QRectF r(x0 + col * (size + gap), y0 + row * (size + gap), size, size);
            Tile(p, r, TileColour(i), (i % 3) == 0);
        }
    // The name and what the program does.
    QFont big(QStringLiteral("DejaVu Sans"));
    big.setPixelSize(50);
    big.setBold(true);
    p.setFont(big);
    p.setPen(kCream);
    p.drawText(QRect(160, 40, 230, 64), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Tessary"));
    p.setPen(QPen(kAmber, 3));
    p.drawLine(QPointF(163, 110), QPointF(372, 110));
    QFont small(QStringLiteral("DejaVu Sans"));
    small.setPixelSize(14);
    p.setFont(small);
    p.setPen(kCream);
    p.drawText(
        QRect(163, 120, 230, 60), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
        QStringLiteral("file names \u00b7 line ends \u00b7 links\nfor Web sites and CD-ROMs"));
    p.end();
    return img;
}

QImage WizardPicture() {
    QImage img(100, 150, QImage::Format_ARGB32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    Background(p, img.rect());
    const double size = 20, gap = 5;
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col) {
            int i = row * 3 + col + 2;
            QRectF r(15 + col * (size + gap), 14 + row * (size + gap), size, size);
            Tile(p, r, TileColour(i), (i % 4) == 1);
        }
    // A folder, the directory a run checks.
    QPainterPath folder;
    folder.moveTo(18, 104);
    folder.lineTo(18, 96);
    folder.lineTo(38, 96);
    folder.lineTo(44, 102);
    folder.lineTo(82, 102);
    folder.lineTo(82, 134);
    folder.lineTo(18, 134);
    folder.closeSubpath();
    p.setPen(QPen(kNavy.darker(130), 1.5));
    p.setBrush(kAmber);
    p.drawPath(folder);
    p.setBrush(kAmber.lighter(115));
    p.drawRect(QRectF(18, 108, 64, 26));
    Tile(p, QRectF(58, 112, 18, 18), kLeaf, true);
    p.end();
    return img;
}

QImage CheckBox(bool checked) {
    QImage img(16, 16, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.fillRect(QRect(2, 2, 12, 12), QColor(0x80, 0x80, 0x80));
    p.fillRect(QRect(3, 3, 10, 10), Qt::white);
    if (checked) {
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(kInk, 2, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
        QPainterPath tick;
        tick.moveTo(4.5, 8);
        tick.lineTo(7, 10.5);
        tick.lineTo(11.5, 5);
        p.drawPath(tick);
    }
    p.end();
    return img;
}

// Toolbar pictures, 16 x 15 each, drawn pixel-sharp.
void Folder(QPainter& p, int x, bool open) {
    p.setPen(QColor(0x80, 0x60, 0x10));
    p.setBrush(kAmber);
    p.drawRect(x + 1, 4, 12, 9);
    p.drawRect(x + 1, 3, 5, 1);
    if (open) {
        QPolygon lid({QPoint(x + 3, 7), QPoint(x + 15, 7), QPoint(x + 13, 13), QPoint(x + 1, 13)});
        p.setBrush(kAmber.lighter(120));
        p.drawPolygon(lid);
    }
}

QImage ToolbarStrip() {
    QImage img(16 * 8, 15, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    const QColor dark(0x30, 0x30, 0x38), paper(Qt::white), blue(0x28, 0x5c, 0xb0);
    // 0 Check Directory: a folder with a tick.
    Folder(p, 0, false);
    p.setPen(QPen(kLeaf.darker(150), 2));
    p.drawLine(6, 9, 8, 11);
    p.drawLine(8, 11, 13, 5);
    // 1 Open Report: an open folder.
    Folder(p, 16, true);
    // 2 Save Report: a disk.
    p.setPen(dark);
    p.setBrush(blue);
    p.drawRect(32 + 1, 1, 13, 13);
    p.setBrush(paper);
    p.drawRect(32 + 4, 1, 7, 5);
    p.fillRect(32 + 4, 9, 8, 5, QColor(0xd0, 0xd0, 0xd8));
    // 3 Cut: scissors.
    p.setPen(QPen(dark, 1));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(48 + 2, 9, 4, 4);
    p.drawEllipse(48 + 9, 9, 4, 4);
    p.drawLine(48 + 5, 9, 48 + 10, 1);
    p.drawLine(48 + 10, 9, 48 + 5, 1);
    // 4 Copy: two pages.
    for (int k = 0; k < 2; ++k) {
        p.setPen(dark);
        p.setBrush(paper);
        p.drawRect(64 + 2 + k * 5, 1 + k * 4, 7, 9);
        for (int l = 0; l < 3; ++l)
            p.drawLine(64 + 4 + k * 5, 4 + k * 4 + l * 2, 64 + 7 + k * 5, 4 + k * 4 + l * 2);
    }
    // 5 Paste: a clipboard with a page.
    p.setPen(dark);
    p.setBrush(QColor(0xb0, 0x80, 0x40));
    p.drawRect(80 + 1, 2, 10, 12);
    p.setBrush(QColor(0xc0, 0xc0, 0xc0));
    p.drawRect(80 + 4, 1, 4, 2);
    p.setBrush(paper);
    p.drawRect(80 + 7, 6, 7, 8);
    // 6 Print Report: a printer.
    p.setBrush(paper);
    p.drawRect(96 + 4, 1, 8, 5);
    p.setBrush(QColor(0xb8, 0xb8, 0xc0));
    p.drawRect(96 + 1, 6, 14, 5);
    p.setBrush(paper);
    p.drawRect(96 + 4, 10, 8, 4);
    p.fillRect(96 + 12, 7, 2, 1, kLeaf);
    // 7 About: a speech bubble with a question mark.
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(blue.darker(130), 1));
    p.setBrush(blue);
    p.drawEllipse(QRectF(112 + 1.5, 0.5, 13, 13));
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(11);
    f.setBold(true);
    p.setFont(f);
    p.setPen(paper);
    p.drawText(QRect(112 + 1, 0, 14, 14), Qt::AlignCenter, QStringLiteral("?"));
    p.end();
    return img;
}

QImage AppIcon(int size) {
    QImage img(size, size, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const double s = size / 64.0;
    QLinearGradient g(0, 0, size, size);
    g.setColorAt(0, kNavy);
    g.setColorAt(1, kTeal);
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawRoundedRect(QRectF(2 * s, 2 * s, 60 * s, 60 * s), 12 * s, 12 * s);
    const double t = 22 * s, gap = 4 * s, x0 = 9 * s, y0 = 9 * s;
    Tile(p, QRectF(x0, y0, t, t), kAmber, false);
    Tile(p, QRectF(x0 + t + gap, y0, t, t), kSky, false);
    Tile(p, QRectF(x0, y0 + t + gap, t, t), kCoral, false);
    Tile(p, QRectF(x0 + t + gap, y0 + t + gap, t, t), kLeaf, true);
    p.end();
    return img;
}

bool Store(const QImage& picture, const QString& path) {
    QImage indexed = ToPalette(picture);
    if (!indexed.save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s: %dx%d, %d colours\n", qPrintable(path), indexed.width(), indexed.height(),
                int(indexed.colorCount()));
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("res"));
    bool ok = Store(TitlePicture(), out.filePath(QStringLiteral("title.bmp")));
    ok = Store(WizardPicture(), out.filePath(QStringLiteral("wizard.bmp"))) && ok;
    ok = Store(CheckBox(false), out.filePath(QStringLiteral("checkbox_off.png"))) && ok;
    ok = Store(CheckBox(true), out.filePath(QStringLiteral("checkbox_on.png"))) && ok;
    ok = Store(ToolbarStrip(), out.filePath(QStringLiteral("toolbar.png"))) && ok;
    ok = Store(AppIcon(64), out.filePath(QStringLiteral("tessary.png"))) && ok;
    return ok ? 0 : 1;
}
