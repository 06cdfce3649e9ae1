#include "app/Toast.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>

using namespace zorv;

namespace
{
int visibleToasts()
{
    int count = 0;
    for (QWidget *widget : QApplication::topLevelWidgets())
        count += qobject_cast<ToastView *>(widget) && widget->isVisible();
    return count;
}
} // namespace

TEST(Toast, NewToastReplacesTheVisibleOne)
{
    Toast::show("First", "checkmark", 5);
    Toast::show("Second", "pin.slash", 0.05);
    QApplication::processEvents();
    EXPECT_EQ(visibleToasts(), 1);
    ASSERT_TRUE(Toast::current());
    EXPECT_EQ(Toast::current()->message(), "Second");
    // The replaced toast's timer finds itself replaced and the second one ends on time.
    QTRY_COMPARE_WITH_TIMEOUT(visibleToasts(), 0, 2000);
    EXPECT_EQ(Toast::current(), nullptr);
}

TEST(Toast, APillSizedToItsTextAtTopCentreThatNeverTakesFocusOrClicks)
{
    Toast::show("Short", "checkmark", 1);
    const int shortWidth = Toast::current()->width();
    Toast::show("Couldn't save: The folder /home/someone/Pictures/Zorv is not writable",
                "checkmark", 1);
    ToastView *view = Toast::current();
    ASSERT_TRUE(view);
    EXPECT_GT(view->width(), shortWidth);
    EXPECT_LE(view->width(), 720);
    EXPECT_EQ(view->height(), view->sizeHint().height()); // one line
    EXPECT_TRUE(view->windowFlags().testFlag(Qt::WindowTransparentForInput));
    EXPECT_FALSE(view->isActiveWindow());
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_NEAR(view->geometry().center().x(), screen.center().x(), 1);
    EXPECT_EQ(view->y(), screen.top() + Toast::topMargin);
}
