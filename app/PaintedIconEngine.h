#ifndef PARVESTA_PAINTEDICONENGINE_H
#define PARVESTA_PAINTEDICONENGINE_H

#include <QIconEngine>

// An icon drawn by its paint() at each size and pixel ratio asked for, so
// that it stays sharp at 2x instead of being a bitmap scaled up.
class PaintedIconEngine : public QIconEngine
{
public:
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override;
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state,
                         qreal scale) override;
};

#endif
