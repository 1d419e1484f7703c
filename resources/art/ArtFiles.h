#ifndef PARVESTA_ARTFILES_H
#define PARVESTA_ARTFILES_H

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QRgb>

// Writers for the two Windows picture formats the program carries: plain
// 24-bit bitmaps and multi-image icon files. Qt's own writers choose header
// fields and sizes by themselves; these produce exactly the bytes asked for.
class ArtFiles
{
public:
    // A 24-bit, bottom-up, uncompressed bitmap with rows padded to 4 bytes.
    // trailingBytes zero bytes follow the pixel array and count in the file size.
    static QByteArray Bmp24(const QImage& image, int trailingBytes = 0);

    // One image of an icon file: the picture (alpha below 128 is transparent)
    // and its depth, 4, 8 or 24 bits.
    struct IconImage
    {
        QImage image;
        int bits;
    };
    static QByteArray Ico(const QList<IconImage>& images);

    // The sixteen colours of a 4-bit icon image.
    static QList<QRgb> Palette16();

private:
    static QByteArray IconDib(const QImage& image, int bits);
};

#endif
