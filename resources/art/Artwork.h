#ifndef PARVESTA_ARTWORK_H
#define PARVESTA_ARTWORK_H

#include <QImage>
#include <QPainter>
#include <QRectF>

// Parvesta's pictures, drawn as vectors so that every size comes from the
// same drawing: the product mark (an ultrasonic echo trace), the instruments,
// the tool-button pictures and the background of the main window.
class Artwork
{
public:
    // The language of the words drawn into a picture.
    enum class Language
    {
        English,
        Russian,
    };

    // Pictures with transparency (ARGB32).
    static QImage AppIcon(int size, bool sixteenColours = false);
    static QImage TransferButton();
    static QImage SaveButton();
    static QImage StatisticsButton();
    static QImage HelpButton();
    static QImage AboutButton();
    // Each opaque pixel replaced by its grey level.
    static QImage Greyed(const QImage& picture);

    // Opaque pictures.
    static QImage Logo(); // 200 x 33, on black
    // 288 x 355, on the window's grey.
    static QImage Background(Language language = Language::English);
    static QImage HelpPicture(bool infrared, int scale); // one connection, on white

    // A button picture split the way the program's buttons load it: colours on
    // magenta where the picture is fully transparent, and a grey-level mask
    // (white opaque, black transparent, grey at the antialiased edges).
    static QImage OnMagenta(const QImage& picture);
    static QImage Mask(const QImage& picture);

private:
    static void DrawMark(QPainter& p, const QRectF& r, bool sixteenColours);
    static void DrawGauge(QPainter& p, const QRectF& r, bool infrared);
    static void DrawLaptop(QPainter& p, const QRectF& r);
    static void DrawReceiver(QPainter& p, const QRectF& r);
    static void DrawUsbScene(QPainter& p, const QRectF& r);
    static void DrawInfraredScene(QPainter& p, const QRectF& r);
    static void DrawCard(QPainter& p, const QRectF& r);
    static void DrawStep(QPainter& p, const QPointF& centre, const QString& number);
};

#endif
