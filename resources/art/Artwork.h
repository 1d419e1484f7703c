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
    // Pictures with transparency (ARGB32). The buttons are 42 x 42 points;
    // scale 2 draws them with 84 x 84 pixels for screens of ratio 2.
    static QImage AppIcon(int size, bool sixteenColours = false);
    static QImage TransferButton(int scale = 1);
    static QImage SaveButton(int scale = 1);
    static QImage StatisticsButton(int scale = 1);
    static QImage HelpButton(int scale = 1);
    static QImage AboutButton(int scale = 1);
    // Each opaque pixel replaced by its grey level.
    static QImage Greyed(const QImage& picture);

    // Opaque pictures.
    static QImage Logo(); // 200 x 33, on black
    // 288 x 355 points, on the window's grey, with its words in English.
    static QImage Background(int scale = 1);
    // The same drawing without the words that have a language; the window
    // sets them beside it. 288 x 355 points at the given scale.
    static QImage StartPicture(int scale = 1);
    static QImage HelpPicture(bool infrared, int scale); // one connection, on white

    // A button picture split the way the program's buttons load it: colours on
    // magenta where the picture is fully transparent, and a grey-level mask
    // (white opaque, black transparent, grey at the antialiased edges).
    static QImage OnMagenta(const QImage& picture);
    static QImage Mask(const QImage& picture);

private:
    struct BackgroundWords;
    static QImage DrawBackground(const BackgroundWords* words, int scale);
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
