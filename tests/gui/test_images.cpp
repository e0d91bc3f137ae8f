#include "editor/marginfigure.h"
#include "editor/stateimages.h"
#include <QImage>
#include <QPixmap>
#include <gtest/gtest.h>

using namespace kvt;

namespace {

QImage at(const QIcon &icon, int size, qreal dpr, QIcon::Mode mode = QIcon::Normal)
{
    return icon.pixmap(QSize(size, size), dpr, mode).toImage();
}

} // namespace

TEST(StateImages, NineImagesOf13PixelsWithHighDpiPixmaps)
{
    for (int i = 0; i < StateImageCount; ++i) {
        const QIcon icon = stateImage(i);
        ASSERT_FALSE(icon.isNull()) << i;
        EXPECT_EQ(at(icon, 13, 1).size(), QSize(13, 13)) << i;
        EXPECT_EQ(at(icon, 13, 2).size(), QSize(26, 26)) << i;
    }
    EXPECT_TRUE(stateImage(StateImageCount).isNull());
    EXPECT_TRUE(stateImage(-1).isNull());
}

TEST(StateImages, OpenAndClosedOfAPairDiffer)
{
    for (int odd = 1; odd < StateImageCount; odd += 2)
        EXPECT_NE(at(stateImage(odd), 13, 1), at(stateImage(odd + 1), 13, 1)) << odd;
}

TEST(StateImages, MenuGlyphHasItsOwnDisabledImage)
{
    const QIcon glyph = menuButtonGlyph();
    const QImage normal = at(glyph, 16, 1);
    EXPECT_EQ(normal.size(), QSize(16, 16));
    EXPECT_NE(normal, at(glyph, 16, 1, QIcon::Disabled));
    EXPECT_EQ(at(glyph, 16, 2).size(), QSize(32, 32));
}

TEST(MarginFigure, GrabsToAPaintedImageOfItsSize)
{
    for (auto shape : {MarginFigure::Shape::TallPage, MarginFigure::Shape::WideBox}) {
        MarginFigure figure(shape);
        figure.setLeadTargets(QPoint(72, 10), QPoint(72, 58), QPoint(72, 114), QPoint(72, 170));
        const QImage image = figure.grab().toImage();
        EXPECT_EQ(image.size(), MarginFigure::figureSize(shape));
        EXPECT_EQ(figure.size(), MarginFigure::figureSize(shape));
        const QRgb first = image.pixel(0, 0);
        bool painted = false;
        for (int y = 0; y < image.height() && !painted; ++y)
            for (int x = 0; x < image.width() && !painted; ++x)
                painted = image.pixel(x, y) != first;
        EXPECT_TRUE(painted);
    }
    EXPECT_EQ(MarginFigure::figureSize(MarginFigure::Shape::TallPage), QSize(153, 185));
    EXPECT_EQ(MarginFigure::figureSize(MarginFigure::Shape::WideBox), QSize(153, 86));
}
