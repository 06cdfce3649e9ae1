#include "app/tray/GlassMenuController.h"
#include "app/tray/GlassMenuView.h"
#include "app/tray/PanelPlacement.h"
#include "support/TemporarySettings.h"
#include "support/fake/FakeWindowSystem.h"
#include "theme/GlassSurface.h"

#include <QPromise>
#include <QTest>
#include <gtest/gtest.h>

using namespace zorv;

namespace
{

using namespace panelGeometry;

QRect contentOf(const PanelPlacement &placement)
{
    return placement.frame.adjusted(margin, margin, -margin, -margin);
}

TEST(PanelPlacementTest, OpensAtTheIconInsideItsMonitorsWorkArea)
{
    const PlacementScreen bottomPanel{{0, 0, 1920, 1080}, {0, 0, 1920, 1056}};
    const PlacementScreen topPanel{{0, 0, 1920, 1080}, {0, 24, 1920, 1056}};
    // A second monitor at scale 2: Qt's logical desktop keeps its device origin.
    const PlacementScreen scaled{{1920, 0, 960, 540}, {1920, 0, 960, 540}};
    struct Case {
        const char *name;
        QList<PlacementScreen> screens;
        std::optional<QRect> icon;
        QPoint pointer;
        bool upward;
        QRect anchor; // what the notch points at and the sheet touches
        int screen;
    };
    // clang-format off
    const Case cases[] = {
        {"bottom panel, right corner", {bottomPanel}, QRect(1897, 1057, 22, 22), {}, true, QRect(1897, 1057, 22, 22), 0},
        {"bottom panel, left corner", {bottomPanel}, QRect(0, 1057, 22, 22), {}, true, QRect(0, 1057, 22, 22), 0},
        {"top panel, left corner", {topPanel}, QRect(2, 1, 22, 22), {}, false, QRect(2, 1, 22, 22), 0},
        {"top panel, middle", {topPanel}, QRect(949, 1, 22, 22), {}, false, QRect(949, 1, 22, 22), 0},
        {"top panel, right corner", {topPanel}, QRect(1897, 1, 22, 22), {}, false, QRect(1897, 1, 22, 22), 0},
        {"scaled second monitor, bottom right", {topPanel, scaled}, QRect(2858, 519, 20, 20), {}, true, QRect(2858, 519, 20, 20), 1},
        {"scaled second monitor, top left", {bottomPanel, scaled}, QRect(1921, 0, 20, 20), {}, false, QRect(1921, 0, 20, 20), 1},
        {"no geometry: the pointer", {bottomPanel, scaled}, std::nullopt, {2400, 30}, false, QRect(2400, 30, 1, 1), 1},
        {"empty geometry: the pointer", {bottomPanel}, QRect(), {700, 900}, true, QRect(700, 900, 1, 1), 0},
        {"geometry on no monitor: the pointer", {bottomPanel}, QRect(5000, 5000, 22, 22), {40, 40}, false, QRect(40, 40, 1, 1), 0},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        PlacementInput input;
        input.icon = c.icon;
        input.pointer = c.pointer;
        input.screens = c.screens;
        input.contentHeight = 480;
        const PanelPlacement placement = placePanel(input);
        const QRect content = contentOf(placement);
        const QRect area = c.screens[c.screen].available;
        EXPECT_EQ(placement.upward, c.upward);
        EXPECT_EQ(content.size(), QSize(contentWidth, 480));
        EXPECT_TRUE(area.adjusted(screenInset, 0, -screenInset, 0).contains(content))
            << content.x() << "," << content.y() << " in " << area.x() << "," << area.y();
        // The sheet's edge is a pixel off the icon, on the icon's side.
        if (c.upward)
            EXPECT_EQ(content.y() + content.height(), c.anchor.y() - 1);
        else
            EXPECT_EQ(content.y(), std::max(c.anchor.y() + c.anchor.height() + 1, area.y()));
        // The notch points at the anchor, also where the sheet is held at an edge.
        EXPECT_DOUBLE_EQ(content.x() + placement.notchX, c.anchor.x() + c.anchor.width() / 2.0);
    }
}

TEST(PanelPlacementTest, TallPagesStayOnTheMonitor)
{
    PlacementInput input;
    input.icon = QRect(1897, 1057, 22, 22);
    input.screens = {{{0, 0, 1920, 1080}, {0, 0, 1920, 1056}}};
    input.contentHeight = 2000;
    EXPECT_GE(contentOf(placePanel(input)).y(), 0);
    input.icon = QRect(1897, 1, 22, 22);
    input.screens = {{{0, 0, 1920, 1080}, {0, 24, 1920, 1056}}};
    input.contentHeight = 800;
    const QRect content = contentOf(placePanel(input));
    EXPECT_LE(content.bottom(), 1079 - screenInset);
}

TEST(GlassMaskTest, RebuiltOncePerSize)
{
    ShapedGlassMask mask([](const QRectF &r) {
        QPainterPath path;
        path.addEllipse(r);
        return path;
    });
    mask.region({100, 60});
    mask.region({100, 60});
    EXPECT_EQ(mask.rebuilds(), 1);
    const QRegion region = mask.region({200, 60});
    EXPECT_EQ(mask.rebuilds(), 2);
    EXPECT_TRUE(region.contains(QPoint(100, 30)));
    EXPECT_FALSE(region.contains(QPoint(1, 1))) << "corners are cut away";
}

// The panel with temporary settings, a fake clock and recorded commands.
struct PanelTest : ::testing::Test {
    test::TemporarySettings temp;
    FakeWindowSystem windows;
    qint64 now = 100000;
    QList<CaptureAction> performed;
    QList<HistoryItem> history;
    QList<QUuid> thumbnailRequests;
    std::unique_ptr<GlassMenuController> panel;
    const QRect icon{1897, 1057, 22, 22};

    void SetUp() override { build({true, true, true, false, false}); }
    void build(const PlatformCapabilities &capabilities)
    {
        GlassMenuActions actions;
        actions.perform = [this](CaptureAction action) { performed.append(action); };
        actions.quit = [] {};
        GlassMenuServices services;
        services.settings = temp.settings.get();
        services.windows = &windows;
        services.capabilities = capabilities;
        services.history = [this] { return history; };
        services.thumbnail = [this](const HistoryItem &item) {
            thumbnailRequests.append(item.id);
            QPromise<std::optional<QImage>> promise;
            promise.start();
            QImage image(40, 30, QImage::Format_ARGB32_Premultiplied);
            image.fill(Qt::red);
            promise.addResult(std::optional(image));
            promise.finish();
            return promise.future();
        };
        services.screens = [] {
            return QList<PlacementScreen>{{{0, 0, 1920, 1080}, {0, 0, 1920, 1056}}};
        };
        services.pointer = [] { return QPoint(10, 10); };
        services.nowMs = [this] { return now; };
        panel = std::make_unique<GlassMenuController>(actions, services);
    }

    const MenuEntry *entry(const QString &text) const
    {
        for (const MenuEntry &e : panel->view()->entries()) {
            if (e.text == text)
                return &e;
        }
        return nullptr;
    }
    static HistoryItem item(const QString &name, CaptureKind kind = CaptureKind::screenshot)
    {
        HistoryItem item;
        item.id = QUuid::createUuid();
        item.fileName = name;
        item.kind = kind;
        return item;
    }
    void click(const QString &text)
    {
        const MenuEntry *e = entry(text);
        ASSERT_TRUE(e) << qPrintable(text);
        const QPoint at = (e->rect.center() + GlassMenuView::contentOrigin()).toPoint();
        QTest::mouseClick(panel->view(), Qt::LeftButton, {}, at);
    }
};

TEST_F(PanelTest, TheClickThatClosesThePanelDoesNotReopenIt)
{
    struct Step {
        qint64 after; // ms since the previous step
        bool escape;  // close with Escape instead of a click on the icon
        bool open;    // expected afterwards
    };
    const Step steps[] = {
        {0, false, true},    // opens
        {50, false, false},  // the icon again closes it
        {100, false, false}, // within the guard: the closing click reaching the icon
        {200, false, true},  // 300 ms after closing: opens
        {1000, true, false}, // Escape closes it
        {240, false, false}, // guarded after Escape too
        {20, false, true},
    };
    int i = 0;
    for (const Step &step : steps) {
        SCOPED_TRACE(i++);
        now += step.after;
        if (step.escape)
            QTest::keyClick(panel->view(), Qt::Key_Escape);
        else
            panel->toggle(icon);
        EXPECT_EQ(panel->isOpen(), step.open);
    }
}

TEST_F(PanelTest, CommandsRunAfterThePanelHasGone)
{
    panel->toggle(icon);
    click("Full Screen");
    EXPECT_FALSE(panel->isOpen());
    QCoreApplication::processEvents();
    EXPECT_TRUE(performed.isEmpty()) << "ran before the panel left the screen";
    QTRY_COMPARE(performed, QList<CaptureAction>{CaptureAction::fullScreen});

    // What the platform cannot do, or what is not wired, is disabled with the reason.
    now += 1000;
    panel->toggle(icon);
    for (const char *title : {"Screen", "GIF", "Mic", "History"}) {
        const MenuEntry *e = entry(QString::fromUtf8(title));
        ASSERT_TRUE(e) << title;
        EXPECT_FALSE(e->enabled) << title;
        EXPECT_FALSE(e->toolTip.isEmpty()) << title;
    }
    EXPECT_EQ(entry("Screen")->toolTip,
              captureAction::unavailableReason(CaptureAction::recordVideo, {true, true, true}));
    click("Screen");
    EXPECT_TRUE(panel->isOpen());
    QTest::qWait(GlassMenuController::commandDelayMs + 50);
    EXPECT_EQ(performed.size(), 1);

    // Recording works, clicks in other programs cannot be seen: that chip alone says so.
    for (const bool clicks : {false, true}) {
        PlatformCapabilities caps{true, true, true, true, true};
        caps.clickCapture = clicks;
        build(caps);
        now += 1000;
        panel->toggle(icon);
        ASSERT_TRUE(entry("Show clicks") && entry("Mic")) << clicks;
        EXPECT_TRUE(entry("Mic")->enabled) << clicks;
        EXPECT_EQ(entry("Show clicks")->enabled, clicks);
        EXPECT_EQ(entry("Show clicks")->toolTip.isEmpty(), clicks);
    }
}

TEST_F(PanelTest, ShortcutLabelsAndStatusFollowTheSettings)
{
    AppSettings &settings = *temp.settings;
    HotKeyMap keys = settings.hotkeys();
    keys[CaptureAction::area] = KeyCombo{18, KeyCombo::control | KeyCombo::option};
    keys.remove(CaptureAction::window);
    settings.hotkeys.set(keys);
    settings.saveScreenshotsAutomatically.set(true);
    settings.saveDirectoryPath.set(temp.dir.filePath("Shots"));
    panel->toggle(icon);
    EXPECT_EQ(entry("Area")->detail, keys[CaptureAction::area].displayString());
    EXPECT_EQ(entry("Window")->detail, QString());

    const auto status = [this] {
        for (const MenuEntry &e : panel->view()->entries())
            if (e.kind == MenuEntry::Kind::statusLine)
                return e.text;
        return QString();
    };
    EXPECT_EQ(status(), "Saves to Shots · copies to clipboard");
    settings.saveScreenshotsAutomatically.set(false);
    settings.copyToClipboard.set(false);
    EXPECT_EQ(status(), "Opens quick access after capture");
}

TEST_F(PanelTest, QuickSettingsWriteThroughAndFollowChanges)
{
    AppSettings &settings = *temp.settings;
    panel->toggle(icon);
    const MenuEntry *gear = nullptr;
    for (const MenuEntry &e : panel->view()->entries())
        if (e.kind == MenuEntry::Kind::gear)
            gear = &e;
    ASSERT_TRUE(gear);
    panel->view()->activate(*gear);
    ASSERT_TRUE(entry("Quick Settings"));

    struct Toggle {
        const char *title;
        Option<bool> &option;
    };
    const Toggle toggles[] = {{"Copy to clipboard", settings.copyToClipboard},
                              {"Show quick access", settings.showQuickAccess},
                              {"Save automatically", settings.saveScreenshotsAutomatically},
                              {"Capture sound", settings.playSound}};
    for (const Toggle &t : toggles) {
        SCOPED_TRACE(t.title);
        const bool before = t.option();
        EXPECT_EQ(entry(t.title)->on, before);
        click(t.title);
        EXPECT_EQ(t.option(), !before);
        EXPECT_EQ(entry(t.title)->on, !before);
        t.option.set(before); // a change from elsewhere shows at once
        EXPECT_EQ(entry(t.title)->on, before);
    }
    click("JPEG");
    EXPECT_EQ(settings.imageFormat(), ImageFormat::jpeg);
    EXPECT_TRUE(entry("JPEG")->on);
    EXPECT_FALSE(entry("PNG")->on);
    // Not wired yet: says so instead of doing nothing.
    EXPECT_FALSE(entry("All Settings…  ")->enabled);
    // Every opening starts on the main page.
    panel->hide();
    now += 1000;
    panel->toggle(icon);
    EXPECT_TRUE(entry("Full Screen"));
}

TEST_F(PanelTest, RecentShowsTheNewestFourAndLoadsOnlyThose)
{
    panel->toggle(icon);
    EXPECT_TRUE(thumbnailRequests.isEmpty());
    for (const MenuEntry &e : panel->view()->entries())
        EXPECT_NE(e.kind, MenuEntry::Kind::recent);
    panel->hide();

    for (int i = 0; i < 7; ++i)
        history.append(item(QStringLiteral("shot %1.png").arg(i),
                            i == 1 ? CaptureKind::recording : CaptureKind::screenshot));
    now += 1000;
    panel->toggle(icon);
    QList<QUuid> shown;
    for (const MenuEntry &e : panel->view()->entries())
        if (e.kind == MenuEntry::Kind::recent)
            shown.append(e.recentId);
    const QList<QUuid> newest{history[0].id, history[1].id, history[2].id, history[3].id};
    EXPECT_EQ(shown, newest);
    EXPECT_EQ(thumbnailRequests, newest);
    QTRY_COMPARE(panel->model().thumbnails.size(), 4);
    EXPECT_FALSE(entry("shot 0.png")->enabled) << "opening is not wired on this build";

    // Reopening asks only for what it does not have.
    panel->hide();
    now += 1000;
    history.prepend(item(QStringLiteral("new.png")));
    panel->toggle(icon);
    EXPECT_EQ(thumbnailRequests.size(), 5);
    QTRY_COMPARE(panel->model().thumbnails.size(), 4);
    EXPECT_FALSE(panel->model().thumbnails.contains(history[4].id));
}

TEST_F(PanelTest, OpaqueSheetIsCutToTheOutlineOfEachOpening)
{
    windows.compositing = false;
    const struct {
        QRect icon;
        bool notchOnBottom;
    } openings[] = {{QRect(1000, 1, 22, 22), false},
                    {QRect(100, 1, 22, 22), false},
                    {QRect(1200, 1057, 22, 22), true}};
    for (const auto &opening : openings) {
        SCOPED_TRACE(opening.icon.x());
        now += 1000;
        panel->toggle(opening.icon);
        ASSERT_TRUE(panel->isOpen());
        GlassMenuView *view = panel->view();
        const QRegion mask = view->mask();
        const QPointF origin = GlassMenuView::contentOrigin();
        const qreal tipY = opening.notchOnBottom ? view->contentHeight() - 3 : 3;
        const QPoint tip = (origin + QPointF(panel->model().notchX, tipY)).toPoint();
        EXPECT_TRUE(mask.contains(tip)) << "the notch is cut off";
        EXPECT_FALSE(mask.contains(origin.toPoint() + QPoint(2, 2))) << "a corner shows";
        EXPECT_FALSE(mask.contains(QPoint(2, view->height() / 2))) << "the margin shows";
        panel->hide();
    }
}

} // namespace
