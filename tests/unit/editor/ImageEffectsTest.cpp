#include "editor/effects/ImageEffects.h"
#include "editor/effects/ImageFilters.h"
#include "unit/editor/EditorTestSupport.h"

#include <QPainter>
#include <cmath>
#include <gtest/gtest.h>

using namespace zorv;
using namespace zorv::test;

TEST(ImageEffects, BlurFollowsAGaussianOfTheRadius)
{
    // A vertical step at x = 200: the blurred profile is the distribution
    // function of a Gaussian whose standard deviation is the radius.
    QImage step = solidImage({400, 8}, Qt::black);
    QPainter(&step).fillRect(QRect(200, 0, 200, 8), Qt::white);
    for (double radius : {4.0, 14.0, 40.0, 80.0}) {
        SCOPED_TRACE(radius);
        const QImage out = imageFilters::gaussianBlur(step, radius);
        for (double sigmas : {-2.0, -1.0, -0.5, 0.5, 1.0, 2.0}) {
            const int x = 200 + int(std::floor(sigmas * radius));
            const double distance = x + 0.5 - 200;
            const double expected = 255 * 0.5 * std::erfc(-distance / (radius * std::sqrt(2.0)));
            EXPECT_NEAR(qRed(out.pixel(x, 4)), expected, 4) << "at " << sigmas << " sigma";
        }
    }
}

TEST(ImageEffects, EdgesAreExtendedNotDarkened)
{
    // Small and large images, narrow and wide boxes: flat colour stays flat.
    for (QSize size : {QSize(50, 30), QSize(1201, 1003)}) {
        const QImage red = solidImage(size, QColor(220, 30, 30));
        for (double radius : {3.0, 60.0, 90.0}) {
            const QImage out = imageFilters::gaussianBlur(red, radius);
            EXPECT_TRUE(out == red) << size.width() << " " << radius;
        }
        EXPECT_EQ(imageFilters::pixelate(red, 7), red);
    }
}

TEST(ImageEffects, ThreadedAndSingleThreadedResultsAgree)
{
    const QImage image = noise(317, 211, 3, false);
    EXPECT_EQ(imageFilters::gaussianBlur(image, 5, imageFilters::Threads::pool),
              imageFilters::gaussianBlur(image, 5, imageFilters::Threads::single));
    EXPECT_EQ(imageFilters::pixelate(image, 9, imageFilters::Threads::pool),
              imageFilters::pixelate(image, 9, imageFilters::Threads::single));
}

TEST(ImageEffects, PixelCellsAverageWhatLiesUnderThem)
{
    // Left half of every cell black, right half white: each cell is mid-grey,
    // including the cut-off cells at the right and bottom edges.
    QImage stripes = solidImage({20, 13}, Qt::white);
    for (int x = 0; x < stripes.width(); x += 4)
        QPainter(&stripes).fillRect(x, 0, 2, stripes.height(), Qt::black);
    EXPECT_EQ(imageFilters::pixelate(stripes, 4), solidImage({20, 13}, QColor(128, 128, 128)));
}

TEST(ImageEffects, CacheSharesNearbyValuesAndDropsTheLeastRecentlyUsed)
{
    const QImage image = noise(100, 100, 2);
    ImageEffects effects; // four entries at most
    const QImage a = effects.blurred(image, 1.2);
    EXPECT_EQ(effects.blurred(image, 0.8).cacheKey(), a.cacheKey());
    // The picture does not depend on which of two nearby values came first.
    EXPECT_EQ(ImageEffects().blurred(image, 0.8), a);
    effects.blurred(image, 3);
    effects.blurred(image.copy(), 1);  // equal pixels, but another image
    effects.blurred(QImage(image), 1); // a shared copy: now the most recently used
    effects.pixelated(image, 5);
    effects.pixelated(image, 6);
    EXPECT_EQ(effects.entryCount(), 4);
    EXPECT_TRUE(effects.contains(ImageEffects::cacheKey(QStringLiteral("blur"), 1, image)));
    EXPECT_FALSE(effects.contains(ImageEffects::cacheKey(QStringLiteral("blur"), 3, image)));

    const qint64 entryCost = 100 * 4 * 100; // 100 × 100 pixels
    ImageEffects budget(4, 2 * entryCost + 10);
    for (int radius = 1; radius <= 3; ++radius)
        budget.blurred(image, radius);
    EXPECT_EQ(budget.entryCount(), 2);
    // An image bigger than the whole budget is still kept, alone, so that a
    // drag over it does not recompute the effect on every frame.
    ImageEffects tight(4, entryCost / 2);
    const QImage first = tight.blurred(image, 4);
    EXPECT_EQ(tight.blurred(image, 4).cacheKey(), first.cacheKey());
}
