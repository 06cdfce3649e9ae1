#include "output/history/HistoryWindow.h"
#include "output/history/HistoryGrid.h"
#include "output/history/HistoryGridModel.h"
#include "output/history/HistoryItemOpener.h"
#include "output/history/HistoryStore.h"
#include "output/history/HistoryView.h"
#include "output/history/HistoryWindowController.h"
#include "platform/DesktopFileBrowser.h"
#include "support/Files.h"
#include "support/Images.h"
#include "support/TemporarySettings.h"

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

using namespace zorv;

namespace
{

HistoryItem named(const QString &fileName, std::optional<QString> ocrText = {})
{
    return {QUuid::createUuid(),
            fileName,
            CaptureKind::screenshot,
            QDateTime::currentDateTimeUtc(),
            10,
            10,
            "/nowhere/" + fileName,
            std::move(ocrText)};
}

QStringList names(const QList<HistoryItem> &items)
{
    QStringList result;
    for (const HistoryItem &item : items)
        result << item.fileName;
    return result;
}

// A store on a temporary folder and the window's controller over it, with
// every action recorded.
class HistoryWindowTest : public ::testing::Test
{
  protected:
    test::TemporarySettings temp;
    HistoryStore store{temp.dir.filePath("Zorv"), *temp.settings};
    QList<QImage> copied, pinned;
    QStringList toasts, texts, opened;
    HistoryWindowController controller{store, actions()};

    HistoryActions actions()
    {
        HistoryActions a;
        a.open = [this](const HistoryItem &item) { opened << item.fileName; };
        a.copyImage = [this](const QImage &image) { copied << image; };
        a.copyText = [this](const QString &text) { texts << text; };
        a.pin = [this](const QImage &image) { pinned << image; };
        a.toast = [this](const QString &message, const QString &, double) { toasts << message; };
        return a;
    }
    HistoryItem record(const QString &name, QSize size = {64, 40})
    {
        return store
            .recordImage(test::solidImage(size), std::nullopt, CaptureKind::screenshot, name)
            .value();
    }
    HistoryItem recordFile(const QString &name, const QByteArray &bytes, CaptureKind kind)
    {
        const QString source = temp.dir.filePath(name);
        test::writeFile(source, bytes);
        return store.recordFile(source, kind, name, QSizeF(10, 10)).value();
    }
    // The store goes with the test: let its decoding finish first.
    void TearDown() override
    {
        if (controller.window()) {
            EXPECT_TRUE(QTest::qWaitFor(
                [&] { return controller.window()->model()->pendingThumbnails() == 0; }, 5000));
        }
    }
    HistoryWindow &window()
    {
        controller.show();
        return *controller.window();
    }
};

} // namespace

TEST(HistoryView, FiltersByNameOrRecognisedTextIgnoringCaseByTheLocale)
{
    const QList<HistoryItem> items{named("Zorv 1.png"), named("ärger.png", "Invoice TOTAL"),
                                   named("plain.png", "receipt"), named("ısparta.png")};
    struct Case {
        QString query;
        QLocale locale;
        QStringList expected;
    };
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    const QLocale turkish(QLocale::Turkish, QLocale::Turkey);
    const Case cases[] = {
        {"", english, names(items)},
        {" ", english, {"Zorv 1.png", "ärger.png"}},
        {"  ", english, {}},
        {"RECEIPT", english, {"plain.png"}},
        {"total", english, {"ärger.png"}},
        {"ÄRGER", english, {"ärger.png"}},
        {"ISPARTA", turkish, {"ısparta.png"}},
        {"ISPARTA", english, {}},
        {".PNG", english, names(items)},
    };
    for (const Case &c : cases)
        EXPECT_EQ(names(HistoryView::filter(items, c.query, c.locale)), c.expected)
            << c.query.toStdString() << " " << c.locale.name().toStdString();
}

TEST_F(HistoryWindowTest, FollowsTheStoreAndShowsItsEmptyStates)
{
    HistoryWindow &shown = window();
    EXPECT_EQ(std::tuple(shown.countText(), shown.showsEmptyState(), shown.emptyTitle(),
                         shown.clearAllButton()->isVisible()),
              std::tuple(QString("0"), true, QString("No captures yet"), false));

    const HistoryItem first = record("first.png");
    record("second.png");
    EXPECT_EQ(names(controller.view()->filtered()), QStringList({"second.png", "first.png"}));
    EXPECT_EQ(shown.model()->rowCount(), 2);
    EXPECT_EQ(
        std::tuple(shown.countText(), shown.showsEmptyState(), shown.clearAllButton()->isVisible()),
        std::tuple(QString("2"), false, true));

    // The count is the store's, not the matches'.
    shown.searchField()->setText("zzz");
    EXPECT_EQ(std::tuple(shown.countText(), shown.showsEmptyState(), shown.emptyTitle()),
              std::tuple(QString("2"), true, QString("No matches")));
    shown.searchField()->setText("FIRST");
    EXPECT_EQ(shown.model()->rowCount(), 1);

    // Closing keeps the window and its search text.
    shown.close();
    controller.show();
    EXPECT_EQ(controller.window(), &shown);
    EXPECT_EQ(shown.searchField()->text(), "FIRST");

    // Deleting the last match turns the grid into the empty state at once.
    QMenu *menu = controller.makeMenu(first, &shown);
    menu->actions().constLast()->trigger();
    delete menu;
    EXPECT_EQ(std::tuple(store.items().size(), shown.showsEmptyState(), shown.countText()),
              std::tuple(qsizetype(1), true, QString("1")));
}

TEST_F(HistoryWindowTest, MenuOffersTheActionsInOrderAndExtractTextSaysWhyItIsOff)
{
    const HistoryItem item = record("shot.png");
    QMenu *menu = controller.makeMenu(item, nullptr);
    QStringList titles;
    for (QAction *action : menu->actions())
        titles << (action->isSeparator() ? "-" : action->text());
    EXPECT_EQ(titles, QStringList({"Open", "Copy", "Pin", "Extract Text", "-",
                                   "Reveal in File Manager", "Copy Path", "-", "Delete"}));
    QAction *ocr = menu->actions()[3];
    EXPECT_FALSE(ocr->isEnabled());
    EXPECT_FALSE(ocr->toolTip().isEmpty());
    EXPECT_NE(ocr->toolTip(), ocr->text());

    menu->actions()[0]->trigger();
    menu->actions()[6]->trigger();
    EXPECT_EQ(opened, QStringList({"shot.png"}));
    EXPECT_EQ(texts, QStringList({item.filePath}));
    EXPECT_TRUE(toasts.isEmpty()); // Copy Path has no toast
    delete menu;
}

TEST_F(HistoryWindowTest, CopyAndPinUseTheFilesPictureAndSkipWhatHoldsNone)
{
    const HistoryItem shot = record("shot.png", {30, 20});
    const HistoryItem video = recordFile("clip.mp4", "not a picture", CaptureKind::recording);
    const HistoryItem broken = recordFile("broken.png", "not a picture", CaptureKind::screenshot);

    controller.copy(video);
    controller.copy(broken);
    controller.pin(broken);
    controller.copy(shot);
    controller.pin(shot);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !copied.isEmpty() && !pinned.isEmpty(); }, 5000));
    QTest::qWait(50); // the failed reads had their chance to answer
    EXPECT_EQ(std::tuple(copied.size(), pinned.size(), toasts),
              std::tuple(qsizetype(1), qsizetype(1), QStringList({"Copied to Clipboard"})));
    EXPECT_EQ(copied.first().size(), QSize(30, 20));
}

TEST_F(HistoryWindowTest, ThumbnailsForVisibleRowsWithPlaceholdersForBrokenFiles)
{
    const HistoryItem good = record("good.png", {900, 600});
    recordFile("broken.png", "not a picture", CaptureKind::screenshot);
    const HistoryItem gone = record("gone.png");
    QFile::remove(gone.filePath);
    recordFile("clip.mp4", "not a video", CaptureKind::recording);

    HistoryGridModel model(*controller.view());
    auto state = [&](int row) {
        return HistoryGridModel::ThumbnailState(
            model.index(row).data(HistoryGridModel::ThumbnailStateRole).toInt());
    };
    using State = HistoryGridModel::ThumbnailState;
    model.setVisibleRows(0, 3);
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.pendingThumbnails() == 0; }, 5000));
    EXPECT_EQ(std::tuple(state(0), state(1), state(2), state(3)),
              std::tuple(State::missing, State::missing, State::missing, State::ready));
    const QImage thumbnail = model.index(3).data(HistoryGridModel::ThumbnailRole).value<QImage>();
    EXPECT_EQ(thumbnail.size(), QSize(480, 320));

    // Rows scrolled away let go of their pictures, also of those still on the way.
    model.setVisibleRows(1, 0);
    EXPECT_EQ(model.heldThumbnails(), 0);
    store.dropThumbnails(HistoryGridModel::thumbnailPixels);
    model.setVisibleRows(3, 3);
    model.setVisibleRows(0, 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.pendingThumbnails() == 0; }, 5000));
    EXPECT_EQ(model.heldThumbnails(), 0);

    // A deleted entry's row goes at once.
    store.remove(good);
    EXPECT_EQ(model.rowCount(), 3);
}

TEST_F(HistoryWindowTest, ClearAllOnlyWhenConfirmed)
{
    window();
    record("a.png");
    record("b.png");
    for (auto [button, left] :
         {std::pair{QMessageBox::Cancel, 2}, std::pair{QMessageBox::NoButton, 0}}) {
        QMessageBox *box = controller.confirmClearAll();
        EXPECT_EQ(box->text(), "Delete all capture history?");
        QAbstractButton *choice =
            button == QMessageBox::Cancel ? box->button(QMessageBox::Cancel) : box->defaultButton();
        EXPECT_EQ(box->defaultButton()->text(), "Delete");
        choice->click();
        EXPECT_EQ(store.items().size(), left);
    }
    EXPECT_TRUE(controller.window()->showsEmptyState());
}

TEST(HistoryItemOpener, PicturesGoToTheEditorWhenThereIsOneAndMissingFilesNowhere)
{
    struct Browser : FileBrowser {
        QStringList opened;
        bool open(const QString &path) override
        {
            opened << QFileInfo(path).fileName();
            return true;
        }
        void reveal(const QString &) override {}
    };
    QTemporaryDir dir;
    auto entry = [&](const QString &name, CaptureKind kind) {
        HistoryItem item = named(name);
        item.kind = kind;
        item.filePath = dir.filePath(name);
        if (name != "missing.png")
            test::writeFile(item.filePath, "x");
        return item;
    };
    struct Case {
        QString name;
        CaptureKind kind;
        bool editor;
        bool opened;
        QString browser; // what the default application got
        QString inEditor;
    };
    const Case cases[] = {
        {"a.png", CaptureKind::screenshot, false, true, "a.png", ""},
        {"a.png", CaptureKind::screenshot, true, true, "", "a.png"},
        {"s.png", CaptureKind::scrolling, true, true, "", "s.png"},
        {"g.gif", CaptureKind::gif, true, true, "g.gif", ""},
        {"v.mp4", CaptureKind::recording, true, true, "v.mp4", ""},
        {"missing.png", CaptureKind::screenshot, false, false, "", ""},
    };
    for (const Case &c : cases) {
        Browser browser;
        QString inEditor;
        HistoryItemOpener opener(browser);
        if (c.editor)
            opener.setOpenImage([&](const HistoryItem &item) { inEditor = item.fileName; });
        const bool opened = opener.open(entry(c.name, c.kind));
        EXPECT_EQ(std::tuple(opened, browser.opened.join(""), inEditor),
                  std::tuple(c.opened, c.browser, c.inEditor))
            << c.name.toStdString();
    }
}

TEST(DesktopFileBrowser, RevealOpensTheFolderWhereNoFileManagerAnswers)
{
    // A bus nobody listens on: the call fails as it does where no file manager runs.
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/zorv-test-bus");
    QList<QUrl> opened;
    DesktopFileBrowser browser([&](const QUrl &url) {
        opened << url;
        return true;
    });
    browser.reveal("/some/folder/shot.png");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !opened.isEmpty(); }, 5000));
    EXPECT_EQ(opened, QList<QUrl>({QUrl::fromLocalFile("/some/folder")}));
}

TEST(HistoryCellDelegate, DatesShowMonthDayHourAndMinuteInTheLocalesOrder)
{
    const QDateTime date(QDate(2026, 12, 7), QTime(14, 5, 59)); // local time
    const std::pair<QLocale, QString> cases[] = {
        {QLocale(QLocale::English, QLocale::UnitedStates), "12/7 2:05 PM"},
        {QLocale(QLocale::German, QLocale::Germany), "07.12 14:05"},
        {QLocale(QLocale::Swedish, QLocale::Sweden), "12-07 14:05"},
        {QLocale(QLocale::Japanese, QLocale::Japan), "12/07 14:05"},
        {QLocale::c(), "7 Dec 14:05"},
    };
    for (const auto &[locale, expected] : cases)
        EXPECT_EQ(HistoryCellDelegate::dateText(date, locale), expected)
            << locale.name().toStdString();
}
