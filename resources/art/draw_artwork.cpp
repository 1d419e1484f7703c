// Redraws every picture Parvesta carries. Run through scripts/draw-artwork,
// which passes the source folder; the results are committed.
#include "ArtFiles.h"
#include "Artwork.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTextStream>

namespace
{
bool Write(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
    {
        QTextStream(stderr) << "cannot write " << path << "\n";
        return false;
    }
    return true;
}

bool WritePng(const QString& path, const QImage& image)
{
    if (!image.save(path, "PNG"))
    {
        QTextStream(stderr) << "cannot write " << path << "\n";
        return false;
    }
    return true;
}
} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 2)
    {
        QTextStream(stderr) << "usage: parvesta_draw_artwork SOURCE_FOLDER\n";
        return 2;
    }
    const QDir root(QString::fromLocal8Bit(argv[1]));
    for (const char* sub :
         {"resources/Image", "resources/Button", "resources/icons", "Help/Images"})
        root.mkpath(sub);
    auto at = [&](const QString& rel) { return root.filePath(rel); };

    bool ok = true;
    ok &= Write(at("resources/Image/Parvesta.ico"), ArtFiles::Ico({{Artwork::AppIcon(16, true), 4},
                                                                   {Artwork::AppIcon(32), 8},
                                                                   {Artwork::AppIcon(16), 8},
                                                                   {Artwork::AppIcon(32), 24},
                                                                   {Artwork::AppIcon(48), 24}}));
    // The background's two pad bytes after the pixel rows are part of its format.
    ok &= Write(at("resources/Image/background.bmp"), ArtFiles::Bmp24(Artwork::Background(), 2));
    // Screens of ratio 2 get each picture drawn with twice the pixels, with
    // real transparency, named the way Qt names such variants.
    ok &= WritePng(at("resources/Image/background@2x.png"), Artwork::Background(2));
    // What the window shows: the drawing, and its words set beside it in the
    // user's language.
    ok &= WritePng(at("resources/Image/background_plain.png"), Artwork::StartPicture(1));
    ok &= WritePng(at("resources/Image/background_plain@2x.png"), Artwork::StartPicture(2));
    ok &= Write(at("resources/Image/logo.bmp"), ArtFiles::Bmp24(Artwork::Logo()));

    const struct
    {
        const char* name;
        QImage (*draw)(int scale);
    } buttons[] = {
        {"data_transf", Artwork::TransferButton},  {"save_file", Artwork::SaveButton},
        {"statistics", Artwork::StatisticsButton}, {"help", Artwork::HelpButton},
        {"about", Artwork::AboutButton},
    };
    for (const auto& b : buttons)
    {
        const QString base = at(QString("resources/Button/") + b.name);
        const QImage picture = b.draw(1);
        ok &= Write(base + ".bmp", ArtFiles::Bmp24(Artwork::OnMagenta(picture)));
        ok &= Write(base + "_mask.bmp", ArtFiles::Bmp24(Artwork::Mask(picture)));
        ok &= WritePng(base + "@2x.png", b.draw(2));
        ok &= WritePng(at(QString("Help/Images/button_") + b.name + ".png"), picture);
    }
    ok &= Write(at("resources/Button/data_transf_grey.bmp"),
                ArtFiles::Bmp24(Artwork::OnMagenta(Artwork::Greyed(Artwork::TransferButton()))));

    for (int size : {16, 24, 32, 48, 64, 128, 256})
        ok &= WritePng(at(QString("resources/icons/parvesta-%1.png").arg(size)),
                       Artwork::AppIcon(size));

    ok &= WritePng(at("Help/Images/connect_usb.png"), Artwork::HelpPicture(false, 2));
    ok &= WritePng(at("Help/Images/connect_infrared.png"), Artwork::HelpPicture(true, 2));
    ok &= WritePng(at("Help/Images/logo.png"), Artwork::Logo());
    return ok ? 0 : 1;
}
