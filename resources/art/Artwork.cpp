#include "Artwork.h"

#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainterPath>
#include <QRadialGradient>
#include <QtMath>

namespace
{
const QColor WindowGrey(161, 161, 161);
const QColor Navy(0x1c, 0x3d, 0x66);
const QColor MarkTop(0x3d, 0x8f, 0xe0);
const QColor MarkBottom(0x10, 0x3c, 0x78);
const QColor Trace(0xff, 0xd5, 0x4a);

// scale gives the picture drawn at that many pixels to the point, for
// screens with a device pixel ratio above 1; the drawing is the same.
QImage Transparent(int w, int h, int scale = 1)
{
    QImage image(w * scale, h * scale, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

QFont Font(int pixels, bool bold, bool condensed = false)
{
    QFont font(condensed ? "DejaVu Sans Condensed" : "DejaVu Sans");
    font.setPixelSize(pixels);
    font.setBold(bold);
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

// A glyph as a filled path centred on a point, so that it sits exactly in
// the middle of a round button whatever the font's metrics.
void CentredGlyph(QPainter& p, const QString& text, const QFont& font, QPointF centre,
                  const QColor& colour)
{
    QPainterPath path;
    path.addText(0, 0, font, text);
    const QRectF box = path.boundingRect();
    p.save();
    p.translate(centre - box.center());
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPath(path);
    p.restore();
}

void Text(QPainter& p, QPointF baseline, const QString& text, const QFont& font,
          const QColor& colour)
{
    p.setFont(font);
    p.setPen(colour);
    p.drawText(baseline, text);
}

void ShadowedText(QPainter& p, QPointF baseline, const QString& text, const QFont& font)
{
    Text(p, baseline + QPointF(0, 1), text, font, QColor(0, 0, 0, 110));
    Text(p, baseline, text, font, Qt::white);
}

// An A-scan: the transmitted pulse and two echoes of falling height over a
// baseline, as an ultrasonic gauge shows them.
QPainterPath EchoTrace(const QRectF& r)
{
    const qreal b = r.bottom();
    auto X = [&](qreal f) { return r.left() + f * r.width(); };
    auto Y = [&](qreal f) { return r.top() + f * r.height(); };
    QPainterPath path(QPointF(r.left(), b));
    path.lineTo(X(0.14), b);
    path.lineTo(X(0.22), Y(0.0));
    path.lineTo(X(0.30), b);
    path.lineTo(X(0.50), b);
    path.lineTo(X(0.57), Y(0.38));
    path.lineTo(X(0.64), b);
    path.lineTo(X(0.77), b);
    path.lineTo(X(0.83), Y(0.66));
    path.lineTo(X(0.89), b);
    path.lineTo(r.right(), b);
    return path;
}

void Arrow(QPainter& p, QPointF from, QPointF to, qreal width, const QColor& colour)
{
    QLineF line(from, to);
    QLineF unit = line.unitVector();
    const QPointF d(unit.dx(), unit.dy());
    const QPointF n(-d.y(), d.x());
    const qreal head = width * 2.6;
    const QPointF base = to - d * head;
    QPolygonF shape;
    shape << from + n * width / 2 << base + n * width / 2 << base + n * head / 2 << to
          << base - n * head / 2 << base - n * width / 2 << from - n * width / 2;
    p.setPen(QPen(colour.darker(160), 1.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QLinearGradient fill(from, to);
    fill.setColorAt(0, colour.lighter(125));
    fill.setColorAt(1, colour);
    p.setBrush(fill);
    p.drawPolygon(shape);
}

} // namespace

// The words of the main window's background. The model names and the
// instruments' menu names (SETUP, DATA TRANSFER, F2, ENTER) are what the
// instruments show, so they stay as they are in every language; the window
// sets the other words beside the start picture in the user's language.
struct Artwork::BackgroundWords
{
    const char* connect;
    const char* usbLink;
    const char* infraredLink;
    const char* press;
    const char* transferData; // the Transfer Data button's name in the window
};

void Artwork::DrawMark(QPainter& p, const QRectF& r, bool sixteenColours)
{
    const qreal s = r.width();
    p.save();
    const QRectF body = r.adjusted(s * 0.03, s * 0.03, -s * 0.03, -s * 0.03);
    QLinearGradient fill(body.topLeft(), body.bottomLeft());
    fill.setColorAt(0, MarkTop);
    fill.setColorAt(1, MarkBottom);
    p.setPen(QPen(QColor(0x0a, 0x28, 0x50), qMax(1.0, s / 32)));
    // A 16-colour image has no mid blues: plain navy keeps the trace readable.
    if (sixteenColours)
        p.setBrush(QColor(0, 0, 0x80));
    else
        p.setBrush(fill);
    p.drawRoundedRect(body, s * 0.2, s * 0.2);

    // A faint horizon line under the trace, as on the instrument's screen.
    const QRectF traceBox(r.left() + s * 0.14, r.top() + s * 0.22, s * 0.72, s * 0.5);
    if (s >= 32)
    {
        p.setPen(QPen(QColor(255, 255, 255, 60), s / 40));
        p.drawLine(QPointF(traceBox.left(), traceBox.bottom() + s * 0.08),
                   QPointF(traceBox.right(), traceBox.bottom() + s * 0.08));
    }
    // Sixteen colours cannot blend the trace into the navy: draw it hard-edged.
    p.setRenderHint(QPainter::Antialiasing, !sixteenColours);
    p.setPen(QPen(sixteenColours ? QColor(Qt::yellow) : Trace,
                  sixteenColours ? 1.0 : qMax(1.4, s / 15), Qt::SolidLine, Qt::RoundCap,
                  Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(EchoTrace(traceBox));
    p.restore();
}

QImage Artwork::AppIcon(int size, bool sixteenColours)
{
    QImage image = Transparent(size, size);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    DrawMark(p, QRectF(0, 0, size, size), sixteenColours);
    return image;
}

QImage Artwork::Logo()
{
    QImage image(200, 33, QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    DrawMark(p, QRectF(4, 2, 29, 29), false);

    QFont font = Font(23, true);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 2.5);
    QPainterPath word;
    word.addText(42, 26, font, "PARVESTA");
    QLinearGradient fill(0, 7, 0, 26);
    fill.setColorAt(0, Qt::white);
    fill.setColorAt(1, QColor(0xc8, 0xd6, 0xe8));
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawPath(word);
    // The mark's yellow carried under the word.
    p.setBrush(Trace);
    p.drawRect(QRectF(43, 29.5, word.boundingRect().right() - 43, 1.5));
    return image;
}

void Artwork::DrawGauge(QPainter& p, const QRectF& r, bool infrared)
{
    const qreal w = r.width();
    const qreal h = r.height();
    p.save();
    p.setRenderHint(QPainter::Antialiasing);

    if (infrared)
    {
        // Infrared window on the upper right side of the rubber boot.
        QRectF ir(r.right() - w * 0.06, r.top() + h * 0.13, w * 0.12, h * 0.17);
        QLinearGradient glass(ir.topLeft(), ir.topRight());
        glass.setColorAt(0, QColor(0x5a, 0x0d, 0x12));
        glass.setColorAt(1, QColor(0xd0, 0x30, 0x38));
        p.setPen(QPen(QColor(0x30, 0x06, 0x08), 0.8));
        p.setBrush(glass);
        p.drawRoundedRect(ir, w * 0.04, w * 0.04);
    }

    // Orange rubber boot.
    QLinearGradient boot(r.topLeft(), r.topRight());
    boot.setColorAt(0, QColor(0xf3, 0x9a, 0x2e));
    boot.setColorAt(1, QColor(0xb8, 0x5e, 0x0a));
    p.setPen(QPen(QColor(0x5e, 0x30, 0x05), qMax(0.8, w / 50)));
    p.setBrush(boot);
    p.drawRoundedRect(r, w * 0.2, w * 0.2);

    // Dark face.
    const QRectF face = r.adjusted(w * 0.09, h * 0.05, -w * 0.09, -h * 0.05);
    QLinearGradient slate(face.topLeft(), face.topRight());
    slate.setColorAt(0, QColor(0x58, 0x63, 0x72));
    slate.setColorAt(1, QColor(0x2c, 0x33, 0x3d));
    p.setPen(QPen(QColor(0x16, 0x1a, 0x20), qMax(0.6, w / 70)));
    p.setBrush(slate);
    p.drawRoundedRect(face, w * 0.1, w * 0.1);

    // Screen with an echo trace.
    const QRectF screen(face.left() + face.width() * 0.1, face.top() + face.height() * 0.07,
                        face.width() * 0.8, face.height() * 0.38);
    p.setPen(QPen(QColor(0x05, 0x08, 0x07), qMax(0.6, w / 60)));
    p.setBrush(QColor(0x0d, 0x24, 0x19));
    p.drawRect(screen);
    const QRectF trace = screen.adjusted(screen.width() * 0.08, screen.height() * 0.18,
                                         -screen.width() * 0.08, -screen.height() * 0.2);
    p.setPen(QPen(QColor(0x66, 0xf5, 0x8e), qMax(0.8, w / 40), Qt::SolidLine, Qt::RoundCap,
                  Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(EchoTrace(trace));

    // Keypad: three rows of three keys, the middle bottom one the enter key.
    const QRectF pad(face.left() + face.width() * 0.14, face.top() + face.height() * 0.53,
                     face.width() * 0.72, face.height() * 0.4);
    const qreal kw = pad.width() / 3;
    const qreal kh = pad.height() / 3;
    p.setPen(Qt::NoPen);
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col)
        {
            QRectF key(pad.left() + col * kw + kw * 0.14, pad.top() + row * kh + kh * 0.16,
                       kw * 0.72, kh * 0.62);
            p.setBrush(row == 2 && col == 1 ? QColor(0x4c, 0xc3, 0x6a) : QColor(0xc2, 0xc8, 0xd0));
            p.drawRoundedRect(key, kw * 0.2, kw * 0.2);
        }
    p.restore();
}

void Artwork::DrawLaptop(QPainter& p, const QRectF& r)
{
    const qreal w = r.width();
    const qreal h = r.height();
    p.save();
    p.setRenderHint(QPainter::Antialiasing);

    const QRectF lid(r.left() + w * 0.1, r.top(), w * 0.8, h * 0.8);
    p.setPen(QPen(QColor(0x15, 0x19, 0x1f), 1));
    p.setBrush(QColor(0x2e, 0x34, 0x3d));
    p.drawRoundedRect(lid, 4, 4);

    // On the display: the program's own window, a button row over a table.
    const QRectF display = lid.adjusted(4, 4, -4, -4);
    QLinearGradient glow(display.topLeft(), display.bottomLeft());
    glow.setColorAt(0, QColor(0xf4, 0xf7, 0xfb));
    glow.setColorAt(1, QColor(0xd9, 0xe3, 0xef));
    p.setPen(Qt::NoPen);
    p.setBrush(glow);
    p.drawRect(display);
    const qreal unit = display.height() / 9;
    p.setBrush(QColor(0x3a, 0xa8, 0x5c));
    p.drawRect(QRectF(display.left() + 3, display.top() + 2, unit * 1.3, unit * 1.3));
    p.setBrush(QColor(0x2e, 0x64, 0xb8));
    p.drawRect(QRectF(display.left() + 5 + unit * 1.3, display.top() + 2, unit * 1.3, unit * 1.3));
    p.setBrush(QColor(0x9d, 0xb2, 0xcc));
    p.drawRect(QRectF(display.left() + 2, display.top() + 3 + unit * 1.5, display.width() - 4,
                      unit * 0.9));
    for (int row = 0; row < 5; ++row)
    {
        const qreal y = display.top() + unit * (3.0 + row * 1.15);
        p.setBrush(row % 2 ? QColor(0xb7, 0xc5, 0xd6) : QColor(0xc9, 0xd4, 0xe2));
        for (int col = 0; col < 4; ++col)
        {
            const qreal cw = (display.width() - 4) / 4;
            p.drawRect(QRectF(display.left() + 2 + col * cw + 1, y, cw * (col == 2 ? 0.7 : 0.45),
                              unit * 0.6));
        }
    }

    // Base.
    QPolygonF base;
    base << QPointF(r.left() + w * 0.06, r.top() + h * 0.8)
         << QPointF(r.right() - w * 0.06, r.top() + h * 0.8)
         << QPointF(r.right(), r.top() + h * 0.94) << QPointF(r.left(), r.top() + h * 0.94);
    QLinearGradient metal(0, r.top() + h * 0.8, 0, r.top() + h * 0.94);
    metal.setColorAt(0, QColor(0xe3, 0xe7, 0xec));
    metal.setColorAt(1, QColor(0xa3, 0xab, 0xb6));
    p.setPen(QPen(QColor(0x5b, 0x62, 0x6c), 1));
    p.setBrush(metal);
    p.drawPolygon(base);
    p.setBrush(QColor(0x7c, 0x84, 0x8f));
    p.drawRoundedRect(QRectF(r.left(), r.top() + h * 0.94, w, h * 0.06), 2, 2);
    p.restore();
}

void Artwork::DrawReceiver(QPainter& p, const QRectF& r)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    // Red dome facing the instrument.
    const QRectF dome(r.left() - r.height() * 0.25, r.top() + r.height() * 0.18, r.height() * 0.6,
                      r.height() * 0.64);
    QRadialGradient glass(dome.center() - QPointF(dome.width() * 0.15, dome.height() * 0.15),
                          dome.width() * 0.6);
    glass.setColorAt(0, QColor(0xff, 0x6b, 0x70));
    glass.setColorAt(1, QColor(0x8a, 0x0e, 0x15));
    p.setPen(QPen(QColor(0x3a, 0x05, 0x08), 0.8));
    p.setBrush(glass);
    p.drawEllipse(dome);

    QLinearGradient body(r.topLeft(), r.bottomLeft());
    body.setColorAt(0, QColor(0x4a, 0x52, 0x5e));
    body.setColorAt(1, QColor(0x1d, 0x21, 0x27));
    p.setPen(QPen(QColor(0x0e, 0x10, 0x13), 1));
    p.setBrush(body);
    p.drawRoundedRect(r, r.height() * 0.22, r.height() * 0.22);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x5c, 0xf0, 0x7e));
    p.drawEllipse(QPointF(r.right() - r.height() * 0.35, r.top() + r.height() * 0.32), 1.6, 1.6);
    p.restore();
}

void Artwork::DrawUsbScene(QPainter& p, const QRectF& r)
{
    const QRectF gauge(r.left() + 22, r.top() + 2, 46, 84);
    const QRectF laptop(r.right() - 122, r.top() + 12, 112, 74);

    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF start(gauge.right() + 3, gauge.bottom() - 18);
    const QPointF end(laptop.left() + 3, laptop.top() + laptop.height() * 0.86);
    QPainterPath cable(start);
    cable.cubicTo(start + QPointF(34, 4), end + QPointF(-46, 0), end);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0x1e, 0x22, 0x28), 3.4, Qt::SolidLine, Qt::RoundCap));
    p.drawPath(cable);
    p.setPen(QPen(QColor(0x55, 0x5d, 0x69), 1.2, Qt::SolidLine, Qt::RoundCap));
    p.drawPath(cable);

    // The two plugs.
    p.setPen(QPen(QColor(0x33, 0x38, 0x40), 0.8));
    p.setBrush(QColor(0xb9, 0xc0, 0xc9));
    p.drawRoundedRect(QRectF(gauge.right() - 2, start.y() - 3, 7, 6), 1.5, 1.5);
    p.drawRoundedRect(QRectF(end.x() - 8, end.y() - 3, 9, 6), 1.5, 1.5);
    p.restore();

    DrawLaptop(p, laptop);
    DrawGauge(p, gauge, false);

    // USB trident beside the cable.
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF c(r.left() + r.width() * 0.47, r.top() + 50);
    p.setPen(QPen(Navy, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawLine(c + QPointF(-11, 0), c + QPointF(11, 0));
    p.drawLine(c + QPointF(-5, 0), c + QPointF(0, -6));
    p.drawLine(c + QPointF(0, -6), c + QPointF(5, -6));
    p.drawLine(c + QPointF(-1, 0), c + QPointF(4, 6));
    p.drawLine(c + QPointF(4, 6), c + QPointF(7, 6));
    p.setBrush(Navy);
    p.drawEllipse(c + QPointF(-11, 0), 2.2, 2.2);
    p.drawEllipse(c + QPointF(6, -6), 1.8, 1.8);
    p.drawRect(QRectF(c.x() + 7, c.y() + 4.5, 3, 3));
    QPolygonF tip;
    tip << c + QPointF(15, 0) << c + QPointF(10, -3) << c + QPointF(10, 3);
    p.drawPolygon(tip);
    p.restore();
}

void Artwork::DrawInfraredScene(QPainter& p, const QRectF& r)
{
    const QRectF gauge(r.left() + 22, r.top() + 2, 46, 84);
    const QRectF receiver(gauge.right() + 48, r.top() + 18, 32, 20);
    const QRectF laptop(r.right() - 122, r.top() + 12, 112, 74);

    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF start(receiver.right() - 2, receiver.center().y());
    const QPointF end(laptop.left() + 3, laptop.top() + laptop.height() * 0.86);
    QPainterPath cable(start);
    cable.cubicTo(start + QPointF(24, 0), end + QPointF(-34, 0), end);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0x1e, 0x22, 0x28), 3.0, Qt::SolidLine, Qt::RoundCap));
    p.drawPath(cable);
    p.setPen(QPen(QColor(0x55, 0x5d, 0x69), 1.0, Qt::SolidLine, Qt::RoundCap));
    p.drawPath(cable);
    p.setPen(QPen(QColor(0x33, 0x38, 0x40), 0.8));
    p.setBrush(QColor(0xb9, 0xc0, 0xc9));
    p.drawRoundedRect(QRectF(end.x() - 8, end.y() - 3, 9, 6), 1.5, 1.5);

    // Infrared light from the instrument's window to the receiver's dome.
    const QPointF window(gauge.right() + 4, gauge.top() + gauge.height() * 0.215);
    const QPointF dome(receiver.left() - 4, receiver.center().y());
    QLineF beam(window, dome);
    p.translate(window);
    p.rotate(-beam.angle());
    p.setBrush(Qt::NoBrush);
    for (int i = 0; i < 4; ++i)
    {
        const qreal radius = 7 + i * 8.5;
        p.setPen(QPen(QColor(0xd8, 0x26, 0x2e, 230 - i * 35), 2.0, Qt::SolidLine, Qt::RoundCap));
        p.drawArc(QRectF(-radius, -radius, 2 * radius, 2 * radius), -35 * 16, 70 * 16);
    }
    p.restore();

    DrawLaptop(p, laptop);
    DrawReceiver(p, receiver);
    DrawGauge(p, gauge, true);
}

void Artwork::DrawCard(QPainter& p, const QRectF& r)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 45));
    p.drawRoundedRect(r.translated(0, 2), 8, 8);
    QLinearGradient fill(r.topLeft(), r.bottomLeft());
    fill.setColorAt(0, QColor(0xf7, 0xf8, 0xfa));
    fill.setColorAt(1, QColor(0xe6, 0xe9, 0xee));
    p.setPen(QPen(QColor(0x86, 0x8b, 0x93), 1));
    p.setBrush(fill);
    p.drawRoundedRect(r, 8, 8);
    p.restore();
}

void Artwork::DrawStep(QPainter& p, const QPointF& centre, const QString& number)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x0c, 0x2c, 0x55), 1));
    QLinearGradient fill(centre - QPointF(0, 9), centre + QPointF(0, 9));
    fill.setColorAt(0, MarkTop);
    fill.setColorAt(1, MarkBottom);
    p.setBrush(fill);
    p.drawEllipse(centre, 9, 9);
    CentredGlyph(p, number, Font(12, true), centre, Qt::white);
    p.restore();
}

QImage Artwork::Background(int scale)
{
    static const BackgroundWords english{"Connect the instrument", "USB cable", "Infrared receiver",
                                         "Press", "Transfer Data"};
    return DrawBackground(&english, scale);
}

QImage Artwork::StartPicture(int scale)
{
    return DrawBackground(nullptr, scale);
}

QImage Artwork::DrawBackground(const BackgroundWords* words, int scale)
{
    QImage image(288 * scale, 355 * scale, QImage::Format_RGB32);
    image.fill(WindowGrey);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    if (scale != 1)
        p.scale(scale, scale);

    DrawStep(p, QPointF(20, 16), "1");
    if (words)
        ShadowedText(p, QPointF(35, 21), QString::fromUtf8(words->connect), Font(14, true));

    const struct
    {
        qreal top;
        bool infrared;
        const char* models;
        const char* link;
        const char* mode;
    } cards[] = {
        {31, false, "VX-40  \u00b7  VX-41  \u00b7  VX-77", words ? words->usbLink : nullptr,
         "VX-40/41: SETUP \u203a DATA TRANSFER \u203a F2"},
        {185, true, "TR-620", words ? words->infraredLink : nullptr,
         "SETUP \u203a DATA TRANSFER \u203a ENTER"},
    };
    for (const auto& card : cards)
    {
        DrawCard(p, QRectF(8.5, card.top + 0.5, 271, 145));
        Text(p, QPointF(20, card.top + 18), card.models, Font(13, true), Navy);
        if (card.infrared)
            DrawInfraredScene(p, QRectF(10, card.top + 24, 268, 90));
        else
            DrawUsbScene(p, QRectF(10, card.top + 24, 268, 90));
        if (card.link)
            Text(p, QPointF(20, card.top + 124), QString::fromUtf8(card.link), Font(11, true),
                 QColor(0x22, 0x26, 0x2c));
        Text(p, QPointF(20, card.top + 138), card.mode, Font(11, false, true),
             QColor(0x46, 0x4c, 0x55));
    }

    // Step 2 names the button beside its picture. A line that would run past
    // the cards' right edge is set condensed instead of being cut off.
    DrawStep(p, QPointF(20, 343), "2");
    if (!words)
        return image;
    const QString press = QString::fromUtf8(words->press);
    const QString name = QString::fromUtf8(words->transferData);
    auto buttonLeft = [&](const QFont& font) {
        return qCeil(35 + QFontMetricsF(font, &image).horizontalAdvance(press) + 6);
    };
    auto lineEnd = [&](const QFont& font) {
        return buttonLeft(font) + 26 + QFontMetricsF(font, &image).horizontalAdvance(name);
    };
    QFont font = Font(14, true);
    if (lineEnd(font) > 277)
        font = Font(14, true, true);
    const int left = buttonLeft(font);
    ShadowedText(p, QPointF(35, 348), press, font);
    QImage button = TransferButton(scale).scaled(22 * scale, 22 * scale, Qt::KeepAspectRatio,
                                                 Qt::SmoothTransformation);
    button.setDevicePixelRatio(scale);
    p.drawImage(QPointF(left, 332), button);
    ShadowedText(p, QPointF(left + 26, 348), name, font);
    return image;
}

QImage Artwork::HelpPicture(bool infrared, int scale)
{
    QImage image(268 * scale, 96 * scale, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.scale(scale, scale);
    if (infrared)
        DrawInfraredScene(p, QRectF(0, 4, 268, 90));
    else
        DrawUsbScene(p, QRectF(0, 4, 268, 90));
    return image;
}

QImage Artwork::TransferButton(int scale)
{
    QImage image = Transparent(42, 42, scale);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    if (scale != 1)
        p.scale(scale, scale);
    DrawGauge(p, QRectF(2.5, 1.5, 22, 38), false);
    Arrow(p, QPointF(31.5, 6), QPointF(31.5, 40), 7, QColor(0x2f, 0xa8, 0x4f));
    return image;
}

QImage Artwork::SaveButton(int scale)
{
    QImage image = Transparent(42, 42, scale);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    if (scale != 1)
        p.scale(scale, scale);
    QPainterPath disk;
    disk.moveTo(4.5, 7.5);
    disk.quadTo(4.5, 4.5, 7.5, 4.5);
    disk.lineTo(32, 4.5);
    disk.lineTo(37.5, 10);
    disk.lineTo(37.5, 34.5);
    disk.quadTo(37.5, 37.5, 34.5, 37.5);
    disk.lineTo(7.5, 37.5);
    disk.quadTo(4.5, 37.5, 4.5, 34.5);
    disk.closeSubpath();
    QLinearGradient blue(4, 4, 38, 38);
    blue.setColorAt(0, QColor(0x4a, 0x86, 0xd8));
    blue.setColorAt(1, QColor(0x1d, 0x4f, 0x9c));
    p.setPen(QPen(QColor(0x12, 0x33, 0x66), 1.2));
    p.setBrush(blue);
    p.drawPath(disk);

    // Metal shutter with its window.
    QLinearGradient metal(12, 4, 12, 16);
    metal.setColorAt(0, QColor(0xf0, 0xf2, 0xf5));
    metal.setColorAt(1, QColor(0xa9, 0xb1, 0xbc));
    p.setPen(QPen(QColor(0x4a, 0x52, 0x5e), 0.8));
    p.setBrush(metal);
    p.drawRect(QRectF(11.5, 4.5, 19, 12));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x2c, 0x33, 0x3d));
    p.drawRect(QRectF(24, 6.5, 4, 8));

    // Label with writing.
    p.setPen(QPen(QColor(0x9a, 0xa4, 0xb2), 0.8));
    p.setBrush(QColor(0xfb, 0xfb, 0xfc));
    p.drawRoundedRect(QRectF(9.5, 21.5, 23, 16), 1.5, 1.5);
    p.setPen(QPen(QColor(0x4a, 0x86, 0xd8), 1.4));
    for (int i = 0; i < 3; ++i)
        p.drawLine(QPointF(13, 26 + 4 * i), QPointF(i == 2 ? 23 : 29, 26 + 4 * i));
    return image;
}

QImage Artwork::StatisticsButton(int scale)
{
    // A chart card: bars of a batch of readings and the dashed line of their mean.
    QImage image = Transparent(42, 42, scale);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    if (scale != 1)
        p.scale(scale, scale);
    p.setPen(QPen(QColor(0x9a, 0xa4, 0xb2), 1.2));
    p.setBrush(QColor(0xfb, 0xfb, 0xfc));
    p.drawRoundedRect(QRectF(3.5, 4.5, 35, 33), 2.5, 2.5);

    p.setPen(QPen(Navy, 1.4));
    p.drawLine(QPointF(8.5, 9), QPointF(8.5, 33.5));
    p.drawLine(QPointF(8.5, 33.5), QPointF(35, 33.5));

    const qreal heights[] = {14, 20, 11, 17};
    QLinearGradient blue(0, 8, 0, 34);
    blue.setColorAt(0, QColor(0x4a, 0x86, 0xd8));
    blue.setColorAt(1, QColor(0x1d, 0x4f, 0x9c));
    p.setPen(QPen(QColor(0x12, 0x33, 0x66), 0.8));
    p.setBrush(blue);
    for (int i = 0; i < 4; ++i)
        p.drawRect(QRectF(11.5 + 6 * i, 33 - heights[i], 4.5, heights[i]));

    QPen mean(QColor(0xe0, 0x7a, 0x1f), 1.8);
    mean.setDashPattern({2.5, 1.5});
    p.setPen(mean);
    p.drawLine(QPointF(9.5, 33 - 15.5), QPointF(36, 33 - 15.5));
    return image;
}

namespace
{
// A round button face: a lit disc with a white glyph in its middle.
QImage RoundButton(QColor light, QColor dark, QColor rim, const QString& glyph, const QFont& font,
                   QPointF glyphCentre, int scale)
{
    QImage image = Transparent(42, 42, scale);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    if (scale != 1)
        p.scale(scale, scale);
    QRadialGradient fill(QPointF(16, 13), 26);
    fill.setColorAt(0, light);
    fill.setColorAt(1, dark);
    p.setPen(QPen(rim, 1.2));
    p.setBrush(fill);
    p.drawEllipse(QPointF(21, 21), 18, 18);
    CentredGlyph(p, glyph, font, glyphCentre, Qt::white);
    return image;
}
} // namespace

QImage Artwork::HelpButton(int scale)
{
    return RoundButton(QColor(0x6c, 0xb0, 0xf2), QColor(0x17, 0x53, 0xa6), QColor(0x0e, 0x36, 0x70),
                       "?", Font(27, true), QPointF(21, 21), scale);
}

QImage Artwork::AboutButton(int scale)
{
    QFont font("DejaVu Serif");
    font.setPixelSize(28);
    font.setBold(true);
    return RoundButton(QColor(0x5e, 0xd3, 0xc1), QColor(0x0f, 0x7a, 0x6a), QColor(0x0a, 0x4f, 0x45),
                       "i", font, QPointF(21, 21.5), scale);
}

QImage Artwork::Greyed(const QImage& picture)
{
    QImage grey = picture.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < grey.height(); ++y)
        for (int x = 0; x < grey.width(); ++x)
        {
            const QRgb c = grey.pixel(x, y);
            const int g = 70 + qGray(c) * 150 / 255;
            grey.setPixel(x, y, qRgba(g, g, g, qAlpha(c)));
        }
    return grey;
}

QImage Artwork::OnMagenta(const QImage& picture)
{
    const QImage straight = picture.convertToFormat(QImage::Format_ARGB32);
    QImage out(straight.size(), QImage::Format_RGB32);
    for (int y = 0; y < out.height(); ++y)
        for (int x = 0; x < out.width(); ++x)
        {
            const QRgb c = straight.pixel(x, y);
            // Edge pixels keep the picture's own colour, not a blend with the
            // background, so no pink fringe shows whichever way the mask falls.
            out.setPixel(x, y,
                         qAlpha(c) == 0 ? qRgb(255, 0, 255) : qRgb(qRed(c), qGreen(c), qBlue(c)));
        }
    return out;
}

QImage Artwork::Mask(const QImage& picture)
{
    const QImage straight = picture.convertToFormat(QImage::Format_ARGB32);
    QImage out(straight.size(), QImage::Format_RGB32);
    for (int y = 0; y < out.height(); ++y)
        for (int x = 0; x < out.width(); ++x)
        {
            const int a = qAlpha(straight.pixel(x, y));
            out.setPixel(x, y, qRgb(a, a, a));
        }
    return out;
}
