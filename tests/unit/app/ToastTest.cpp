#include "app/Toast.h"
#include "support/fake/FakeWindowSystem.h"

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

struct ToastTest : ::testing::Test {
    FakeWindowSystem windows;
    Toast toast{windows};
};
} // namespace

TEST_F(ToastTest, NewToastReplacesTheVisibleOne)
{
    toast.show("First", "checkmark", 5);
    toast.show("Second", "pin.slash", 0.05);
    QApplication::processEvents();
    EXPECT_EQ(visibleToasts(), 1);
    ASSERT_TRUE(toast.current());
    EXPECT_EQ(toast.current()->message(), "Second");
    // The replaced toast's timer finds itself replaced and the second one ends on time.
    QTRY_COMPARE_WITH_TIMEOUT(visibleToasts(), 0, 2000);
    EXPECT_EQ(toast.current(), nullptr);
}

TEST_F(ToastTest, APillSizedToItsTextAtTopCentreThatNeverTakesFocusOrClicks)
{
    toast.show("Short", "checkmark", 1);
    const int shortWidth = toast.current()->width();
    toast.show("Couldn't save: The folder /home/someone/Pictures/Zorv is not writable", "checkmark",
               1);
    ToastView *view = toast.current();
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
