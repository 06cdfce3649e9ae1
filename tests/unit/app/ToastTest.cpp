#include "app/Toast.h"
#include "support/fake/FakeWindowSystem.h"

#include <QApplication>
#include <QPushButton>
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

TEST_F(ToastTest, NeverTakesFocusAndGivesWayToTheNext)
{
    toast.show("First", "checkmark", 5);
    toast.show("Second", "checkmark", 0.5);
    QApplication::processEvents();
    EXPECT_EQ(visibleToasts(), 1);
    ToastView *view = toast.current();
    ASSERT_TRUE(view);
    EXPECT_EQ(view->message(), "Second");
    // Offscreen every shown window becomes active; what keeps it from X11's focus is its flags.
    EXPECT_TRUE(view->windowFlags().testFlags(Qt::WindowTransparentForInput |
                                              Qt::WindowDoesNotAcceptFocus));
    // The replaced toast's timer finds itself replaced and the second one ends on time.
    QTRY_COMPARE_WITH_TIMEOUT(visibleToasts(), 0, 2000);
    EXPECT_EQ(toast.current(), nullptr);
}

TEST_F(ToastTest, LongMessagesWrapAndLoseTheirMiddleNeverTheirCause)
{
    const QString folder = "/home/someone/" + QString("long folder/").repeated(4);
    const QString cause = "(No space left on device)";
    const QString huge = "Couldn't save: " + QString(10 * 1024 * 1024, QChar('x')) + " " + cause;
    const std::pair<QString, bool> cases[] = {
        {"Couldn't save: The file “" + folder + "shot.png” couldn't be written " + cause, false},
        {"Couldn't save:\nline\tbreaks " + cause, false},
        {huge, true}};
    for (const auto &[message, cut] : cases) {
        toast.show(message, "exclamationmark.triangle.fill", 1);
        ToastView *view = toast.current();
        ASSERT_TRUE(view);
        const QString shown = view->lines().join(' ');
        EXPECT_LE(view->lines().size(), ToastView::maxLines);
        EXPECT_GT(view->width(), 100);
        EXPECT_LE(view->width(), ToastView::maxTextWidth + 100);
        EXPECT_TRUE(shown.startsWith("Couldn't save:")) << qPrintable(shown.left(80));
        EXPECT_TRUE(shown.endsWith(cause)) << qPrintable(shown.right(80));
        EXPECT_EQ(shown.contains(QChar(0x2026)), cut);
        EXPECT_FALSE(shown.contains('\n'));
    }
}

TEST_F(ToastTest, AProgressToastUpdatesInPlaceAndCancelsOnce)
{
    int cancels = 0;
    toast.showProgress("Working… 5 %", "checkmark", 0.05, [&cancels] { ++cancels; });
    ToastView *view = toast.current();
    ASSERT_TRUE(view && view->showsProgress() && view->cancelButton());
    // It takes the clicks a plain toast lets through.
    EXPECT_FALSE(view->windowFlags().testFlag(Qt::WindowTransparentForInput));
    const int width = view->width();
    toast.showProgress("Working… 100 %", "checkmark", 1.5, [] { FAIL() << "a second callback"; });
    EXPECT_EQ(toast.current(), view);
    EXPECT_EQ(view->message(), "Working… 100 %");
    EXPECT_EQ(view->windowTitle(), "Working… 100 %");
    EXPECT_EQ(view->fraction(), 1.0);
    toast.showProgress("Working… 9 %", "checkmark", 0.09, {});
    EXPECT_GE(view->width(), width); // never shrinks under the pointer
    EXPECT_TRUE(view->rect().contains(view->cancelButton()->geometry()));

    QTest::keyClick(view, Qt::Key_Escape);
    view->cancelButton()->click();
    EXPECT_EQ(cancels, 1);

    // Closing it leaves a plain toast alone, and a plain toast replaces it.
    toast.show("Done", "checkmark", 5);
    toast.closeProgress();
    QApplication::processEvents();
    ASSERT_TRUE(toast.current());
    EXPECT_EQ(toast.current()->message(), "Done");
    toast.showProgress("Again", "checkmark", 0, [] {});
    toast.closeProgress();
    QTRY_COMPARE_WITH_TIMEOUT(visibleToasts(), 0, 2000);
}
