#include "output/quickaccess/QuickAccessPanelController.h"
#include "output/quickaccess/QuickAccessView.h"
#include "support/Files.h"
#include "support/Images.h"
#include "support/TemporarySettings.h"
#include "support/fake/FakeWindowSystem.h"

#include <QEnterEvent>
#include <QMimeData>
#include <QTest>
#include <gtest/gtest.h>

using namespace zorv;

namespace
{
QuickAccessPayload still(CaptureKind kind = CaptureKind::screenshot)
{
    QuickAccessPayload payload;
    payload.image = test::solidImage();
    payload.kind = kind;
    payload.historyID = QUuid::createUuid();
    payload.title = quickAccess::title(kind);
    payload.subtitle = QStringLiteral("64 × 40");
    return payload;
}

// A controller on temporary settings whose actions are recorded.
struct QuickAccessWorld : ::testing::Test {
    void SetUp() override
    {
        settings().quickAccessSeconds.set(0);
        actions.openEditor = [this](const QImage &, CaptureKind, std::optional<QUuid> id) {
            calls.append(QStringLiteral("edit ") + (id ? id->toString() : QString()));
        };
        actions.copyImage = [this](const QImage &) { calls.append("copy image"); };
        actions.copyFile = [this](const QString &path) { calls.append("copy file " + path); };
        actions.pin = [this](const QImage &) { calls.append("pin"); };
        actions.reveal = [this](const QString &path) { calls.append("reveal " + path); };
        actions.openFile = [this](const QString &path) { calls.append("open " + path); };
        actions.removeHistoryEntry = [this](const QUuid &id) {
            calls.append("remove " + id.toString());
            return entries.removeAll(id) > 0;
        };
        actions.historyFile = [this](const QUuid &id) -> std::optional<QString> {
            return entries.contains(id) ? std::optional(storedFile) : std::nullopt;
        };
        actions.toast = [this](const QString &message, const QString &, double) {
            calls.append("toast " + message);
        };
        storedFile = temp.dir.filePath("stored.png");
        ASSERT_TRUE(test::solidImage().save(storedFile));
    }

    AppSettings &settings() { return *temp.settings; }
    QuickAccessPanelController &controller()
    {
        if (!made)
            made = std::make_unique<QuickAccessPanelController>(settings(), windows, actions);
        return *made;
    }
    void click(QuickAction action)
    {
        QuickActionButton *tile = controller().panel()->tile(action);
        ASSERT_TRUE(tile);
        tile->click();
    }
    static void hover(QWidget *panel, bool inside)
    {
        if (inside) {
            QEnterEvent enter(QPointF(30, 30), QPointF(30, 30), QPointF(30, 30));
            QCoreApplication::sendEvent(panel, &enter);
        } else {
            QEvent leave(QEvent::Leave);
            QCoreApplication::sendEvent(panel, &leave);
        }
    }

    test::TemporarySettings temp;
    FakeWindowSystem windows;
    QuickAccessActions actions;
    std::unique_ptr<QuickAccessPanelController> made;
    QList<QUuid> entries;
    QString storedFile;
    QStringList calls;
};
using QuickAccessTest = QuickAccessWorld;

QStringList titles(const QuickAccessView &view)
{
    QStringList result;
    for (const QuickActionButton *tile : view.tiles())
        result.append(tile->tile().title);
    return result;
}
} // namespace

TEST(QuickAccessPlacement, CornersOfThePrimaryScreenKeptInsideItsAvailableArea)
{
    // The primary monitor is the second one, to the right, under a 30-px top panel.
    const QList<QuickAccessScreen> screens{{QRect(0, 0, 1920, 1040), false},
                                           {QRect(1920, 30, 1280, 994), true}};
    using C = QuickAccessCorner;
    const struct {
        C corner;
        QSize size;
        QPoint expected;
    } cases[] = {
        {C::bottomTrailing, {700, 188}, {2478, 814}},
        {C::bottomLeading, {700, 188}, {1942, 814}},
        {C::topTrailing, {700, 188}, {2478, 52}},
        {C::topLeading, {700, 188}, {1942, 52}},
        // Larger than the area: pinned to its top-left corner, whatever the corner.
        {C::topLeading, {1400, 1100}, {1920, 30}},
        {C::bottomTrailing, {1400, 1100}, {1920, 30}},
        // Wider only: x pinned, y still from the corner.
        {C::bottomTrailing, {1300, 100}, {1920, 902}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(quickAccessPlacement::origin(screens, c.size, c.corner), c.expected)
            << quickAccessCorner::rawValue(c.corner).toStdString() << " " << c.size.width();
    // Without a primary the first screen; without screens nowhere.
    EXPECT_EQ(
        quickAccessPlacement::origin({{QRect(0, 0, 1920, 1040), false}}, {700, 188}, C::topLeading),
        QPoint(22, 22));
    EXPECT_FALSE(quickAccessPlacement::origin({}, {700, 188}, C::topLeading));
}

TEST_F(QuickAccessTest, TilesSubtitleAndUnwiredServicesPerKind)
{
    const struct {
        CaptureKind kind;
        bool copyToClipboard;
        QStringList tiles;
        QString subtitle;
    } cases[] = {
        {CaptureKind::screenshot,
         true,
         {"Edit", "Copy", "Save", "Pin", "Text", "Link", "Delete"},
         "64 × 40 · Copied to clipboard"},
        {CaptureKind::scrolling,
         false,
         {"Edit", "Copy", "Save", "Pin", "Text", "Link", "Delete"},
         "64 × 40"},
        {CaptureKind::recording, true, {"Play", "Copy", "Link", "Folder", "Delete"}, "64 × 40"},
        {CaptureKind::gif, true, {"Play", "Copy", "Link", "Folder", "Delete"}, "64 × 40"},
    };
    for (const auto &c : cases) {
        settings().copyToClipboard.set(c.copyToClipboard);
        controller().show(still(c.kind));
        const QuickAccessView *view = controller().panel();
        ASSERT_TRUE(view);
        EXPECT_EQ(titles(*view), c.tiles);
        EXPECT_EQ(view->subtitle(), c.subtitle);
        // No recogniser or uploader wired: those tiles say why they do nothing.
        for (QuickAction action : {QuickAction::text, QuickAction::link}) {
            if (QuickActionButton *tile = view->tile(action)) {
                EXPECT_FALSE(tile->isEnabled());
                EXPECT_FALSE(tile->toolTip().isEmpty());
            }
        }
        EXPECT_TRUE(view->tile(QuickAction::copy)->isEnabled());
    }
    EXPECT_EQ(controller().panel()->windowTitle(), "Zorv Quick Access");
    // Never the focus: the user keeps typing where they were.
    EXPECT_TRUE(controller().panel()->windowFlags() & Qt::WindowDoesNotAcceptFocus);
    EXPECT_TRUE(controller().panel()->testAttribute(Qt::WA_ShowWithoutActivating));

    made.reset();
    actions.extractText = [this](const QImage &, std::optional<QUuid>) { calls.append("text"); };
    actions.upload = [this](const QImage &) { calls.append("upload"); };
    controller().show(still());
    EXPECT_TRUE(controller().panel()->tile(QuickAction::text)->isEnabled());
    click(QuickAction::text);
    EXPECT_EQ(calls, QStringList{"text"});
    EXPECT_FALSE(controller().panel());
}

TEST_F(QuickAccessTest, TimerHoverAndReplacement)
{
    // 0 seconds: it stays.
    controller().show(still());
    EXPECT_FALSE(controller().dismissPending());

    settings().quickAccessSeconds.set(2);
    controller().show(still());
    QuickAccessView *first = controller().panel();
    EXPECT_TRUE(controller().dismissPending());
    hover(first, true);
    EXPECT_FALSE(controller().dismissPending());
    QTest::qWait(300);
    hover(first, false);
    ASSERT_TRUE(controller().dismissPending());

    // A new capture replaces the panel; the old panel's time cannot end the new one.
    QTest::qWait(1200);
    controller().show(still());
    QuickAccessView *second = controller().panel();
    EXPECT_NE(second, first);
    QTest::qWait(1000); // past the first panel's end
    EXPECT_EQ(controller().panel(), second);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !controller().panel(); }, 2000));
    EXPECT_FALSE(controller().payload());
}

TEST_F(QuickAccessTest, ActionsAndTheirMissingPreconditions)
{
    // Delete without a history entry only closes the panel.
    controller().show(still());
    const QUuid id = *controller().payload()->historyID;
    click(QuickAction::remove);
    EXPECT_EQ(calls, QStringList{"remove " + id.toString()});
    EXPECT_FALSE(controller().panel());

    // A still is copied as a picture; a recording as its file, never its first frame.
    calls.clear();
    controller().show(still());
    click(QuickAction::copy);
    QuickAccessPayload recording = still(CaptureKind::recording);
    recording.filePath = temp.dir.filePath("clip.mp4");
    ASSERT_TRUE(test::writeFile(*recording.filePath, "mp4"));
    controller().show(recording);
    click(QuickAction::copy);
    EXPECT_EQ(calls,
              QStringList({"copy image", "toast Copied to Clipboard",
                           "copy file " + *recording.filePath, "toast Copied to Clipboard"}));

    // The file deleted while the panel shows: Copy, Play and Folder do nothing and
    // leave the panel, nothing offers the dead file, and Delete still closes it.
    calls.clear();
    recording.image.reset();
    controller().show(recording);
    QFile::remove(*recording.filePath);
    for (QuickAction action : {QuickAction::copy, QuickAction::play, QuickAction::folder})
        click(action);
    EXPECT_TRUE(calls.isEmpty()) << calls.join(", ").toStdString();
    ASSERT_TRUE(controller().panel());
    std::unique_ptr<QMimeData> data(controller().dragData());
    EXPECT_FALSE(data->hasUrls());
    click(QuickAction::remove);
    EXPECT_FALSE(controller().panel());

    // Edit hands over the history entry.
    calls.clear();
    controller().show(still());
    const QUuid editID = *controller().payload()->historyID;
    click(QuickAction::edit);
    EXPECT_EQ(calls, QStringList{"edit " + editID.toString()});
    EXPECT_FALSE(controller().panel());
}

TEST_F(QuickAccessTest, DragOffersThePictureAndTheStoredFileAndOutlivesANewCapture)
{
    QuickAccessPayload payload = still();
    entries.append(*payload.historyID);
    controller().show(payload);
    std::unique_ptr<QMimeData> data(controller().dragData());
    EXPECT_EQ(test::decoded(data->data("image/png")).size(), QSize(64, 40));
    EXPECT_EQ(data->urls(), QList<QUrl>{QUrl::fromLocalFile(storedFile)});
    QFile::remove(storedFile);
    data.reset(controller().dragData());
    EXPECT_EQ(test::decoded(data->data("image/png")).size(), QSize(64, 40));
    EXPECT_FALSE(data->hasUrls());

    // A capture and the timer during a drag wait for its end: the dragging panel
    // stays alive, and the new capture's panel follows.
    settings().quickAccessSeconds.set(2);
    QPointer<QuickAccessView> dragging = controller().panel();
    controller().dragStarted();
    QuickAccessPayload next = still(CaptureKind::scrolling);
    controller().show(next);
    controller().hide();
    QTest::qWait(50);
    EXPECT_EQ(controller().panel(), dragging.data());
    EXPECT_EQ(controller().payload()->historyID, payload.historyID);
    controller().dragEnded();
    EXPECT_EQ(controller().payload()->historyID, next.historyID);
    EXPECT_TRUE(controller().dismissPending());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !dragging; }, 1000)); // the old one is gone

    // A drag without a capture after it restarts the full time.
    controller().dragStarted();
    EXPECT_FALSE(controller().dismissPending());
    controller().dragEnded();
    EXPECT_TRUE(controller().dismissPending());
}
