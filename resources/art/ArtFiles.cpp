#include "ArtFiles.h"

#include <QtEndian>

namespace
{
void Put16(QByteArray& out, quint16 v)
{
    char b[2];
    qToLittleEndian(v, b);
    out.append(b, 2);
}

void Put32(QByteArray& out, quint32 v)
{
    char b[4];
    qToLittleEndian(v, b);
    out.append(b, 4);
}

int Stride(int width, int bits)
{
    return ((width * bits + 31) / 32) * 4;
}

// 40-byte information header; an icon image states twice its height
// because the transparency mask follows the colours.
void PutInfoHeader(QByteArray& out, int width, int height, int bits, quint32 imageBytes,
                   int colours)
{
    Put32(out, 40);
    Put32(out, quint32(width));
    Put32(out, quint32(height));
    Put16(out, 1);
    Put16(out, quint16(bits));
    Put32(out, 0); // uncompressed
    Put32(out, imageBytes);
    Put32(out, 2835); // 72 dpi
    Put32(out, 2835);
    Put32(out, quint32(colours));
    Put32(out, 0);
}

void PutRow24(QByteArray& out, const QImage& image, int y, int stride)
{
    const int start = out.size();
    for (int x = 0; x < image.width(); ++x)
    {
        const QRgb c = image.pixel(x, y);
        out.append(char(qBlue(c)));
        out.append(char(qGreen(c)));
        out.append(char(qRed(c)));
    }
    out.append(QByteArray(stride - (out.size() - start), '\0'));
}
} // namespace

QByteArray ArtFiles::Bmp24(const QImage& image, int trailingBytes)
{
    const int stride = Stride(image.width(), 24);
    const quint32 pixelBytes = quint32(stride * image.height() + trailingBytes);
    QByteArray out;
    out.append("BM", 2);
    Put32(out, 54 + pixelBytes);
    Put32(out, 0);
    Put32(out, 54);
    PutInfoHeader(out, image.width(), image.height(), 24, pixelBytes, 0);
    for (int y = image.height() - 1; y >= 0; --y)
        PutRow24(out, image, y, stride);
    out.append(QByteArray(trailingBytes, '\0'));
    return out;
}

QList<QRgb> ArtFiles::Palette16()
{
    return {0xff000000, 0xff800000, 0xff008000, 0xff808000, 0xff000080, 0xff800080,
            0xff008080, 0xffc0c0c0, 0xff808080, 0xffff0000, 0xff00ff00, 0xffffff00,
            0xff0000ff, 0xffff00ff, 0xff00ffff, 0xffffffff};
}

QByteArray ArtFiles::IconDib(const QImage& source, int bits)
{
    const QImage image = source.convertToFormat(QImage::Format_ARGB32);
    const int w = image.width();
    const int h = image.height();
    const int maskStride = Stride(w, 1);
    const int colourStride = Stride(w, bits);

    QList<QRgb> palette;
    QImage indexed;
    if (bits == 4)
        palette = Palette16();
    if (bits <= 8)
    {
        const QImage opaque = image.convertToFormat(QImage::Format_RGB32);
        if (bits == 8)
        {
            indexed = opaque.convertToFormat(QImage::Format_Indexed8,
                                             Qt::ThresholdDither | Qt::AvoidDither);
            palette = indexed.colorTable();
        }
        else
            indexed = opaque.convertToFormat(QImage::Format_Indexed8, palette, Qt::ThresholdDither);
        while (palette.size() < (1 << bits))
            palette.append(0xff000000);
    }

    QByteArray out;
    const quint32 imageBytes = quint32((colourStride + maskStride) * h);
    PutInfoHeader(out, w, 2 * h, bits, imageBytes, bits <= 8 ? (1 << bits) : 0);
    for (QRgb c : palette)
    {
        out.append(char(qBlue(c)));
        out.append(char(qGreen(c)));
        out.append(char(qRed(c)));
        out.append('\0');
    }

    auto transparent = [&](int x, int y) { return qAlpha(image.pixel(x, y)) < 128; };

    for (int y = h - 1; y >= 0; --y)
    {
        if (bits == 24)
        {
            QImage row = image.copy(0, y, w, 1);
            for (int x = 0; x < w; ++x)
                if (transparent(x, y))
                    row.setPixel(x, 0, 0xff000000);
            PutRow24(out, row, 0, colourStride);
            continue;
        }
        QByteArray packed(colourStride, '\0');
        for (int x = 0; x < w; ++x)
        {
            const int index = transparent(x, y) ? 0 : indexed.pixelIndex(x, y);
            if (bits == 8)
                packed[x] = char(index);
            else
                packed[x / 2] = char(packed[x / 2] | (x % 2 ? index : index << 4));
        }
        out.append(packed);
    }
    for (int y = h - 1; y >= 0; --y)
    {
        QByteArray packed(maskStride, '\0');
        for (int x = 0; x < w; ++x)
            if (transparent(x, y))
                packed[x / 8] = char(packed[x / 8] | (0x80 >> (x % 8)));
        out.append(packed);
    }
    return out;
}

QByteArray ArtFiles::Ico(const QList<IconImage>& images)
{
    QList<QByteArray> dibs;
    for (const IconImage& i : images)
        dibs.append(IconDib(i.image, i.bits));

    QByteArray out;
    Put16(out, 0);
    Put16(out, 1); // icon
    Put16(out, quint16(images.size()));
    quint32 offset = quint32(6 + 16 * images.size());
    for (int i = 0; i < images.size(); ++i)
    {
        const QImage& image = images[i].image;
        out.append(char(image.width() >= 256 ? 0 : image.width()));
        out.append(char(image.height() >= 256 ? 0 : image.height()));
        out.append(char(images[i].bits == 4 ? 16 : 0));
        out.append('\0');
        Put16(out, 1);
        Put16(out, quint16(images[i].bits));
        Put32(out, quint32(dibs[i].size()));
        Put32(out, offset);
        offset += quint32(dibs[i].size());
    }
    for (const QByteArray& dib : dibs)
        out.append(dib);
    return out;
}
